// Calendar Moments as a user meets them: a real `pemmo` on its own X server over an address-book
// folder and an iCalendar folder in a temporary home, with the calendar chosen in the settings
// file. A one-on-one that ended half an hour ago shows in the panel; Return opens it, the memory
// typed there lands on the person's timeline in the store file, and the Moment stays gone after a
// restart. Screenshots (light and dark) stay in the build tree as test artifacts.
#include "EndToEndDesktop.h"
#include "Settings/DefaultsFileStore.h"
#include "Shell/SingleInstance.h"
#include "Store/StoreFile.h"
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

using namespace pemmo;

namespace {

QString icsTime(const QDateTime& instant) {
    return instant.toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_qs);
}

// One event with the user and one other person, as a calendar program writes it.
QByteArray oneOnOne(const QString& uid, const QDateTime& end, const QString& other, const QString& title) {
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Pemmo tests//EN\r\nBEGIN:VEVENT\r\n"
                          "UID:%1\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:%2\r\nDTEND:%3\r\nSUMMARY:%4\r\n"
                          "ORGANIZER;CN=Me:mailto:me@example.com\r\n"
                          "ATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:me@example.com\r\n"
                          "ATTENDEE;PARTSTAT=ACCEPTED:mailto:%5\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(uid, icsTime(end.addSecs(-3600)), icsTime(end), title, other)
        .toUtf8();
}

