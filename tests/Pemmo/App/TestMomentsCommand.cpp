// `pemmo moments` as a user runs it: the real binary over a data folder, a settings file, an
// address-book folder and an iCalendar folder of its own.
#include "App/DataFolder.h"
#include "TestSupport/PemmoCommand.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QTest>

using namespace pemmo;

using Result = test::CommandResult;
using test::oneOnOne;
using test::vcard;

class TestMomentsCommand : public QObject {
    Q_OBJECT

    test::TempDir m_home;
    QDateTime m_now;

    QString dataFolder() const { return m_home.filePath(u"Pemmo"_qs); }
    QString calendarFolder() const { return m_home.filePath(u"calendars/nextcloud/work"_qs); }
    QString settingsPath() const { return m_home.filePath(u"config/Pemmo/defaults.json"_qs); }

    Result pemmo(const QStringList& arguments) { return test::runPemmo(m_home, arguments); }

    void writeSettings(bool withSelf) {
        QJsonObject settings{
            {u"pemmo.calendar.connected"_qs, QJsonObject{{u"kind"_qs, u"bool"_qs}, {u"value"_qs, true}}},
            {u"pemmo.calendar.enabled"_qs, QJsonObject{{u"kind"_qs, u"bool"_qs}, {u"value"_qs, true}}},
            {u"pemmo.calendar.delay"_qs, QJsonObject{{u"kind"_qs, u"integer"_qs}, {u"value"_qs, 20}}},
            {u"pemmo.calendar.ids"_qs,
             QJsonObject{{u"kind"_qs, u"textList"_qs}, {u"value"_qs, QJsonArray{calendarFolder()}}}},
        };
        if (withSelf)
            settings.insert(
                u"pemmo.calendar.selfAddresses"_qs,
                QJsonObject{{u"kind"_qs, u"textList"_qs}, {u"value"_qs, QJsonArray{u"me@example.com"_qs}}});
        m_home.write(u"config/Pemmo/defaults.json"_qs, QJsonDocument(settings).toJson());
    }

    void writeCalendar(const QString& name, const QByteArray& bytes) {
        m_home.write(u"calendars/nextcloud/work/"_qs + name, bytes);
    }

    QJsonArray listed() {
        const Result result = pemmo({u"moments"_qs, u"--json"_qs});
        if (result.exitCode != 0)
            qWarning("pemmo moments failed: %s", qPrintable(result.err));
        return QJsonDocument::fromJson(result.out.toUtf8()).array();
    }

private Q_SLOTS:
    void init() {
        QVERIFY(!qEnvironmentVariableIsEmpty("PEMMO_BINARY"));
        QDir(dataFolder()).removeRecursively();
        QDir(m_home.filePath(u"config"_qs)).removeRecursively();
        QDir(m_home.filePath(u"calendars"_qs)).removeRecursively();
        // Whole seconds, as calendars write them.
        m_now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
        QDir().mkpath(dataFolder() + u"/Contacts"_qs);
        m_home.write(u"Pemmo/Contacts/ada.vcf"_qs,
                     vcard(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, "EMAIL:ada@example.com\r\n"));
        m_home.write(u"Pemmo/Contacts/alan.vcf"_qs,
                     vcard(u"alan"_qs, u"Alan"_qs, u"Turing"_qs, "EMAIL:alan@example.com\r\n"));
    }

