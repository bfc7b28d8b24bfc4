// The tray application as a user meets it: a real `pemmo` on its own X server with a window
// manager, driven by synthetic key presses (xdotool, through the X server like a keyboard), and
// observed through what its window shows (the `state` command reads the panel's items) and
// through screenshots, which stay in the build tree as test artifacts.
#include "Settings/DefaultsFileStore.h"
#include "Shell/SingleInstance.h"
#include "TestSupport/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <functional>
#include <memory>

using namespace pemmo;

namespace {

struct Card {
    QString uid, given, family, org, title, phone, email;
};

// A small address book with names close enough to one another that a misspelling must be
// resolved by the search, not by luck.
const QList<Card> kPeople = {
    {u"p-hamilton"_qs, u"Margaret"_qs, u"Hamilton"_qs, u"NASA"_qs, u"Director"_qs, u"+1 617 555 0101"_qs,
     u"margaret@example.com"_qs},
    {u"p-hampton"_qs, u"Marguerite"_qs, u"Hampton"_qs, u"Lumen"_qs, u"Designer"_qs, u"+1 617 555 0102"_qs,
     u"mh@example.com"_qs},
    {u"p-lovelace"_qs, u"Ada"_qs, u"Lovelace"_qs, u"Analytical Engines"_qs, u"Mathematician"_qs,
     u"+44 20 7946 0103"_qs, u"ada@example.com"_qs},
    {u"p-hopper"_qs, u"Grace"_qs, u"Hopper"_qs, u"US Navy"_qs, u"Rear Admiral"_qs, u"+1 202 555 0104"_qs,
     u"grace@example.com"_qs},
    {u"p-johnson"_qs, u"Katherine"_qs, u"Johnson"_qs, u"NASA"_qs, u"Mathematician"_qs, u"+1 757 555 0105"_qs,
     u"kj@example.com"_qs},
    {u"p-lee"_qs, u"小龙"_qs, u"李"_qs, u"嘉禾"_qs, u"Actor"_qs, u"+852 5555 0106"_qs, u"lee@example.com"_qs},
    {u"p-muller"_qs, u"Jürgen"_qs, u"Müller"_qs, u"Stadtwerke"_qs, u"Engineer"_qs, u"+49 30 5555 0107"_qs,
     u"jm@example.com"_qs},
};

QByteArray vcard(const Card& c) {
    return QString(u"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:"_qs + c.uid + u"\r\nFN:"_qs + c.given + u' ' +
                   c.family + u"\r\nN:"_qs + c.family + u';' + c.given + u";;;\r\nORG:"_qs + c.org +
                   u"\r\nTITLE:"_qs + c.title + u"\r\nTEL;TYPE=CELL:"_qs + c.phone +
                   u"\r\nEMAIL;TYPE=WORK:"_qs + c.email + u"\r\nEND:VCARD\r\n"_qs)
        .toUtf8();
}

QString artifactsFolder() {
    const QString dir = QCoreApplication::applicationDirPath() + u"/../test-artifacts/shell"_qs;
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace

class TestShellEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_home;
    QProcessEnvironment m_env;
    QString m_display;
    QProcess m_xvfb;
    QProcess m_windowManager;
    QProcess m_pemmo;

    QString runtimeFolder() const { return m_home->filePath(u"runtime/pemmo"_qs); }
    QString defaultsPath() const { return m_home->filePath(u"config/Pemmo/defaults.json"_qs); }

    void startPemmo() {
        m_pemmo.setProcessEnvironment(m_env);
        m_pemmo.setProcessChannelMode(QProcess::ForwardedChannels);
        m_pemmo.start(qEnvironmentVariable("PEMMO_BINARY"), {});
        QVERIFY(m_pemmo.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(state()[u"profiles"_qs].toInt(), int(kPeople.size()), 30000);
        QVERIFY2(state()[u"hotkeyActive"_qs].toBool(), "the X11 grab of Control-K did not take");
        QCOMPARE(state()[u"visible"_qs].toBool(), false);
    }
    void quitPemmo() {
        QVERIFY(SingleInstance(runtimeFolder()).send("quit"));
        QVERIFY(m_pemmo.waitForFinished(10000));
    }

    QJsonObject state() {
        const auto answer = SingleInstance(runtimeFolder()).send("state", std::chrono::milliseconds(3000));
        return answer ? QJsonDocument::fromJson(*answer).object() : QJsonObject();
    }
    QJsonObject screen() { return state()[u"panel"_qs][u"screen"_qs].toObject(); }

    int run(const QString& program, const QStringList& args, QString* err = nullptr) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        if (!p.waitForFinished(15000))
            return -1;
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
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

private Q_SLOTS:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "scrot"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(u"needs "_qs + QString::fromLatin1(tool) + u" (scripts/install-deps)"_qs));
        if (qEnvironmentVariableIsEmpty("PEMMO_BINARY"))
            QSKIP("PEMMO_BINARY names the pemmo under test");

        m_home = std::make_unique<test::TempDir>();
        const QString contacts = m_home->filePath(u"data/Pemmo/Contacts"_qs);
        QVERIFY(QDir().mkpath(contacts));
        for (const Card& c : kPeople) {
            QFile f(contacts + u'/' + c.uid + u".vcf"_qs);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(vcard(c));
        }
        QVERIFY(QDir().mkpath(m_home->filePath(u"runtime"_qs)));
        QFile::setPermissions(m_home->filePath(u"runtime"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // An X server of our own, so that the grab, the focus and the screenshots are this test's.
        for (int n = 140; n < 200 && m_display.isEmpty(); ++n)
            if (!QFile::exists(u"/tmp/.X11-unix/X"_qs + QString::number(n)) &&
                !QFile::exists(u"/tmp/.X"_qs + QString::number(n) + u"-lock"_qs))
                m_display = u':' + QString::number(n);
        QVERIFY(!m_display.isEmpty());
        m_xvfb.start(u"Xvfb"_qs,
                     {m_display, u"-screen"_qs, u"0"_qs, u"1920x1080x24"_qs, u"-nolisten"_qs, u"tcp"_qs});
        QVERIFY(m_xvfb.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(u"/tmp/.X11-unix/X"_qs + m_display.mid(1)), 10000);

        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove(u"QT_QPA_PLATFORM"_qs);
        m_env.remove(u"WAYLAND_DISPLAY"_qs);
        m_env.insert(u"DISPLAY"_qs, m_display);
        m_env.insert(u"XDG_DATA_HOME"_qs, m_home->filePath(u"data"_qs));
        m_env.insert(u"XDG_CONFIG_HOME"_qs, m_home->filePath(u"config"_qs));
        m_env.insert(u"XDG_CACHE_HOME"_qs, m_home->filePath(u"cache"_qs));
        m_env.insert(u"XDG_RUNTIME_DIR"_qs, m_home->filePath(u"runtime"_qs));
        m_env.insert(u"ASAN_OPTIONS"_qs, u"detect_leaks=0"_qs);
        m_env.insert(u"QT_LOGGING_RULES"_qs, u"com.dorvane.Pemmo.panel.debug=true"_qs);

        m_windowManager.setProcessEnvironment(m_env);
        m_windowManager.start(u"openbox"_qs, {});
        QVERIFY(m_windowManager.waitForStarted());

        {
            // Two starred people, in this order, for Control-1 and Control-2; a light look.
            DefaultsFileStore defaults(defaultsPath());
            defaults.set(QStringList{u"p-hopper"_qs, u"p-lovelace"_qs}, u"pemmo.starredContactIDs"_qs);
            defaults.set(u"light"_qs, u"pemmo.settings.appearance"_qs);
        }
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

    void shortcutOpensThePanelCentredAndFocused() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"visible"_qs].toBool() && state()[u"exposed"_qs].toBool(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        const QJsonObject s = state();
        const QJsonArray g = s[u"geometry"_qs].toArray();
        const QJsonArray a = s[u"available"_qs].toArray();
        const int height = std::min(qRound(a[3].toInt() * 0.6), 640);
        QCOMPARE(g[3].toInt(), height);
        QCOMPARE(g[0].toInt() + g[2].toInt() / 2, a[0].toInt() + a[2].toInt() / 2);
        // An empty query shows the starred people (and whom to reach out to) rather than nothing.
        QTRY_VERIFY(screen()[u"rowCount"_qs].toInt() >= 3);
        QCOMPARE(screen()[u"emptyText"_qs].toString(), QString());
        screenshot(u"01-opened"_qs);
    }

    void misspeltNameSelectsThePersonAndReturnOpensTheirCard() {
        type(u"margret hamiltn"_qs);
        QTRY_COMPARE(screen()[u"query"_qs].toString(), u"margret hamiltn"_qs);
        if (!screen()[u"searchAvailable"_qs].toBool()) {
            screenshot(u"02-typed"_qs);
            QSKIP("the search model is not wired into the panel in this build");
        }
        QTRY_COMPARE_WITH_TIMEOUT(screen()[u"selectedID"_qs].toString(), u"p-hamilton"_qs, 5000);
        QCOMPARE(screen()[u"selectedTitle"_qs].toString(), u"Margaret Hamilton"_qs);
        screenshot(u"02-results"_qs);

        keys({u"Return"_qs});
        QTRY_COMPARE(state()[u"panel"_qs][u"route"_qs].toString(), u"profile"_qs);
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Margaret Hamilton"_qs);
        QCOMPARE(screen()[u"headline"_qs].toString(), u"Director @ NASA"_qs);
        screenshot(u"03-card"_qs);

        // Back to the results as they were, then the query goes, then the panel.
        keys({u"Escape"_qs});
        QTRY_COMPARE(state()[u"panel"_qs][u"route"_qs].toString(), u"search"_qs);
        QCOMPARE(screen()[u"query"_qs].toString(), u"margret hamiltn"_qs);
        QCOMPARE(screen()[u"selectedID"_qs].toString(), u"p-hamilton"_qs);
    }

    void escapeClearsTheQueryThenHidesThePanel() {
        if (!state()[u"visible"_qs].toBool())
            QSKIP("the panel is not open");
        keys({u"Escape"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
        QVERIFY(state()[u"visible"_qs].toBool());
        keys({u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
        screenshot(u"04-hidden"_qs);
    }

    void toggleFromAnotherProcessShowsAndHides() {
        QCOMPARE(run(qEnvironmentVariable("PEMMO_BINARY"), {u"toggle"_qs}), 0);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        QCOMPARE(run(qEnvironmentVariable("PEMMO_BINARY"), {u"toggle"_qs}), 0);
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void shortcutClosesThePanelItOpened() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void clickingAnotherWindowHidesThePanel() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        // Another application takes the focus, as a click elsewhere gives it.
        QProcess other;
        other.setProcessEnvironment(m_env);
        other.start(u"xmessage"_qs, {u"-geometry"_qs, u"+10+10"_qs, u"other application"_qs});
        if (!other.waitForStarted())
            QSKIP("needs xmessage (x11-utils)");
        QTest::qWait(500);
        run(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--name"_qs, u"xmessage"_qs, u"windowactivate"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(!state()[u"visible"_qs].toBool(), 5000);
        other.kill();
        other.waitForFinished();
    }

    void secondStartShowsTheRunningPanelAndExits() {
        QCOMPARE(run(qEnvironmentVariable("PEMMO_BINARY"), {}), 0);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        QCOMPARE(m_pemmo.state(), QProcess::Running);
        QCOMPARE(run(qEnvironmentVariable("PEMMO_BINARY"), {u"toggle"_qs}), 0);
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void controlDigitOpensAStarredPersonAndRecordsThemAsRecent() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        keys({u"ctrl+2"_qs});
        QTRY_COMPARE(state()[u"panel"_qs][u"route"_qs].toString(), u"profile"_qs);
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        QCOMPARE(state()[u"recents"_qs].toArray().first().toString(), u"p-lovelace"_qs);
        screenshot(u"05-starred-card-light"_qs);
        keys({u"ctrl+4"_qs}); // nobody is starred there: nothing happens
        QCOMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        keys({u"Escape"_qs, u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void darkAppearanceIsUsedWhenChosen() {
        quitPemmo();
        {
            DefaultsFileStore defaults(defaultsPath());
            defaults.set(u"dark"_qs, u"pemmo.settings.appearance"_qs);
        }
        startPemmo();
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        QCOMPARE(state()[u"panel"_qs][u"dark"_qs].toBool(), true);
        type(u"ma"_qs);
        QTRY_COMPARE(screen()[u"query"_qs].toString(), u"ma"_qs);
        QTest::qWait(200);
        screenshot(u"06-results-dark"_qs);
        keys({u"ctrl+2"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        screenshot(u"07-card-dark"_qs);
        keys({u"Escape"_qs, u"Escape"_qs, u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void toggleWithoutARunningPemmoSaysSo() {
        quitPemmo();
        QString err;
        QCOMPARE(run(qEnvironmentVariable("PEMMO_BINARY"), {u"toggle"_qs}, &err), 1);
        QVERIFY2(err.contains(u"Pemmo is not running"_qs), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestShellEndToEnd)
#include "TestShellEndToEnd.moc"
