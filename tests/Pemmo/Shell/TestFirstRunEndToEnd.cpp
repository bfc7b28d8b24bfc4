// The first start as a new user meets it: a real `pemmo` on an empty home, on its own X server
// with a window manager, driven by synthetic key presses (xdotool). The first-run window opens,
// the shortcut opens the practice panel, the practice contact is found and messaged without
// anything leaving the computer (a stand-in `xdg-open` writes down every address it is given),
// the contacts step makes Pemmo's own address book folder, and the next start opens no window.
#include "EndToEndDesktop.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/SettingsStore.h"
#include "Shell/SingleInstance.h"
#include "TestSupport/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

using namespace pemmo;

namespace {

QString artifactsFolder() {
    const QString dir = QCoreApplication::applicationDirPath() + u"/../test-artifacts/firstrun"_qs;
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace

class TestFirstRunEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_home;
    QProcessEnvironment m_env;
    QString m_display;
    QProcess m_xvfb;
    QProcess m_windowManager;
    QProcess m_pemmo;

    QString runtimeFolder() const { return m_home->filePath(u"runtime/pemmo"_qs); }
    QString openedLog() const { return m_home->filePath(u"opened.txt"_qs); }
    QString defaultsPath() const { return m_home->filePath(u"config/Pemmo/defaults.json"_qs); }
    QString ownContactsFolder() const { return m_home->filePath(u"data/Pemmo/Contacts"_qs); }
    QStringList opened() const {
        QFile f(openedLog());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QJsonObject state() {
        const auto answer = SingleInstance(runtimeFolder()).send("state", std::chrono::milliseconds(3000));
        return answer ? QJsonDocument::fromJson(*answer).object() : QJsonObject();
    }
    QJsonObject firstRun() { return state()[u"firstRun"_qs].toObject(); }
    QJsonObject window() { return firstRun()[u"window"_qs].toObject(); }
    QJsonObject practiceScreen() { return firstRun()[u"practicePanel"_qs][u"screen"_qs].toObject(); }

    int run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        if (!p.waitForFinished(15000))
            return -1;
        return p.exitCode();
    }
    void keys(const QStringList& keys) {
        QCOMPARE(run(u"xdotool"_qs, QStringList{u"key"_qs, u"--delay"_qs, u"40"_qs} + keys), 0);
    }
    void type(const QString& text) {
        QCOMPARE(run(u"xdotool"_qs, {u"type"_qs, u"--delay"_qs, u"60"_qs, text}), 0);
    }
    void screenshot(const QString& name) {
        const QString path = artifactsFolder() + u'/' + name + u".png"_qs;
        QFile::remove(path);
        QCOMPARE(run(u"scrot"_qs, {u"--overwrite"_qs, path}), 0);
        qInfo("screenshot: %s", qPrintable(path));
    }

    void startPemmo() {
        m_pemmo.setProcessEnvironment(m_env);
        m_pemmo.setProcessChannelMode(QProcess::ForwardedChannels);
        m_pemmo.start(qEnvironmentVariable("PEMMO_BINARY"), {});
        QVERIFY(m_pemmo.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(state().contains(u"firstRun"_qs), 30000);
        QVERIFY2(state()[u"hotkeyActive"_qs].toBool(), "the X11 grab of Control-K did not take");
    }
    void quitPemmo() {
        QVERIFY(SingleInstance(runtimeFolder()).send("quit"));
        QVERIFY(m_pemmo.waitForFinished(10000));
    }

private Q_SLOTS:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "scrot"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(u"needs "_qs + QString::fromLatin1(tool) + u" (scripts/install-deps)"_qs));
        if (qEnvironmentVariableIsEmpty("PEMMO_BINARY"))
            QSKIP("PEMMO_BINARY names the pemmo under test");

        // An empty home: no settings, no records, no address book.
        m_home = std::make_unique<test::TempDir>();
        QVERIFY(QDir().mkpath(m_home->filePath(u"runtime"_qs)));
        QFile::setPermissions(m_home->filePath(u"runtime"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir().mkpath(m_home->filePath(u"bin"_qs)));
        {
            QFile opener(m_home->filePath(u"bin/xdg-open"_qs));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write(
                QString(u"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"_qs + openedLog() + u"'\n"_qs).toUtf8());
            opener.close();
            opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }

        m_display = test::freeDisplay(200, 260);
        QVERIFY(!m_display.isEmpty());
        m_env = test::desktopEnvironment(m_display, *m_home);
        m_env.insert(u"HOME"_qs, m_home->path());
        test::startDesktop(m_env, u"1600x1000x24"_qs, m_xvfb, m_windowManager);
        if (QTest::currentTestFailed())
            return;
        startPemmo();
    }

    void cleanupTestCase() {
        if (m_pemmo.state() != QProcess::NotRunning) {
            m_pemmo.terminate();
            if (!m_pemmo.waitForFinished(5000))
                m_pemmo.kill();
        }
        for (QProcess* p : {&m_windowManager, &m_xvfb}) {
            p->terminate();
            p->waitForFinished(3000);
        }
    }

    void theFirstStartOpensTheFirstRunWindow() {
        QTRY_VERIFY_WITH_TIMEOUT(firstRun()[u"open"_qs].toBool(), 10000);
        QVERIFY(firstRun()[u"engaged"_qs].toBool());
        QTRY_VERIFY(window()[u"ready"_qs].toBool());
        QCOMPARE(window()[u"currentTask"_qs].toInt(), 0);
        QCOMPARE(state()[u"visible"_qs].toBool(), false);
        screenshot(u"01-first-run-window"_qs);
    }

    void theShortcutOpensThePracticePanelNotTheLiveOne() {
        keys({u"ctrl+k"_qs});
        // The practice panel's first opening loads its own QML engine: slow under the sanitizers
        // on a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(firstRun()[u"practicePanelVisible"_qs].toBool(), 30000);
        QCOMPARE(state()[u"visible"_qs].toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(window()[u"currentTask"_qs].toInt(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(practiceScreen()[u"focused"_qs].toBool(), 10000);
    }

    void typingAlexSelectsThePracticeContact() {
        type(u"alex"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(practiceScreen()[u"selectedID"_qs].toString(), u"pemmo-practice-alex"_qs,
                                  15000);
        QCOMPARE(practiceScreen()[u"selectedTitle"_qs].toString(), u"Alex Morgan"_qs);
        QTRY_COMPARE(window()[u"currentTask"_qs].toInt(), 2);
        screenshot(u"02-practice-panel"_qs);
    }

    void controlMCompletesThePracticeAndOpensNothing() {
        keys({u"ctrl+m"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(window()[u"messaged"_qs].toBool(), 15000);
        QCOMPARE(window()[u"currentTask"_qs].toInt(), -1);
        QTRY_VERIFY(!firstRun()[u"practicePanelVisible"_qs].toBool());
        screenshot(u"03-practice-done"_qs);
        QCOMPARE(opened(), QStringList());
    }

    void theContactsStepMakesPemmosOwnFolder() {
        QVERIFY(!QFileInfo::exists(ownContactsFolder()));
        // Continue has the keyboard once Alex is messaged; then Connect does.
        keys({u"Return"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(window()[u"step"_qs].toInt(), 2, 5000);
        QVERIFY(!firstRun()[u"engaged"_qs].toBool());
        QCOMPARE(window()[u"contactsText"_qs].toString(),
                 u"Pemmo will set up an address book folder for you. You can also connect later."_qs);
        screenshot(u"04-contacts-step"_qs);
        keys({u"Return"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(ownContactsFolder()).isDir(), 5000);
        QTRY_COMPARE(window()[u"contactsText"_qs].toString(),
                     u"No contacts found yet. Add someone to your address book folders, then search for them "
                     u"in Pemmo."_qs);
        QCOMPARE(DefaultsFileStore(defaultsPath()).textList(SettingsStore::contactFoldersKey()),
                 std::optional(QStringList{ownContactsFolder()}));
        QCOMPARE(opened(), QStringList());
    }

    void searchMyContactsEndsTheTutorialAndTheNextStartOpensNoWindow() {
        // Choose folder…, Later, Search my contacts.
        keys({u"Tab"_qs, u"Tab"_qs, u"Tab"_qs, u"Return"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(!firstRun()[u"open"_qs].toBool(), 5000);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        {
            DefaultsFileStore defaults(defaultsPath());
            SettingsStore settings(defaults);
            QVERIFY(settings.hasCompletedOnboarding());
            QVERIFY(!settings.hasSkippedOnboarding());
            QCOMPARE(settings.onboardingVersion(), 3);
        }
        // With the practice over, the shortcut is the live panel's again.
        keys({u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"visible"_qs].toBool(), 5000);
        QVERIFY(!firstRun()[u"practicePanelVisible"_qs].toBool());

        quitPemmo();
        startPemmo();
        QCOMPARE(state()[u"firstRunDecided"_qs].toBool(), false);
        QCOMPARE(firstRun()[u"open"_qs].toBool(), false);
        QCOMPARE(opened(), QStringList());
    }
};

QTEST_MAIN(TestFirstRunEndToEnd)
#include "TestFirstRunEndToEnd.moc"
