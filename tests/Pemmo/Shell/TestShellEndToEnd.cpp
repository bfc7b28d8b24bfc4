// The tray application as a user meets it: a real `pemmo` on its own X server with a window
// manager, driven by synthetic key presses (xdotool, through the X server like a keyboard), and
// observed through what its window shows (the `state` command reads the panel's items), through
// screenshots, which stay in the build tree as test artifacts, and through what it hands the
// desktop: a stand-in `xdg-open` first on PATH writes down every address it is given.
#include "EndToEndTest.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/LoopbackHTTPServer.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <csignal>

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

} // namespace

class TestShellEndToEnd : public test::EndToEndTest {
    Q_OBJECT

public:
    TestShellEndToEnd()
        : EndToEndTest(u"shell"_qs) {}

private:
    // Writes an export file holding one record for `id` with that "about".
    QString exportFile(const QString& name, const QString& id, const QString& about) const {
        PemmoRecord record = PemmoRecord::fresh(QDateTime::currentDateTimeUtc().addYears(1));
        record.about = about;
        m_home->write(name, QByteArray::fromStdString(StoreFile::encodeForExport({{id, record}})));
        return m_home->filePath(name);
    }
    // Types `query`, which selects `id`, and opens their card with Return.
    void openCard(const QString& query, const QString& id) {
        type(query);
        QTRY_COMPARE_WITH_TIMEOUT(screen()[u"selectedID"_qs].toString(), id, 5000);
        keys({u"Return"_qs});
    }
    // Started with the whole address book read and the panel hidden.
    void startPemmo(const QStringList& args = {}) {
        EndToEndTest::startPemmo(
            [](const QJsonObject& s) { return s[u"profiles"_qs].toInt() == int(kPeople.size()); }, args);
        if (args.isEmpty())
            QCOMPARE(state()[u"visible"_qs].toBool(), false);
    }
    void quitIfRunning() {
        if (m_pemmo.state() == QProcess::Running)
            quitPemmo();
    }
    void startIfNotRunning() {
        if (m_pemmo.state() != QProcess::Running)
            startPemmo();
    }

private Q_SLOTS:
    void initTestCase() {
        if (const QString missing = missingPrerequisite(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        makeHome();
        for (const Card& c : kPeople)
            m_home->write(u"data/Pemmo/Contacts/"_qs + c.uid + u".vcf"_qs, vcard(c));
        // A desktop without a mail program, as xdg-open reports it.
        installOpener(
            u"case \"$1\" in mailto:*) echo 'xdg-open: no method available' >&2; exit 3;; esac\n"_qs);
        // An X server of our own, so that the grab, the focus and the screenshots are this test's.
        startDesktop(140, 200, u"1920x1080x24"_qs);
        if (QTest::currentTestFailed())
            return;
        m_env.insert(u"QT_LOGGING_RULES"_qs, u"com.dorvane.Pemmo.panel.debug=true"_qs);
        // Two starred people, in this order, for Control-1 and Control-2; a light look.
        setDefault(u"pemmo.starredContactIDs"_qs, QStringList{u"p-hopper"_qs, u"p-lovelace"_qs});
        setAppearance(u"light"_qs);
        markTutorialDone();
        startPemmo();
    }

    void cleanupTestCase() { stopAll(); }

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
        typeInto(u"query"_qs, u"margret hamiltn"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(screen()[u"selectedID"_qs].toString(), u"p-hamilton"_qs, 5000);
        QCOMPARE(screen()[u"selectedTitle"_qs].toString(), u"Margaret Hamilton"_qs);
        screenshot(u"02-results"_qs);

        keysTo(u"profile"_qs, {u"Return"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Margaret Hamilton"_qs);
        QCOMPARE(screen()[u"headline"_qs].toString(), u"Director @ NASA"_qs);
        screenshot(u"03-card"_qs);

        // Back to the results as they were, then the query goes, then the panel.
        keysTo(u"search"_qs, {u"Escape"_qs});
        QCOMPARE(screen()[u"query"_qs].toString(), u"margret hamiltn"_qs);
        QCOMPARE(screen()[u"selectedID"_qs].toString(), u"p-hamilton"_qs);
    }

    void escapeClearsTheQueryThenHidesThePanel() {
        if (!state()[u"visible"_qs].toBool())
            QSKIP("the panel is not open");
        keys({u"Escape"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
        QVERIFY(state()[u"visible"_qs].toBool());
        keysHidingThePanel({u"Escape"_qs});
        screenshot(u"04-hidden"_qs);
    }

    void toggleFromAnotherProcessShowsThenActsAsTheShortcutInThePanel() {
        QCOMPARE(run(pemmoBinary(), {u"toggle"_qs}), 0);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        // In front, `pemmo toggle` is Control-K for the panel's screens: the action panel.
        QCOMPARE(run(pemmoBinary(), {u"toggle"_qs}), 0);
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), u"actions"_qs);
        QCOMPARE(run(pemmoBinary(), {u"toggle"_qs}), 0);
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), QString());
        keysHidingThePanel({u"Escape"_qs});
    }

    void shortcutInThePanelOpensAndClosesTheActionPanel() {
        openPanel();
        openActions();
        QTRY_VERIFY(panel()[u"actions"_qs].toObject()[u"items"_qs].toArray().size() >= 5);
        screenshot(u"04b-search-actions-light"_qs);
        keys({u"ctrl+k"_qs});
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), QString());
        QVERIFY(state()[u"visible"_qs].toBool());
        keysHidingThePanel({u"Escape"_qs});
    }

