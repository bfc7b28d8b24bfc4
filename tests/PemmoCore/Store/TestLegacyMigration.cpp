// Recognising and converting the earlier store layout without losing anything it held. Every
// test runs in three time zones (see main), since the earlier file's dates must keep their day
// wherever the user is.
#include "Store/LegacyMigration.h"
#include "Support/DecodingError.h"
#include "Support/IsoDate.h"

#include <QTest>
#include <array>
#include <ctime>

using namespace pemmo;

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 5), QTime(9, 0), Qt::UTC);

PemmoRecord migrateOne(const QByteArray& legacyRecord) {
    const RecordMap records = LegacyMigration::migrate(QByteArray("{\"C1\":" + legacyRecord + "}"), kNow);
    if (records.size() != 1 || !records.contains(u"C1"_qs))
        qFatal("expected one record C1");
    return *records.value(u"C1"_qs);
}

// A zone as a POSIX TZ rule, which needs no zone database, and its offset from UTC in seconds.
struct Zone {
    const char* rule;
    int offset;
};

// Ten hours west of UTC, UTC, and fourteen hours east: the earliest and the latest clocks there are.
constexpr std::array<Zone, 3> kZones{{{"HST10", -10 * 3600}, {"UTC0", 0}, {"<+14>-14", 14 * 3600}}};

} // namespace