QByteArray vcard(const QString& uid, const QString& given, const QString& family, const QString& email) {
    return QStringLiteral(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2 %3\r\nN:%3;%2;;;\r\nEMAIL:%4\r\nEND:VCARD\r\n")
        .arg(uid, given, family, email)
        .toUtf8();
}

QString artifactsFolder() {
    const QString dir = QCoreApplication::applicationDirPath() + u"/../test-artifacts/moments"_qs;
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

} // namespace

class TestMomentsEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_home;
    QProcessEnvironment m_env;
    QString m_display;
    QProcess m_xvfb;
    QProcess m_windowManager;
    QProcess m_pemmo;
    QString m_coffeeID;

    QString runtimeFolder() const { return m_home->filePath(u"runtime/pemmo"_qs); }
    QString defaultsPath() const { return m_home->filePath(u"config/Pemmo/defaults.json"_qs); }
    QString storePath() const { return m_home->filePath(u"data/Pemmo/pemmo-store.json"_qs); }
    QString calendarFolder() const { return m_home->filePath(u"calendars/nextcloud/personal"_qs); }

    RecordMap storedRecords() const {
        QFile file(storePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        try {
            return StoreFile::decode(file.readAll(), QDateTime::currentDateTimeUtc());
        } catch (...) {
            return {}; // caught between two writes: read again
        }
    }

    QJsonObject state() {
        const auto answer = SingleInstance(runtimeFolder()).send("state", std::chrono::milliseconds(3000));
        return answer ? QJsonDocument::fromJson(*answer).object() : QJsonObject();
    }
    QJsonObject panel() { return state()[u"panel"_qs].toObject(); }
    QJsonObject screen() { return panel()[u"screen"_qs].toObject(); }

    int run(const QString& program, const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        if (!p.waitForFinished(30000))
            return -1;
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode();
    }
    void keys(const QStringList& keys) {
        QCOMPARE(run(u"xdotool"_qs, QStringList{u"key"_qs, u"--delay"_qs, u"40"_qs} + keys), 0);
    }
    void type(const QString& text) {
        QCOMPARE(run(u"xdotool"_qs, {u"type"_qs, u"--delay"_qs, u"60"_qs, text}), 0);
    }
    // The Moments `pemmo moments --json` lists beside the running Pemmo (it reads the file as is).
    QJsonArray listedMoments() {
        QString out;
        run(qEnvironmentVariable("PEMMO_BINARY"), {u"moments"_qs, u"--json"_qs}, &out);
        return QJsonDocument::fromJson(out.toUtf8()).array();
    }
    void settle() {
        int frames = -1;
        for (int i = 0; i < 30; ++i) {
            const int now = state()[u"timings"_qs][u"frames"_qs].toInt();
            if (now == frames)
                return;
            frames = now;
            QTest::qWait(150);
        }
    }
    void screenshot(const QString& name) {
        settle();
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
        QTRY_COMPARE_WITH_TIMEOUT(state()[u"profiles"_qs].toInt(), 2, 30000);
    }
    void quitPemmo() {
        QVERIFY(SingleInstance(runtimeFolder()).send("quit"));
        QVERIFY(m_pemmo.waitForFinished(10000));
        QCOMPARE(m_pemmo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_pemmo.exitCode(), 0); // a sanitizer's report at teardown fails it
    }
    void openPanel() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"visible"_qs].toBool() && state()[u"active"_qs].toBool(), 5000);
    }
    // Until the running Pemmo has read the calendar and written what it offers to its file.
    void waitForPending(const QString& momentID) {
        const QString path = m_home->filePath(u"data/Pemmo/calendar-moments.json"_qs);
        QTRY_VERIFY_WITH_TIMEOUT(pendingIDs(path).contains(momentID), 20000);
    }
    static QStringList pendingIDs(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList ids;
        for (const QJsonValue& moment : QJsonDocument::fromJson(file.readAll())[u"pending"_qs].toArray())
            ids.append(moment[u"id"_qs].toString());
        return ids;
    }
    // A panel opened before the Moments were read keeps the row it selected then; a new empty
    // query (a letter typed and taken back) selects the first row, as the user would see it.
    void freshEmptyQuery() {
        type(u"x"_qs);
        QTRY_COMPARE(screen()[u"query"_qs].toString(), u"x"_qs);
        keys({u"BackSpace"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
    }
    void setAppearance(const QString& look) {
        DefaultsFileStore defaults(defaultsPath());
        defaults.set(look, u"pemmo.settings.appearance"_qs);
    }

private Q_SLOTS:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "scrot"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(u"needs "_qs + QString::fromLatin1(tool) + u" (scripts/install-deps)"_qs));
        if (qEnvironmentVariableIsEmpty("PEMMO_BINARY"))
            QSKIP("PEMMO_BINARY names the pemmo under test");

        m_home = std::make_unique<test::TempDir>();
        QVERIFY(QDir().mkpath(m_home->filePath(u"data/Pemmo/Contacts"_qs)));
        m_home->write(u"data/Pemmo/Contacts/ada.vcf"_qs,
                      vcard(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, u"ada@example.com"_qs));
        m_home->write(u"data/Pemmo/Contacts/alan.vcf"_qs,
                      vcard(u"alan"_qs, u"Alan"_qs, u"Turing"_qs, u"alan@example.com"_qs));

        // Two one-on-ones that ended past the 20-minute delay: coffee with Ada half an hour ago,
        // a walk with Alan an hour ago. Whole seconds, as calendars write them.
        const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
        QVERIFY(QDir().mkpath(calendarFolder()));
        m_home->write(u"calendars/nextcloud/personal/displayname"_qs, "Personal");
        m_home->write(u"calendars/nextcloud/personal/coffee.ics"_qs,
                      oneOnOne(u"coffee-1"_qs, now.addSecs(-30 * 60), u"ada@example.com"_qs, u"Coffee"_qs));
        m_home->write(
            u"calendars/nextcloud/personal/walk.ics"_qs,
            oneOnOne(u"walk-1"_qs, now.addSecs(-60 * 60), u"alan@example.com"_qs, u"Walk in the park"_qs));

        QVERIFY(QDir().mkpath(m_home->filePath(u"runtime"_qs)));
        QFile::setPermissions(m_home->filePath(u"runtime"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        {
            DefaultsFileStore defaults(defaultsPath());
            defaults.set(true, u"pemmo.calendar.connected"_qs);
            defaults.set(true, u"pemmo.calendar.enabled"_qs);
            defaults.set(qint64(20), u"pemmo.calendar.delay"_qs);
            defaults.set(QStringList{calendarFolder()}, u"pemmo.calendar.ids"_qs);
            defaults.set(QStringList{u"me@example.com"_qs}, u"pemmo.calendar.selfAddresses"_qs);
            defaults.set(u"light"_qs, u"pemmo.settings.appearance"_qs);
            // A user who has been through the tutorial: no first-run window in the way.
            defaults.set(true, u"pemmo.settings.hasCompletedOnboarding"_qs);
            defaults.set(qint64(3), u"pemmo.settings.onboardingVersion"_qs);
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

    void theMeetingsShowFirstInThePanel() {
        // Pemmo has read the calendar and written what it offers.
        QTRY_COMPARE_WITH_TIMEOUT(listedMoments().size(), 2, 20000);
        const QJsonObject coffee = listedMoments().first().toObject();
        QCOMPARE(coffee[u"person"_qs].toString(), u"Ada Lovelace"_qs);
        m_coffeeID = coffee[u"id"_qs].toString();
        QCOMPARE(m_coffeeID.size(), 64);

        waitForPending(m_coffeeID);
        openPanel();
        freshEmptyQuery();
        // With nothing typed, the latest Moment is the first row and selected.
        QTRY_COMPARE(screen()[u"selectedID"_qs].toString(), u"moment:"_qs + m_coffeeID);
        QCOMPARE(screen()[u"selectedTitle"_qs].toString(), u"Ada Lovelace"_qs);
        screenshot(u"01-just-happened-light"_qs);
    }

    void returnOpensTheCaptureAndAMemoryIsSavedToTheTimeline() {
        keys({u"Return"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"momentCapture"_qs);
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        QCOMPARE(screen()[u"title"_qs].toString(), u"Coffee with Ada Lovelace"_qs);
        QCOMPARE(screen()[u"placeholder"_qs].toString(), u"A small detail worth keeping…"_qs);
        screenshot(u"02-capture-empty-light"_qs);

        type(u"She is writing notes on the engine"_qs);
        QTRY_COMPARE(screen()[u"text"_qs].toString(), u"She is writing notes on the engine"_qs);
        screenshot(u"03-capture-typed-light"_qs);
        keys({u"ctrl+Return"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"search"_qs);
        QCOMPARE(panel()[u"bannerStyle"_qs].toString(), u"success"_qs);
        // The Moment left the section; the walk with Alan is now first.
        QTRY_VERIFY(screen()[u"selectedID"_qs].toString() != u"moment:"_qs + m_coffeeID);
        QCOMPARE(screen()[u"selectedTitle"_qs].toString(), u"Alan Turing"_qs);
        screenshot(u"04-saved-light"_qs);

        // On Ada's timeline in the store file, carrying the event's hashes.
        QTRY_VERIFY_WITH_TIMEOUT(!storedRecords().value(u"ada"_qs).interactions.isEmpty(), 10000);
        const Interaction entry = storedRecords().value(u"ada"_qs).interactions.first();
        QCOMPARE(entry.kind, Interaction::Kind::Met);
        QCOMPARE(entry.text, u"She is writing notes on the engine"_qs);
        QCOMPARE(entry.calendarEventHash, std::optional(m_coffeeID));
        QCOMPARE(entry.source, Interaction::Source::user());
        keys({u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void inTheDarkADraftSurvivesLeavingAndDismissingRemovesTheMoment() {
        quitPemmo();
        setAppearance(u"dark"_qs);
        // And at twice the scale, as on a HiDPI screen.
        m_env.insert(u"QT_SCALE_FACTOR"_qs, u"2"_qs);
        startPemmo();
        QTRY_COMPARE_WITH_TIMEOUT(listedMoments().size(), 1, 20000);
        waitForPending(listedMoments().first().toObject()[u"id"_qs].toString());
        openPanel();
        freshEmptyQuery();
        QCOMPARE(panel()[u"dark"_qs].toBool(), true);
        QTRY_COMPARE(screen()[u"selectedTitle"_qs].toString(), u"Alan Turing"_qs);
        screenshot(u"05-just-happened-dark-200"_qs);
        keys({u"Return"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"momentCapture"_qs);
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        type(u"Talked about"_qs);
        QTRY_COMPARE(screen()[u"text"_qs].toString(), u"Talked about"_qs);
        screenshot(u"06-capture-typed-dark-200"_qs);

        // Back to the search, and in again: the text is still there.
        keys({u"Escape"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"search"_qs);
        keys({u"Return"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"momentCapture"_qs);
        QTRY_COMPARE(screen()[u"text"_qs].toString(), u"Talked about"_qs);

        // Saving an empty memory is refused on the screen.
        keys({u"ctrl+a"_qs, u"BackSpace"_qs, u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"error"_qs].toString(),
                     u"Could not save. Write a memory first, or choose Just log that we met."_qs);
        screenshot(u"07-capture-refused-dark-200"_qs);

        keys({u"ctrl+d"_qs});
        QTRY_COMPARE(panel()[u"route"_qs].toString(), u"search"_qs);
        QTRY_VERIFY(!screen()[u"selectedID"_qs].toString().startsWith(u"moment:"_qs));
        QTRY_COMPARE(listedMoments().size(), 0);
        QVERIFY(storedRecords().value(u"alan"_qs).interactions.isEmpty());
        keys({u"Escape"_qs});
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }

    void neitherMomentComesBackAfterARestart() {
        quitPemmo();
        setAppearance(u"light"_qs);
        m_env.remove(u"QT_SCALE_FACTOR"_qs);
        startPemmo();
        openPanel();
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        settle();
        QVERIFY(!screen()[u"selectedID"_qs].toString().startsWith(u"moment:"_qs));
        QCOMPARE(listedMoments().size(), 0);
        QCOMPARE(storedRecords().value(u"ada"_qs).interactions.size(), 1);
        keys({u"Escape"_qs});
        quitPemmo();
    }
};

QTEST_GUILESS_MAIN(TestMomentsEndToEnd)
#include "TestMomentsEndToEnd.moc"