    void clickingAnotherWindowHidesThePanel() {
        openPanel();
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
        QCOMPARE(run(pemmoBinary(), {}), 0);
        QTRY_VERIFY(state()[u"visible"_qs].toBool());
        QCOMPARE(m_pemmo.state(), QProcess::Running);
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        keysHidingThePanel({u"Escape"_qs});
    }

    void returnOnTheCardMessagesThePersonAndLogsIt() {
        openPanel();
        openCard(u"margret hamiltn"_qs, u"p-hamilton"_qs);
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Margaret Hamilton"_qs);
        keys({u"Return"_qs});
        // The phone link's address of her number, as the desktop gets it.
        QTRY_COMPARE(opened(), QStringList{u"sms:+16175550101"_qs});
        QTRY_COMPARE(screen()[u"timeline"_qs].toArray().first().toString(), u"Opened Messages"_qs);
        QVERIFY(state()[u"visible"_qs].toBool()); // nothing took the focus: the panel stays
        screenshot(u"08-card-after-message-light"_qs);
    }

    void mailWithNothingToOpenItSaysSoAndLogsNothing() {
        const int entries = screen()[u"timeline"_qs].toArray().size();
        keys({u"ctrl+e"_qs});
        QTRY_COMPARE(opened().last(), u"mailto:margaret@example.com"_qs);
        QTRY_COMPARE(panel()[u"bannerStyle"_qs].toString(), u"error"_qs);
        QVERIFY2(panel()[u"banner"_qs].toString().contains(u"\u201Cmailto:\u201D"_qs),
                 qPrintable(panel()[u"banner"_qs].toString()));
        screenshot(u"08b-no-mail-program-light"_qs);
        QCOMPARE(screen()[u"timeline"_qs].toArray().size(), entries);
        QVERIFY(!screen()[u"timeline"_qs].toArray().contains(u"Opened Mail"_qs));
    }