class TestLegacyMigration : public QObject {
    Q_OBJECT

public:
    explicit TestLegacyMigration(Zone zone)
        : m_zone(zone) {}

private:
    Zone m_zone;

private Q_SLOTS:
    // The zone is really in effect, so the tests below exercise it.
    void initTestCase() {
        qInfo("time zone %s", m_zone.rule);
        QCOMPARE(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::LocalTime).offsetFromUtc(), m_zone.offset);
        QCOMPARE(QDateTime(QDate(2026, 7, 15), QTime(12, 0), Qt::LocalTime).offsetFromUtc(), m_zone.offset);
    }

    void recognition_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("legacy");
        QTest::newRow("one legacy member") << QByteArray(R"({"A":{"pemmoData":{}}})") << true;
        QTest::newRow("legacy among others")
            << QByteArray(R"({"x":1,"A":{"plainNote":"n"},"B":{"pemmoData":{}}})") << true;
        QTest::newRow("only null pemmoData") << QByteArray(R"({"A":{"pemmoData":null}})") << false;
        QTest::newRow("no pemmoData") << QByteArray(R"({"A":{"plainNote":"n"}})") << false;
        QTest::newRow("schema present") << QByteArray(R"({"schema":1,"A":{"pemmoData":{}}})") << false;
        QTest::newRow("current layout") << QByteArray(R"({"schema":2,"records":{}})") << false;
        QTest::newRow("array") << QByteArray(R"([{"pemmoData":{}}])") << false;
        QTest::newRow("not json") << QByteArray("{") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void recognition() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, legacy);
        QCOMPARE(LegacyMigration::isLegacy(bytes), legacy);
    }

    void everyFieldIsCarriedOver() {
        // URLs are written with JSON's "\/" escape: moc would take a "//" inside a raw string for a comment.
        const PemmoRecord r = migrateOne(R"json({
            "contactID": "C1",
            "plainNote": "Plain note",
            "updatedAt": "2024-05-01T12:00:00Z",
            "pemmoData": {
                "version": 3,
                "tags": ["family", "  ", "Family", "Rock  Climbing"],
                "company": "Acme",
                "iMessageHandle": "+41791234567",
                "notes": "Loves jazz",
                "metadata": {
                    "schoolName": "ETH", "majorOrProgram": "CS", "graduationYear": "2012",
                    "jobTitle": "Engineer", "teamOrDepartment": "Platform", "workLocation": "Zurich",
                    "hometown": "Bern", "currentCity": "Basel", "howWeMet": "Climbing gym",
                    "mutualConnections": "Ana", "email": "zoe@example.org"
                },
                "quickActions": {"findMyURL": "https:\/\/find.example/zoe",
                                 "gmailComposeURLTemplate": "https:\/\/mail.example/?to={email}"},
                "customFields": {"favourite_food": "Rösti", "other_shoeSize": "39", "empty": ""},
                "socialLinks": {"instagram": "https:\/\/instagram.com/zoe", "Twitter": "https:\/\/x.com/zoe",
                                "other_mastodon": "https:\/\/social.example/@zoe", "linkedin": ""}
            }
        })json");
        QCOMPARE(r.schema, 2);
        QCOMPARE(r.tags, QStringList({u"family"_qs, u"rock climbing"_qs}));
        const Details& d = r.details;
        QCOMPARE(d.company, u"Acme"_qs);
        QCOMPARE(d.school, u"ETH"_qs);
        QCOMPARE(d.major, u"CS"_qs);
        QCOMPARE(d.graduationYear, u"2012"_qs);
        QCOMPARE(d.jobTitle, u"Engineer"_qs);
        QCOMPARE(d.team, u"Platform"_qs);
        QCOMPARE(d.workLocation, u"Zurich"_qs);
        QCOMPARE(d.hometown, u"Bern"_qs);
        QCOMPARE(d.currentCity, u"Basel"_qs);
        QCOMPARE(d.howWeMet, u"Climbing gym"_qs);
        QCOMPARE(d.mutuals, u"Ana"_qs);
        QCOMPARE(d.email, u"zoe@example.org"_qs);
        QCOMPARE(r.messageHandle, u"+41791234567"_qs);
        QCOMPARE(r.findMyURL, u"https://find.example/zoe"_qs);
        QCOMPARE(r.gmailTemplate, u"https://mail.example/?to={email}"_qs);
        QCOMPARE(r.about, u"Loves jazz\n\nPlain note\n\nFavourite food: Rösti\n\nShoe size: 39"_qs);
        QCOMPARE(r.updatedAt, QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC));

        QCOMPARE(r.links.size(), 3);
        QCOMPARE(r.links[0].kind, QuickLink::Kind::X);
        QCOMPARE(r.links[0].url, u"https://x.com/zoe"_qs);
        QCOMPARE(r.links[1].kind, QuickLink::Kind::Instagram);
        QCOMPARE(r.links[1].title, u"Instagram"_qs);
        QCOMPARE(r.links[2].kind, QuickLink::Kind::Custom);
        QCOMPARE(r.links[2].title, u"Mastodon"_qs);
        QVERIFY(!r.links[2].id.isNull());
    }

    void birthdays_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        // The earlier app wrote a birthday as the instant its day starts where the user lives.
        QTest::newRow("iso instant") << IsoDate::format(QDate(1990, 7, 14).startOfDay(Qt::LocalTime))
                                     << std::optional<int>(1990) << 7 << 14;
        QTest::newRow("iso instant, year unknown")
            << IsoDate::format(QDate(1604, 3, 9).startOfDay(Qt::LocalTime)) << std::optional<int>() << 3 << 9;
        QTest::newRow("date only") << u"1985-02-28"_qs << std::optional<int>(1985) << 2 << 28;
        QTest::newRow("year unknown marker") << u"1604-03-09"_qs << std::optional<int>() << 3 << 9;
        QTest::newRow("us style") << u"12/31/1970"_qs << std::optional<int>(1970) << 12 << 31;
        QTest::newRow("us style, new year") << u"01/01/1971"_qs << std::optional<int>(1971) << 1 << 1;
        QTest::newRow("slashes") << u"1970/12/31"_qs << std::optional<int>(1970) << 12 << 31;
        QTest::newRow("dots") << u"31.12.1970"_qs << std::optional<int>(1970) << 12 << 31;
        QTest::newRow("long month") << u"March 5, 2001"_qs << std::optional<int>(2001) << 3 << 5;
        QTest::newRow("short month") << u"Dec 31, 1999"_qs << std::optional<int>(1999) << 12 << 31;
        QTest::newRow("day first") << u"1 January 2000"_qs << std::optional<int>(2000) << 1 << 1;
        QTest::newRow("first year") << u"0001-01-01"_qs << std::optional<int>(1) << 1 << 1;
    }

    void birthdays() {
        QFETCH(QString, text);
        QFETCH(std::optional<int>, year);
        QFETCH(int, month);
        QFETCH(int, day);
        const PemmoRecord r =
            migrateOne(QByteArray("{\"pemmoData\":{\"birthday\":\"" + text.toUtf8() + "\"}}"));
        QCOMPARE(r.birthday, (DateComponents{year, month, day}));
        QCOMPARE(r.about, QString());
    }

    // Dates that cannot be read, or that a store could not write back, stay as text rather than
    // breaking the next load. A number could be seconds, a day count or a year: a birthday is not
    // guessed from it.
    void datesThatCannotBeKeptBecomeAboutLines_data() {
        QTest::addColumn<QByteArray>("legacy");
        QTest::addColumn<QString>("about");
        QTest::newRow("birthday as a number in text")
            << QByteArray(R"({"pemmoData":{"birthday":"43200"}})") << u"Birthday: 43200"_qs;
        QTest::newRow("birthday as a fraction")
            << QByteArray(R"({"pemmoData":{"birthday":"-31536000.5"}})") << u"Birthday: -31536000.5"_qs;
        QTest::newRow("birthday as a JSON number")
            << QByteArray(R"({"pemmoData":{"birthday":1990}})") << u"Birthday: 1990"_qs;
        QTest::newRow("unstorable")
            << QByteArray(R"({"pemmoData":{"birthday":"-9e10","lastContacted":"0000-01-01T00:00:00+01:00"}})")
            << u"Birthday: -9e10\n\nLast contacted: 0000-01-01T00:00:00+01:00"_qs;
        QTest::newRow("unreadable")
            << QByteArray(
                   R"({"plainNote":"n","pemmoData":{"birthday":"sometime in May","lastContacted":"last summer"}})")
            << u"n\n\nBirthday: sometime in May\n\nLast contacted: last summer"_qs;
    }

    void datesThatCannotBeKeptBecomeAboutLines() {
        QFETCH(QByteArray, legacy);
        QFETCH(QString, about);
        const PemmoRecord r = migrateOne(legacy);
        QVERIFY(!r.birthday);
        QVERIFY(r.interactions.isEmpty());
        QCOMPARE(r.about, about);
        QCOMPARE(r.updatedAt, kNow);
    }

    // Last contacted and the record's time stamp are instants: a number is the earlier app's own
    // coding of one, and a time without a zone is the user's local time. The timeline shows an
    // entry on the day of its instant where the user is, so a date alone is the start of that day
    // there, whatever the zone.
    void instantsOfTheEarlierLayout_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("instant");
        const auto startOf = [](int year, int month, int day) {
            return QDate(year, month, day).startOfDay(Qt::LocalTime).toUTC();
        };
        QTest::newRow("us style date") << u"12/31/1970"_qs << startOf(1970, 12, 31);
        QTest::newRow("iso day") << u"2025-11-30"_qs << startOf(2025, 11, 30);
        QTest::newRow("long month") << u"March 1, 2024"_qs << startOf(2024, 3, 1);
        QTest::newRow("reference seconds")
            << u"43200"_qs << QDateTime(QDate(2001, 1, 1), QTime(12, 0), Qt::UTC);
        QTest::newRow("iso in UTC") << u"2025-11-30T18:45:00Z"_qs
                                    << QDateTime(QDate(2025, 11, 30), QTime(18, 45), Qt::UTC);
        QTest::newRow("iso with offset")
            << u"2025-11-30T18:45:00+01:00"_qs << QDateTime(QDate(2025, 11, 30), QTime(17, 45), Qt::UTC);
        QTest::newRow("local time") << u"2025-11-30 18:45:00"_qs
                                    << QDateTime(QDate(2025, 11, 30), QTime(18, 45), Qt::LocalTime).toUTC();
    }

    void instantsOfTheEarlierLayout() {
        QFETCH(QString, text);
        QFETCH(QDateTime, instant);
        const PemmoRecord r =
            migrateOne(QByteArray("{\"updatedAt\":\"" + text.toUtf8() +
                                  "\",\"pemmoData\":{\"lastContacted\":\"" + text.toUtf8() + "\"}}"));
        QCOMPARE(r.updatedAt, instant);
        // Last contacted becomes one entry of the timeline.
        QCOMPARE(r.interactions.size(), 1);
        const Interaction& entry = r.interactions.first();
        QCOMPARE(entry.date, instant);
        QCOMPARE(entry.text, u"Last contacted (migrated)"_qs);
        QCOMPARE(entry.kind, Interaction::Kind::Other);
        QVERIFY(!entry.id.isNull());
        QCOMPARE(LegacyMigration::parseLegacyDate(text), instant);
    }

    void valuesOfUnexpectedTypeAreKeptAsText() {
        const PemmoRecord r = migrateOne(
            R"({"pemmoData":{"tags":"family","metadata":{"graduationYear":2012},"customFields":{"n":[1,2]}}})");
        QCOMPARE(r.details.graduationYear, u"2012"_qs);
        QVERIFY(r.tags.isEmpty());
        QCOMPARE(r.about, u"Tags: \"family\"\n\nN: [1,2]"_qs);
    }

    void everyMemberBecomesARecordAndOthersAreSkipped() {
        const RecordMap records = LegacyMigration::migrate(
            R"({"A":{"pemmoData":{}},"B":{"plainNote":"only a note"},"C":"junk"})", kNow);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.value(u"B"_qs)->about, u"only a note"_qs);
        QVERIFY(records.value(u"A"_qs)->isEmpty());
    }

    void conversionFailsOnlyForNonObjects() {
        QVERIFY_THROWS_EXCEPTION(DecodingError, LegacyMigration::migrate("[1,2]", kNow));
        QVERIFY_THROWS_EXCEPTION(DecodingError, LegacyMigration::migrate("not json", kNow));
    }
};

// Runs every test once per zone, with TZ set as the C library and Qt read it.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (const Zone& zone : kZones) {
        qputenv("TZ", zone.rule);
        tzset();
        TestLegacyMigration test(zone);
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}

#include "TestLegacyMigration.moc"
