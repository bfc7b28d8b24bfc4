// Handing addresses to the desktop through a stand-in for xdg-open that writes down what it gets
// and answers as told: what each address becomes for the chosen messaging app, and how the
// desktop's "nothing opens this" reaches the user.
#include "Links/LinkRouter.h"
#include "Platform/DesktopOpener.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/TempDir.h"

#include <QFile>
#include <QTest>

using namespace pemmo;
using test::await;
using App = SettingsStore::MessagingApp;

class TestDesktopOpener : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<InMemoryKeyValueStore> m_store;
    std::unique_ptr<SettingsStore> m_settings;

    // A launcher that appends its argument to "opened" and exits with `status`, after `pause`.
    QString launcher(int status, const QString& pause = u"0"_qs) {
        const QString path = m_dir->filePath(u"xdg-open-%1-%2"_qs.arg(status).arg(pause));
        m_dir->write(QFileInfo(path).fileName(),
                     QString(u"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"_qs + m_dir->filePath(u"opened"_qs) +
                             u"'\nsleep "_qs + pause + u"\nexit "_qs + QString::number(status) + u"\n"_qs)
                         .toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QStringList opened() const {
        return QString::fromUtf8(m_dir->read(u"opened"_qs)).split(u'\n', Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        m_store = std::make_unique<InMemoryKeyValueStore>();
        m_settings = std::make_unique<SettingsStore>(*m_store);
    }

    void addressesAreRewrittenForTheChosenApp_data() {
        QTest::addColumn<App>("app");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("handed");
        // The rewriting itself is TestDesktopAddress's; here the chosen app reaches it.
        QTest::newRow("telegram") << App::Telegram << *LinkRouter::messagesURL(u"+49 (170) 123-4567"_qs)
                                  << u"tg://resolve?phone=491701234567"_qs;
        QTest::newRow("a web link") << App::Signal << u"https://example.org/a?b=c&d"_qs
                                    << u"https://example.org/a?b=c&d"_qs;
    }
    void addressesAreRewrittenForTheChosenApp() {
        QFETCH(App, app);
        QFETCH(QString, address);
        QFETCH(QString, handed);
        m_settings->setMessagingApp(app);
        DesktopOpener opener(*m_settings, launcher(0));
        QCOMPARE(await(opener.open(address, {})), std::nullopt);
        QCOMPARE(opened(), QStringList{handed});
    }

    void nothingToOpenTheAddressWithIsSaid() {
        DesktopOpener opener(*m_settings, launcher(3));
        const auto problem = await(opener.open(*LinkRouter::messagesURL(u"+49 170 1234567"_qs), {}));
        QCOMPARE(problem, std::optional<QString>(DesktopOpener::noHandlerMessage(u"sms:+491701234567"_qs)));
        QVERIFY(problem->contains(u"“sms:”"_qs));
    }

    void aLauncherThatCannotStartIsSaid() {
        DesktopOpener opener(*m_settings, m_dir->filePath(u"no-such-launcher"_qs),
                             std::chrono::milliseconds(200));
        QVERIFY(await(opener.open(u"https://example.org"_qs, {})).has_value());
    }

    void aLauncherStillRunningAfterTheWaitCountsAsOpened() {
        DesktopOpener opener(*m_settings, launcher(0, u"2"_qs), std::chrono::milliseconds(100));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(await(opener.open(u"https://example.org"_qs, {})), std::nullopt);
        QVERIFY(timer.elapsed() < 1500);
        QCOMPARE(opened(), QStringList{u"https://example.org"_qs});
    }

    void aHandleNoAppCanReachIsRefusedBeforeTheDesktop() {
        m_settings->setMessagingApp(App::WhatsApp);
        DesktopOpener opener(*m_settings, launcher(0));
        const auto problem = await(opener.open(*LinkRouter::messagesURL(u"anna_b"_qs), {}));
        QVERIFY(problem && problem->contains(u"WhatsApp"_qs));
        QVERIFY(opened().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopOpener)
#include "TestDesktopOpener.moc"