    void aLoggedInteractionIsExportedAsTheUsers() {
        // Control-K on the card: the action panel of the person.
        openActions();
        QTRY_VERIFY(panel()[u"actions"_qs].toObject()[u"focused"_qs].toBool());
        screenshot(u"09-card-actions-light"_qs);
        chooseAction(u"Log interaction"_qs, u"Log interaction"_qs);
        waitForRoute(u"logInteraction"_qs);
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        typeInto(u"text"_qs, u"Talked about the Apollo guidance computer"_qs);
        screenshot(u"10-log-form-light"_qs);
        keysTo(u"profile"_qs, {u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"timeline"_qs].toArray().first().toString(),
                     u"Talked about the Apollo guidance computer"_qs);
        // Written to the store (after its short pause) and read back by the command line.
        QJsonObject entry;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QString out;
                run(pemmoBinary(), {u"export"_qs}, &out);
                const QJsonDocument exported = QJsonDocument::fromJson(out.toUtf8());
                for (const QJsonValue& e :
                     exported[u"records"_qs][u"p-hamilton"_qs][u"interactions"_qs].toArray())
                    if (e.toObject()[u"text"_qs].toString() == u"Talked about the Apollo guidance computer")
                        entry = e.toObject();
                return !entry.isEmpty();
            }(),
            10000);
        QCOMPARE(entry[u"source"_qs].toObject()[u"kind"_qs].toString(), u"user"_qs);
        QCOMPARE(entry[u"kind"_qs].toString(), u"note"_qs);
    }

    void aDigitOpensTheFirstCustomLink() {
        keysTo(u"quickLinkForm"_qs, {u"ctrl+l"_qs});
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        type(u"blog.example.org/margaret"_qs);
        QTRY_COMPARE(screen()[u"preview"_qs].toString(), u"Blog.example.org"_qs);
        screenshot(u"11-link-form-light"_qs);
        keysTo(u"profile"_qs, {u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"links"_qs].toArray().size(), 1);
        keys({u"1"_qs});
        QTRY_COMPARE(opened().last(), u"https://blog.example.org/margaret"_qs);
    }

    // On the card: Control-D edits, Control-O asks for a picture in a file dialog (the panel stays
    // up behind it), the picked file shows in the form and is stored when the form is saved.
    void aPhotoPickedFromAFileIsStoredWithTheForm() {
        const QString picture = m_home->filePath(u"Pictures/margaret.png"_qs);
        QDir().mkpath(QFileInfo(picture).path());
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(QColor(u"#3a7bd5"_qs));
        QVERIFY(image.save(picture));
        const QString stored = m_home->filePath(u"data/Pemmo/Photos/p-hamilton.jpg"_qs);
        QVERIFY(!QFile::exists(stored));

        keysTo(u"contactForm"_qs, {u"ctrl+d"_qs});
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        QVERIFY(!screen()[u"hasReplacementPhoto"_qs].toBool());
        keys({u"ctrl+o"_qs});
        QCOMPARE(run(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--name"_qs, u"Choose a photo"_qs}), 0);
        settle();
        QVERIFY(state()[u"visible"_qs].toBool());
        screenshot(u"21-photo-dialog-light"_qs);
        // The dialog's file name field has the keyboard: a full path and Return choose the file.
        type(picture);
        keys({u"Return"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(screen()[u"hasReplacementPhoto"_qs].toBool(), 5000);
        QVERIFY(screen()[u"photoSource"_qs].toString().startsWith(u"data:image/jpeg"_qs));
        QVERIFY(state()[u"visible"_qs].toBool());
        QVERIFY(!QFile::exists(stored)); // not before saving
        screenshot(u"22-contact-form-photo-light"_qs);
        activatePanel();
        keysTo(u"profile"_qs, {u"ctrl+Return"_qs});
        QTRY_VERIFY(QFile::exists(stored));
        QCOMPARE(QImage(stored).size(), QSize(400, 300));
    }

    void starFromTheActionPanel() {
        QVERIFY(!state()[u"starred"_qs].toArray().contains(u"p-hamilton"_qs));
        openActions();
        chooseAction(u"star"_qs, u"Star Margaret Hamilton"_qs);
        QTRY_VERIFY(state()[u"starred"_qs].toArray().contains(u"p-hamilton"_qs));
        QTRY_VERIFY(screen()[u"starred"_qs].toBool());
        QCOMPARE(panel()[u"overlay"_qs].toString(), QString());
    }

    void deleteAMemoryThroughItsConfirmation() {
        const int before = screen()[u"timeline"_qs].toArray().size();
        openActions();
        chooseAction(u"delete memory"_qs, u"Delete memory"_qs);
        QTRY_COMPARE(panel()[u"confirm"_qs].toString(), u"Delete memory?"_qs);
        screenshot(u"12-delete-memory-light"_qs);
        keys({u"Return"_qs});
        QTRY_COMPARE(screen()[u"timeline"_qs].toArray().size(), before - 1);
        QCOMPARE(panel()[u"confirm"_qs].toString(), QString());
        keysHidingThePanel({u"Escape"_qs, u"Escape"_qs, u"Escape"_qs});
    }

    // A name nobody has, Control-H, Control-Return: a new vCard in the address book folder, and
    // the person is found by the search. Deleted again through its confirmation, so the book is
    // as it was for the steps after.
    void controlHCreatesTheTypedPersonWhoIsThenFound() {
        const auto cards = [this] {
            return QDir(m_home->filePath(u"data/Pemmo/Contacts"_qs)).entryList({u"*.vcf"_qs}, QDir::Files);
        };
        const QStringList before = cards();
        openPanel();
        typeInto(u"query"_qs, u"Zed Newperson"_qs);
        keysTo(u"contactForm"_qs, {u"ctrl+h"_qs});
        QTRY_COMPARE(screen()[u"givenName"_qs].toString(), u"Zed"_qs);
        QCOMPARE(screen()[u"familyName"_qs].toString(), u"Newperson"_qs);
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        // First name, last name, nickname, organisation, job title, then the e-mail.
        keys({u"Tab"_qs, u"Tab"_qs, u"Tab"_qs, u"Tab"_qs, u"Tab"_qs});
        typeInto(u"email"_qs, u"zed@example.org"_qs);
        screenshot(u"18-contact-form-light"_qs);
        keysTo(u"profile"_qs, {u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Zed Newperson"_qs);
        const QString id = panel()[u"contactID"_qs].toString();
        QStringList now = cards();
        QCOMPARE(now.size(), before.size() + 1);
        for (const QString& name : before)
            now.removeAll(name);
        const QByteArray card = m_home->read(u"data/Pemmo/Contacts/"_qs + now.first());
        QVERIFY2(card.contains("FN:Zed Newperson\r\n") && card.contains(":zed@example.org\r\n"),
                 card.constData());

        // Back to the search: a part of the name finds them.
        keysTo(u"search"_qs, {u"Escape"_qs, u"Escape"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
        openCard(u"newpers"_qs, id);
        waitForRoute(u"profile"_qs);
        openActions();
        QTRY_VERIFY(panel()[u"actions"_qs].toObject()[u"focused"_qs].toBool());
        chooseAction(u"delete contact"_qs, u"Delete contact"_qs);
        QTRY_COMPARE(panel()[u"confirm"_qs].toString(), u"Delete Zed Newperson?"_qs);
        keysTo(u"search"_qs, {u"Return"_qs});
        QTRY_COMPARE(cards(), before);
        keysHidingThePanel({u"Escape"_qs, u"Escape"_qs});
    }

    void controlDigitOpensAStarredPersonAndRecordsThemAsRecent() {
        openPanel();
        keysTo(u"profile"_qs, {u"ctrl+2"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        QCOMPARE(state()[u"recents"_qs].toArray().first().toString(), u"p-lovelace"_qs);
        screenshot(u"05-starred-card-light"_qs);
        keys({u"ctrl+4"_qs}); // nobody is starred there: nothing happens
        QCOMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        keysHidingThePanel({u"Escape"_qs, u"Escape"_qs});
    }

    // Control-comma opens the settings window over the panel, which stays up beside it; closing the
    // window leaves the panel where it was.
    void controlCommaOpensTheSettingsWindowAndThePanelStays() {
        openPanel();
        keys({u"ctrl+comma"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"settingsWindow"_qs][u"active"_qs].toBool(), 5000);
        QCOMPARE(state()[u"settingsWindow"_qs][u"pane"_qs].toString(), u"general"_qs);
        settle();
        QVERIFY(state()[u"visible"_qs].toBool());
        screenshot(u"08-settings-window-light"_qs);
        keys({u"ctrl+w"_qs});
        QTRY_VERIFY(!state()[u"settingsWindow"_qs][u"visible"_qs].toBool());
        QVERIFY(state()[u"visible"_qs].toBool());
        activatePanel();
        keys({u"Escape"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(!state()[u"visible"_qs].toBool(), 5000);
    }

    void darkAppearanceIsUsedWhenChosen() {
        quitPemmo();
        setAppearance(u"dark"_qs);
        startPemmo();
        openPanel();
        QCOMPARE(panel()[u"dark"_qs].toBool(), true);
        typeInto(u"query"_qs, u"ma"_qs);
        screenshot(u"06-results-dark"_qs);
        keys({u"ctrl+2"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        screenshot(u"07-card-dark"_qs);
        openActions();
        screenshot(u"07b-card-actions-dark"_qs);
        keys({u"Escape"_qs});
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), QString());
        keysTo(u"logInteraction"_qs, {u"ctrl+j"_qs});
        typeInto(u"text"_qs, u"Tea at the museum"_qs);
        screenshot(u"07c-log-form-dark"_qs);
        keysTo(u"profile"_qs, {u"Escape"_qs}); // left: nothing saved (the text waits as a draft)
        QVERIFY(!screen()[u"timeline"_qs].toArray().contains(u"Tea at the museum"_qs));
        keysHidingThePanel({u"Escape"_qs, u"Escape"_qs, u"Escape"_qs});
    }

    void theCardReadsAtTwiceTheScale() {
        quitPemmo();
        m_env.insert(u"QT_SCALE_FACTOR"_qs, u"2"_qs);
        startPemmo();
        openPanel();
        keys({u"ctrl+1"_qs});
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Grace Hopper"_qs);
        screenshot(u"13-card-dark-200"_qs);
        openActions();
        screenshot(u"14-card-actions-dark-200"_qs);
        keysTo(u"search"_qs, {u"Escape"_qs, u"Escape"_qs});
        setAppearance(u"light"_qs);
        quitPemmo();
        startPemmo();
        openPanel();
        typeInto(u"query"_qs, u"ma"_qs);
        screenshot(u"15-results-light-200"_qs);
        keysHidingThePanel({u"Escape"_qs, u"Escape"_qs});
        m_env.remove(u"QT_SCALE_FACTOR"_qs);
    }

    // `pemmo import` beside the running Pemmo is carried out by it, the data folder's one writer,
    // and what it merged reaches the disk however Pemmo is ended, even before its debounced write
    // is due: the signal is sent the moment the import has answered.
    void importThroughTheRunningPemmoSurvivesItsEnd_data() {
        QTest::addColumn<int>("signal"); // 0: `pemmo quit`, which sends what the tray's Quit does
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("pemmo quit") << 0;
    }
    void importThroughTheRunningPemmoSurvivesItsEnd() {
        QFETCH(int, signal);
        startIfNotRunning();
        const QString ending = QString::fromLatin1(QTest::currentDataTag());
        const QString about = u"imported just before "_qs + ending;
        const QString file = exportFile(u"import-"_qs + ending + u".json"_qs, u"p-hopper"_qs, about);

        QString out, err;
        QCOMPARE(run(pemmoBinary(), {u"import"_qs, file}, &out, &err), 0);
        if (signal)
            ::kill(static_cast<pid_t>(m_pemmo.processId()), signal);
        else
            QCOMPARE(run(pemmoBinary(), {u"quit"_qs}), 0);
        QCOMPARE(out, u"Merged 1 record.\n"_qs);
        QVERIFY2(err.isEmpty(), qPrintable(err));

        QVERIFY(m_pemmo.waitForFinished(15000));
        QCOMPARE(storedRecords().value(u"p-hopper"_qs)->about, about);
        QCOMPARE(m_pemmo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_pemmo.exitCode(), 0);
    }

    // The running Pemmo shows what it merged at once, and a file that is no export changes
    // nothing, with the same words as without a running Pemmo.
    void importThroughTheRunningPemmoRefreshesOrRefuses() {
        startIfNotRunning();
        const int publishes = state()[u"publishCount"_qs].toInt();
        QString out, err;
        const QString file = exportFile(u"import-refresh.json"_qs, u"p-lovelace"_qs, u"the engine"_qs);
        QCOMPARE(run(pemmoBinary(), {u"import"_qs, file}, &out, &err), 0);
        QCOMPARE(out, u"Merged 1 record.\n"_qs);
        QTRY_VERIFY(state()[u"publishCount"_qs].toInt() > publishes);

        const QString bad = m_home->filePath(u"not-an-export.json"_qs);
        m_home->write(u"not-an-export.json"_qs, R"({"schema":2,"records":{"A":{"links":[{}]}}})");
        QCOMPARE(run(pemmoBinary(), {u"import"_qs, bad}, &out, &err), 1);
        QVERIFY2(
            err.startsWith(u"pemmo: "_qs + bad + u" is not a Pemmo export file, nothing was imported ("_qs),
            qPrintable(err));
        QCOMPARE(out, QString());
        quitPemmo();
        QCOMPARE(storedRecords().value(u"p-lovelace"_qs)->about, u"the engine"_qs);
        QVERIFY(!storedRecords().contains(u"A"_qs));
    }

    // A store this Pemmo may not change (a newer Pemmo wrote it) says so in the panel and in the
    // tray for as long as it lasts, refuses the import, and is left exactly as it was.
    void aStoreItMayNotChangeIsShownAndKept() {
        quitIfRunning();
        const QByteArray newer = R"({"schema":3,"records":{"p-hopper":{"about":"from a newer Pemmo"}}})";
        m_home->write(u"data/Pemmo/pemmo-store.json"_qs, newer);
        startPemmo();
        const QString reason = u"This store was written by a newer Pemmo; update Pemmo to change it."_qs;
        QTRY_COMPARE(panel()[u"notice"_qs].toString(), reason);
        QCOMPARE(state()[u"trayToolTip"_qs].toString(), u"Pemmo \u2014 "_qs + reason);
        openPanel();
        screenshot(u"16-read-only-store"_qs);
        keysHidingThePanel({u"Escape"_qs});

        QString out, err;
        const QString file = exportFile(u"import-refused.json"_qs, u"p-hopper"_qs, u"downgraded"_qs);
        QCOMPARE(run(pemmoBinary(), {u"import"_qs, file}, &out, &err), 1);
        QCOMPARE(err, u"pemmo: "_qs + reason + u'\n');
        quitPemmo();
        QCOMPARE(m_home->read(u"data/Pemmo/pemmo-store.json"_qs), newer);
        QVERIFY(QFile::remove(storePath()));
    }

    // An address book folder that went away (an unmounted drive) is named in the panel and the
    // tray while it is gone, the people read before stay, and the line goes once it is back.
    void anAddressBookItCannotReadIsShownUntilItCan() {
        quitIfRunning();
        const QString contacts = m_home->filePath(u"data/Pemmo/Contacts"_qs);
        setDefault(SettingsStore::contactFoldersKey(), QStringList{contacts});
        startPemmo();
        QCOMPARE(panel()[u"notice"_qs].toString(), QString());

        QVERIFY(QDir().rename(contacts, contacts + u".away"_qs));
        openPanel();
        QTRY_COMPARE_WITH_TIMEOUT(panel()[u"notice"_qs].toString(), u"Contacts access denied"_qs, 15000);
        QCOMPARE(state()[u"trayToolTip"_qs].toString(), u"Pemmo \u2014 Contacts access denied"_qs);
        QCOMPARE(state()[u"profiles"_qs].toInt(), int(kPeople.size()));
        screenshot(u"16b-address-book-gone"_qs);
        keysHidingThePanel({u"Escape"_qs});

        QVERIFY(QDir().rename(contacts + u".away"_qs, contacts));
        openPanel();
        QTRY_COMPARE_WITH_TIMEOUT(panel()[u"notice"_qs].toString(), QString(), 15000);
        keysHidingThePanel({u"Escape"_qs});
        quitPemmo();
        setDefault(SettingsStore::contactFoldersKey(), std::nullopt);
    }

    // Bound to a desktop shortcut, `pemmo toggle` must work from a fresh login, before anything
    // started Pemmo: it starts it, with the panel open.
    void toggleWithoutARunningPemmoStartsItWithThePanelOpen() {
        quitIfRunning();
        startPemmo({u"toggle"_qs});
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"visible"_qs].toBool(), 30000);
        screenshot(u"17-started-by-toggle"_qs);
        // From then on it is the running Pemmo: in front, the next toggle is the panel's Control-K.
        QTRY_VERIFY_WITH_TIMEOUT(state()[u"active"_qs].toBool(), 5000);
        QCOMPARE(run(pemmoBinary(), {u"toggle"_qs}), 0);
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), u"actions"_qs);
        quitPemmo();
    }

    // The AI screens over a stand-in local model server on 127.0.0.1 answering the Ollama chat API:
    // a quick capture on a card opens the review; one item unchecked, applying writes exactly the
    // checked ones with the model as their source; Ask fills the ranked section.
    void aCaptureIsReviewedAndAppliedAndAskRanks() {
        quitIfRunning();
        test::LoopbackHTTPServer server;
        // The server's next answers: the model it offers, then a chat whose reply is `content`.
        const auto answer = [&server](const char* content) {
            const QJsonObject message{{u"role"_qs, u"assistant"_qs},
                                      {u"content"_qs, QString::fromUtf8(content)}};
            server.enqueue(200, R"({"models":[{"name":"llama3.2:latest"}]})", "/api/tags");
            server.enqueue(200,
                           QJsonDocument(QJsonObject{{u"model"_qs, u"llama3.2"_qs},
                                                     {u"message"_qs, message},
                                                     {u"done"_qs, true},
                                                     {u"done_reason"_qs, u"stop"_qs}})
                               .toJson(),
                           "/api/chat");
        };
        answer(
            R"({"personName": "Ada", "interactionKind": "met", "interactionText": "Coffee near the station",
            "fieldUpdates": [{"field": "team", "value": "Research"}, {"field": "currentCity", "value": "Lisbon"}],
            "interactionDate": null, "tags": [], "aboutAppend": null})");
        setAppearance(u"light"_qs);
        setDefault(u"pemmo.settings.aiEnabled"_qs, true);
        setDefault(u"pemmo.settings.aiProvider"_qs, u"onDevice"_qs);
        setDefault(u"pemmo.settings.localModelServer"_qs, server.url().toString());
        setDefault(u"pemmo.settings.localModel"_qs, u"llama3.2"_qs);
        startPemmo();
        openPanel();
        openCard(u"ada lovelace"_qs, u"p-lovelace"_qs);
        QTRY_COMPARE(screen()[u"name"_qs].toString(), u"Ada Lovelace"_qs);
        keysTo(u"capture"_qs, {u"ctrl+n"_qs});
        type(u"Coffee with Ada near the station, she is on the research team in Lisbon now"_qs);
        QTRY_VERIFY(screen()[u"text"_qs].toString().endsWith(u"Lisbon now"_qs));
        keys({u"ctrl+Return"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(route(), u"review"_qs, 20000);
        QTRY_COMPARE(screen()[u"items"_qs].toArray().size(), 3); // team, city, the entry
        keys({u"Down"_qs, u"space"_qs});                         // uncheck the city
        QTRY_COMPARE(screen()[u"items"_qs].toArray().at(1).toObject()[u"checked"_qs].toBool(), false);
        screenshot(u"18-review-light"_qs);
        keysTo(u"profile"_qs, {u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"timeline"_qs].toArray().first().toString(), u"Coffee near the station"_qs);

        // What the store holds once written: the team and the entry, not the city, each from the model.
        QJsonObject ada;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile file(storePath());
                if (!file.open(QIODevice::ReadOnly))
                    return false;
                ada = QJsonDocument::fromJson(file.readAll())[u"records"_qs][u"p-lovelace"_qs].toObject();
                return ada.value(u"details"_qs).toObject().value(u"team"_qs).toString() == u"Research";
            }(),
            10000);
        const QJsonObject details = ada.value(u"details"_qs).toObject();
        QVERIFY(details.value(u"currentCity"_qs).isNull() || details.value(u"currentCity"_qs).isUndefined());
        const QJsonArray changes = ada.value(u"changes"_qs).toArray();
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first()[u"source"_qs][u"kind"_qs].toString(), u"ai"_qs);
        QCOMPARE(changes.first()[u"source"_qs][u"model"_qs].toString(), u"llama3.2"_qs);
        QCOMPARE(ada.value(u"interactions"_qs).toArray().first()[u"source"_qs][u"kind"_qs].toString(),
                 u"ai"_qs);

        // Ask: the answer fills the ranked section and takes the selection.
        server.clear();
        answer(R"({"items": [{"id": "p-hopper", "reason": "Served at sea"}]})");
        keysTo(u"search"_qs, {u"Escape"_qs});
        keys({u"Escape"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
        typeInto(u"query"_qs, u"who knows ships?"_qs);
        keys({u"ctrl+i"_qs});
        QTRY_COMPARE_WITH_TIMEOUT(screen()[u"selectedID"_qs].toString(), u"ranked:p-hopper"_qs, 20000);
        screenshot(u"19-ask-light"_qs);
        quitPemmo();
    }
};

QTEST_GUILESS_MAIN(TestShellEndToEnd)
#include "TestShellEndToEnd.moc"
