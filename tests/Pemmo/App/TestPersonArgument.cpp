// Naming a person on the command line: by id, by full name, or by a name search with one answer.
#include "App/PersonArgument.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;

namespace {

QList<Profile> people() {
    QList<Profile> list;
    for (const Person& p :
         {test::person(u"u-1"_qs, u"Ada"_qs, u"Lovelace"_qs), test::person(u"u-2"_qs, u"Ada"_qs, u"Byron"_qs),
          test::person(u"u-3"_qs, u"Grace"_qs, u"Hopper"_qs),
          test::person(u"u-4"_qs, u"Zoë"_qs, u"Kravitz"_qs),
          test::person(u"u-5"_qs, u"Alan"_qs, u"Turing"_qs),
          test::person(u"u-6"_qs, u"Alan"_qs, u"Turing"_qs)})
        list.append(Profile{p, PemmoRecord::fresh(QDateTime::currentDateTimeUtc())});
    list[2].record.edit().about = u"Works with Ada on compilers"_qs;
    return list;
}

} // namespace

class TestPersonArgument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneMatchIsThePerson_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("id");
        QTest::newRow("id") << u"u-2"_qs << u"u-2"_qs;
        QTest::newRow("full name in other case") << u"  ada LOVELACE "_qs << u"u-1"_qs;
        QTest::newRow("accents ignored") << u"Zoe Kravitz"_qs << u"u-4"_qs;
        QTest::newRow("one name found by search") << u"grace"_qs << u"u-3"_qs;
        QTest::newRow("the start of a name found by search") << u"Hopp"_qs << u"u-3"_qs;
    }

    void oneMatchIsThePerson() {
        QFETCH(QString, text);
        QFETCH(QString, id);
        const auto resolution = PersonArgument::resolve(text, people());
        QVERIFY2(resolution.profile, qPrintable(resolution.error));
        QCOMPARE(resolution.profile->id(), id);
    }

    void moreThanOneIsRefusedWithTheirIds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("listed");
        // "Ada" is also in Grace's notes, but only names count.
        QTest::newRow("a shared first name") << u"Ada"_qs << QStringList({u"(id u-1)"_qs, u"(id u-2)"_qs});
        QTest::newRow("two people with one name")
            << u"Alan Turing"_qs << QStringList({u"(id u-5)"_qs, u"(id u-6)"_qs});
    }

    void moreThanOneIsRefusedWithTheirIds() {
        QFETCH(QString, text);
        QFETCH(QStringList, listed);
        const auto resolution = PersonArgument::resolve(text, people());
        QVERIFY(!resolution.profile);
        QVERIFY(
            resolution.error.startsWith(u"\u201C"_qs + text + u"\u201D could be more than one person:"_qs));
        for (const QString& id : listed)
            QVERIFY2(resolution.error.contains(id), qPrintable(resolution.error));
        QVERIFY(!resolution.error.contains(u"u-3"_qs));
    }

    void nobodyIsAnError() {
        const auto resolution = PersonArgument::resolve(u"compilers"_qs, people());
        QVERIFY(!resolution.profile);
        QCOMPARE(resolution.error, u"No one in the address book matches \u201Ccompilers\u201D."_qs);
    }
};

QTEST_GUILESS_MAIN(TestPersonArgument)
#include "TestPersonArgument.moc"
