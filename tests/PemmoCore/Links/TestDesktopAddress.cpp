// What the desktop is handed for each address of the card, per messaging app.
#include "Links/DesktopAddress.h"
#include "Links/LinkRouter.h"

#include <QTest>

using namespace pemmo;
using App = SettingsStore::MessagingApp;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestDesktopAddress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void forDesktop_data() {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<App>("app");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sms, written number")
            << u"+49 (170) 123-4567"_qs << App::Sms << u"sms:+491701234567"_qs;
        QTest::newRow("sms, national number") << u"(202) 555-0123"_qs << App::Sms << u"sms:2025550123"_qs;
        QTest::newRow("signal") << u"+49 170 1234567"_qs << App::Signal
                                << u"sgnl://signal.me/#p/+491701234567"_qs;
        QTest::newRow("whatsapp drops the plus")
            << u"+49 170 1234567"_qs << App::WhatsApp << u"https://wa.me/491701234567"_qs;
        QTest::newRow("telegram by number")
            << u"+49.170.1234567"_qs << App::Telegram << u"tg://resolve?phone=491701234567"_qs;
        QTest::newRow("telegram by user name")
            << u"@anna_b"_qs << App::Telegram << u"tg://resolve?domain=anna_b"_qs;
        QTest::newRow("full-width number")
            << u"０３－１２３４－５６７８"_qs << App::Sms << u"sms:0312345678"_qs;
        QTest::newRow("e-mail handle becomes mail")
            << u"anna@example.org"_qs << App::Signal << u"mailto:anna@example.org"_qs;
    }
    void forDesktop() {
        QFETCH(QString, handle);
        QFETCH(App, app);
        QFETCH(QString, expected);
        // Through the card's own address, so the percent-encoding is undone on the way.
        const auto result = DesktopAddress::forDesktop(*LinkRouter::messagesURL(handle), app);
        QCOMPARE(result.address, std::optional<QString>(expected));
        QVERIFY(result.problem.isEmpty());
    }

    void aNameOnlyTelegramCanReachIsRefusedElsewhere() {
        const auto result = DesktopAddress::forDesktop(*LinkRouter::messagesURL(u"anna_b"_qs), App::WhatsApp);
        QVERIFY(!result.address);
        QVERIFY(result.problem.contains(u"WhatsApp"_qs));
        QVERIFY(result.problem.contains(u"anna_b"_qs));
    }

    void callsAndOtherAddressesGoAsTheyAre_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tel") << *LinkRouter::callURL(u"+49 (170) 123-4567"_qs) << u"tel:+491701234567"_qs;
        QTest::newRow("mail") << u"mailto:a@b.c?body=x"_qs << u"mailto:a@b.c?body=x"_qs;
        QTest::newRow("web") << u"https://example.org/a?b=c"_qs << u"https://example.org/a?b=c"_qs;
    }
    void callsAndOtherAddressesGoAsTheyAre() {
        QFETCH(QString, address);
        QFETCH(QString, expected);
        QCOMPARE(DesktopAddress::forDesktop(address, App::Signal).address, std::optional<QString>(expected));
    }
};

QTEST_GUILESS_MAIN(TestDesktopAddress)
#include "TestDesktopAddress.moc"
