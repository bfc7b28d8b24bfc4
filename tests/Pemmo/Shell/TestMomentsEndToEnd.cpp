// Calendar Moments as a user meets them: a real `pemmo` on its own X server over an address-book
// folder and an iCalendar folder in a temporary home, with the calendar chosen in the settings
// file. A one-on-one that ended half an hour ago shows in the panel; Return opens it, the memory
// typed there lands on the person's timeline in the store file, and the Moment stays gone after a
// restart. Screenshots (light and dark) stay in the build tree as test artifacts.
#include "EndToEndTest.h"
#include "TestSupport/SampleCards.h"

#include <QJsonArray>

using namespace pemmo;

using test::oneOnOne;
using test::vcard;

class TestMomentsEndToEnd : public test::EndToEndTest {
    Q_OBJECT

public:
    TestMomentsEndToEnd()
        : EndToEndTest(u"moments"_qs) {}

private:
    QString m_coffeeID;

    QString calendarFolder() const { return m_home->filePath(u"calendars/nextcloud/personal"_qs); }
    // The Moments `pemmo moments --json` lists beside the running Pemmo (it reads the file as is).
    QJsonArray listedMoments() {
        QString out;
        run(pemmoBinary(), {u"moments"_qs, u"--json"_qs}, &out);
        return QJsonDocument::fromJson(out.toUtf8()).array();
    }
    void startPemmo() {
        EndToEndTest::startPemmo([](const QJsonObject& s) { return s[u"profiles"_qs].toInt() == 2; });
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
        typeInto(u"query"_qs, u"x"_qs);
        keys({u"BackSpace"_qs});
        QTRY_COMPARE(screen()[u"query"_qs].toString(), QString());
    }

private Q_SLOTS:
    void initTestCase() {
        if (const QString missing = missingPrerequisite(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        makeHome();
        m_home->write(u"data/Pemmo/Contacts/ada.vcf"_qs,
                      vcard(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, "EMAIL:ada@example.com\r\n"));
        m_home->write(u"data/Pemmo/Contacts/alan.vcf"_qs,
                      vcard(u"alan"_qs, u"Alan"_qs, u"Turing"_qs, "EMAIL:alan@example.com\r\n"));

        // Two one-on-ones that ended past the 20-minute delay: coffee with Ada half an hour ago,
        // a walk with Alan an hour ago. Whole seconds, as calendars write them.
        const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
        m_home->write(u"calendars/nextcloud/personal/displayname"_qs, "Personal");
        m_home->write(u"calendars/nextcloud/personal/coffee.ics"_qs,
                      oneOnOne(u"coffee-1"_qs, now.addSecs(-30 * 60), u"ada@example.com"_qs, u"Coffee"_qs));
        m_home->write(
            u"calendars/nextcloud/personal/walk.ics"_qs,
            oneOnOne(u"walk-1"_qs, now.addSecs(-60 * 60), u"alan@example.com"_qs, u"Walk in the park"_qs));

        setDefault(u"pemmo.calendar.connected"_qs, true);
        setDefault(u"pemmo.calendar.enabled"_qs, true);
        setDefault(u"pemmo.calendar.delay"_qs, qint64(20));
        setDefault(u"pemmo.calendar.ids"_qs, QStringList{calendarFolder()});
        setDefault(u"pemmo.calendar.selfAddresses"_qs, QStringList{u"me@example.com"_qs});
        setAppearance(u"light"_qs);
        markTutorialDone();

        startDesktop(200, 260, u"1600x1000x24"_qs);
        if (QTest::currentTestFailed())
            return;
        startPemmo();
    }

    void cleanupTestCase() { stopAll(); }

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
        keysTo(u"momentCapture"_qs, {u"Return"_qs});
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        // The event's title, and the person on a line of their own: a title that names the person
        // already never reads "with" twice.
        QCOMPARE(screen()[u"title"_qs].toString(), u"Coffee"_qs);
        QCOMPARE(screen()[u"person"_qs].toString(), u"Ada Lovelace"_qs);
        QCOMPARE(screen()[u"placeholder"_qs].toString(), u"A small detail worth keeping…"_qs);
        screenshot(u"02-capture-empty-light"_qs);

        typeInto(u"text"_qs, u"She is writing notes on the engine"_qs);
        screenshot(u"03-capture-typed-light"_qs);
        keysTo(u"search"_qs, {u"ctrl+Return"_qs});
        QCOMPARE(panel()[u"bannerStyle"_qs].toString(), u"success"_qs);
        // The Moment left the section; the walk with Alan is now first.
        QTRY_VERIFY(screen()[u"selectedID"_qs].toString() != u"moment:"_qs + m_coffeeID);
        QCOMPARE(screen()[u"selectedTitle"_qs].toString(), u"Alan Turing"_qs);
        screenshot(u"04-saved-light"_qs);

        // On Ada's timeline in the store file, carrying the event's hashes.
        QTRY_VERIFY_WITH_TIMEOUT(!storedRecords().value(u"ada"_qs)->interactions.isEmpty(), 10000);
        const Interaction entry = storedRecords().value(u"ada"_qs)->interactions.first();
        QCOMPARE(entry.kind, Interaction::Kind::Met);
        QCOMPARE(entry.text, u"She is writing notes on the engine"_qs);
        QCOMPARE(entry.calendarEventHash, std::optional(m_coffeeID));
        QCOMPARE(entry.source, Interaction::Source::user());
        keysHidingThePanel({u"Escape"_qs});
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
        keysTo(u"momentCapture"_qs, {u"Return"_qs});
        QTRY_VERIFY(screen()[u"focused"_qs].toBool());
        typeInto(u"text"_qs, u"Talked about"_qs);
        screenshot(u"06-capture-typed-dark-200"_qs);

        // Back to the search, and in again: the text is still there.
        keysTo(u"search"_qs, {u"Escape"_qs});
        keysTo(u"momentCapture"_qs, {u"Return"_qs});
        QTRY_COMPARE(screen()[u"text"_qs].toString(), u"Talked about"_qs);

        // Saving an empty memory is refused on the screen.
        keys({u"ctrl+a"_qs, u"BackSpace"_qs, u"ctrl+Return"_qs});
        QTRY_COMPARE(screen()[u"error"_qs].toString(),
                     u"Could not save. Write a memory first, or choose Just log that we met."_qs);
        screenshot(u"07-capture-refused-dark-200"_qs);

        keysTo(u"search"_qs, {u"ctrl+d"_qs});
        QTRY_VERIFY(!screen()[u"selectedID"_qs].toString().startsWith(u"moment:"_qs));
        QTRY_COMPARE(listedMoments().size(), 0);
        QVERIFY(storedRecords().value(u"alan"_qs)->interactions.isEmpty());
        keysHidingThePanel({u"Escape"_qs});
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
        QCOMPARE(storedRecords().value(u"ada"_qs)->interactions.size(), 1);
        keys({u"Escape"_qs});
        quitPemmo();
    }
};

QTEST_GUILESS_MAIN(TestMomentsEndToEnd)
#include "TestMomentsEndToEnd.moc"
