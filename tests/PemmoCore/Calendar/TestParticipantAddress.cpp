// The e-mail address read out of a participant's calendar address.
#include "Calendar/ParticipantAddress.h"

#include <QTest>

using namespace pemmo;

class TestParticipantAddress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emailOfAnAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("email");
        QTest::newRow("plain") << u"mailto:ada@example.com"_qs << u"ada@example.com"_qs;
        QTest::newRow("capital scheme, encoded at sign, query")
            << u"MAILTO:Ada.Lovelace%40Example.COM?subject=Hello"_qs << u"ada.lovelace@example.com"_qs;
        QTest::newRow("second recipient after a comma")
            << u"mailto:ada@example.com,alan@example.com"_qs << u"ada@example.com"_qs;
        QTest::newRow("white space kept inside is trimmed at the ends")
            << u"mailto: Ada@Example.com "_qs << u"ada@example.com"_qs;
        QTest::newRow("escape that is not one stays as written")
            << u"mailto:100%zz@example.com"_qs << u"100%zz@example.com"_qs;
        QTest::newRow("escape that is not UTF-8 stays as written")
            << u"mailto:a%FFb@example.com"_qs << u"a%ffb@example.com"_qs;
        QTest::newRow("encoded UTF-8") << u"mailto:j%C3%BCrgen@example.de"_qs << u"jürgen@example.de"_qs;
        QTest::newRow("mailto twice") << u"mailto:mailto:ada@example.com"_qs << u"ada@example.com"_qs;
        QTest::newRow("telephone") << u"tel:+15555550123"_qs << QString();
        QTest::newRow("web") << u"https://example.com/people/ada"_qs << QString();
        QTest::newRow("bare address") << u"ada@example.com"_qs << QString();
        QTest::newRow("too short") << u"mail"_qs << QString();
    }
    void emailOfAnAddress() {
        QFETCH(QString, address);
        QFETCH(QString, email);
        QCOMPARE(ParticipantAddress::email(address), email);
    }

    void sameParticipant_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("same address in other case")
            << u"MAILTO:Grace@Example.com"_qs << u"mailto:grace@example.com"_qs << true;
        QTest::newRow("different addresses")
            << u"mailto:grace@example.com"_qs << u"mailto:ada@example.com"_qs << false;
        QTest::newRow("other kinds compare as written") << u"urn:uuid:1"_qs << u"urn:uuid:1"_qs << true;
        QTest::newRow("other kinds differ in case") << u"urn:uuid:A"_qs << u"urn:uuid:a"_qs << false;
    }
    void sameParticipant() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(ParticipantAddress::same(a, b), same);
    }
};

QTEST_GUILESS_MAIN(TestParticipantAddress)
#include "TestParticipantAddress.moc"