    // Only the one-on-one that ended half an hour ago is due: the other is inside the delay.
    void listsTheOneOnOneThatEndedHalfAnHourAgo() {
        writeSettings(true);
        const QDateTime end = m_now.addSecs(-30 * 60);
        writeCalendar(u"coffee.ics"_qs, oneOnOne(u"coffee-1"_qs, end, u"ada@example.com"_qs, u"Coffee"_qs));
        writeCalendar(u"walk.ics"_qs,
                      oneOnOne(u"walk-1"_qs, m_now.addSecs(-10 * 60), u"alan@example.com"_qs, u"Walk"_qs));
        {
            // While the application runs, the command lists without writing anything.
            const auto lock = lockDataFolder(dataFolder());
            QVERIFY(lock);
            QCOMPARE(listed().size(), 1);
            QVERIFY(!QFile::exists(dataFolder() + u"/calendar-moments.json"_qs));
        }
        const QJsonArray moments = listed();
        QCOMPARE(moments.size(), 1);
        const QJsonObject moment = moments.first().toObject();
        QCOMPARE(moment[u"title"_qs].toString(), u"Coffee"_qs);
        QCOMPARE(moment[u"person"_qs].toString(), u"Ada Lovelace"_qs);
        QCOMPARE(moment[u"profileID"_qs].toString(), u"ada"_qs);
        QCOMPARE(QDateTime::fromString(moment[u"end"_qs].toString(), Qt::ISODate), end);
        QCOMPARE(QDateTime::fromString(moment[u"expires"_qs].toString(), Qt::ISODate), end.addSecs(172'800));
        QCOMPARE(moment[u"id"_qs].toString().size(), 64);
        QVERIFY(QFile::exists(dataFolder() + u"/calendar-moments.json"_qs));

        const Result text = pemmo({u"moments"_qs});
        QCOMPARE(text.exitCode, 0);
        QVERIFY2(text.out.startsWith(u"Coffee \u2014 Ada Lovelace\n  ended "_qs), qPrintable(text.out));
    }

    // The user's own address is found in the events and used, but the command only reads: the
    // settings file stays as it was (the application keeps the address once it finds it).
    void theUsersAddressIsFoundButNotWritten() {
        writeSettings(false);
        const QByteArray settings = m_home.read(u"config/Pemmo/defaults.json"_qs);
        writeCalendar(u"a.ics"_qs,
                      oneOnOne(u"a"_qs, m_now.addSecs(-30 * 60), u"ada@example.com"_qs, u"Coffee"_qs));
        writeCalendar(u"b.ics"_qs, oneOnOne(u"b"_qs, m_now.addDays(-3), u"alan@example.com"_qs, u"Walk"_qs));
        writeCalendar(u"c.ics"_qs,
                      oneOnOne(u"c"_qs, m_now.addDays(-9), u"grace@example.com"_qs, u"Lunch"_qs));
        const QJsonArray moments = listed();
        QCOMPARE(moments.size(), 1);
        QCOMPARE(moments.first().toObject()[u"profileID"_qs].toString(), u"ada"_qs);
        QCOMPARE(m_home.read(u"config/Pemmo/defaults.json"_qs), settings);
    }

    // `pemmo search ""` shows what the panel shows for an empty query: the Moments on offer
    // first; a typed query shows none.
    void anEmptySearchShowsTheMomentsFirst() {
        writeSettings(true);
        writeCalendar(u"coffee.ics"_qs,
                      oneOnOne(u"coffee-1"_qs, m_now.addSecs(-30 * 60), u"ada@example.com"_qs, u"Coffee"_qs));
        for (const bool running : {true, false}) {
            std::unique_ptr<QLockFile> application;
            if (running)
                QVERIFY(application = lockDataFolder(dataFolder()));
            const Result result = pemmo({u"search"_qs, u"--json"_qs, u""_qs, u"ada"_qs});
            QCOMPARE(result.exitCode, 0);
            const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 2);
            const QJsonArray empty =
                QJsonDocument::fromJson(lines[0].toUtf8()).object()[u"sections"_qs].toArray();
            QVERIFY(!empty.isEmpty());
            QCOMPARE(empty[0].toObject()[u"section"_qs].toString(), u"justHappened"_qs);
            const QJsonObject row = empty[0].toObject()[u"rows"_qs].toArray()[0].toObject();
            QVERIFY(row[u"id"_qs].toString().startsWith(u"moment:"_qs));
            QCOMPARE(row[u"title"_qs].toString(), u"Ada Lovelace"_qs);
            QCOMPARE(row[u"subtitle"_qs].toString(), u"Coffee"_qs);
            const QJsonArray typed =
                QJsonDocument::fromJson(lines[1].toUtf8()).object()[u"sections"_qs].toArray();
            for (const QJsonValue& section : typed)
                QVERIFY(section.toObject()[u"section"_qs].toString() != u"justHappened"_qs);

            const Result text = pemmo({u"search"_qs, u""_qs});
            QVERIFY2(
                text.out.startsWith(u"\u201C\u201D\n  justHappened\n    Ada Lovelace \u2014 Coffee\n"_qs),
                qPrintable(text.out));
        }
    }

    void withoutACalendarThereIsNothingToList() {
        const Result result = pemmo({u"moments"_qs, u"--json"_qs});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).array().size(), 0);
        QVERIFY(result.err.contains(u"no calendar is connected"_qs));
    }

    void unreadableCalendarFails() {
        writeSettings(true);
        const Result result = pemmo({u"moments"_qs});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(calendarFolder()));
    }

    void unknownOptionIsAUsageError() {
        const Result result = pemmo({u"moments"_qs, u"--yaml"_qs});
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.startsWith(u"Usage: pemmo moments"_qs));
    }
};

QTEST_GUILESS_MAIN(TestMomentsCommand)
#include "TestMomentsCommand.moc"
