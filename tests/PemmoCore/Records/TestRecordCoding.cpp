// The JSON coding of records: the format of the store and export files.
#include "Records/RecordCoding.h"
#include "Support/DecodingError.h"
#include "Support/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::PemmoRecord)

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 5), QTime(9, 30, 0), Qt::UTC);

QDateTime at(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

PemmoRecord fullRecord() {
    PemmoRecord r = PemmoRecord::fresh(at("2026-03-04T10:15:00Z"));
    r.tags = {u"family"_qs, u"B2C1"_qs};
    r.links = {QuickLink{QUuid::fromString(u"6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                         QuickLink::Kind::LinkedIn, u"LinkedIn"_qs, u"https://linkedin.com/in/zoe"_qs}};
    r.details.company = u"Acme"_qs;
    r.details.graduationYear = u"2012"_qs;
    r.details.email = u"zoe@example.org"_qs;
    r.birthday = DateComponents{std::nullopt, 2, 29};
    r.messageHandle = u"+41 79 123 45 67"_qs;
    r.about = u"Zoë \"Zo\" Ångström\nlikes \\ backslashes, tabs\t and emoji 🎉"_qs;
    r.interactions = {Interaction{QUuid::fromString(u"11111111-2222-3333-4444-555555555555"),
                                  at("2026-01-02T03:04:05Z"), Interaction::Kind::Met, u"Coffee"_qs,
                                  u"abc123"_qs, QStringList{u"def"_qs, u"abc123"_qs},
                                  Interaction::Source::ai("claude")},
                      Interaction{QUuid::fromString(u"11111111-2222-3333-4444-666666666666"),
                                  at("2026-01-03T00:00:00Z"), Interaction::Kind::Call, QString(),
                                  std::nullopt, std::nullopt, Interaction::Source::automatic()}};
    r.changes = {FieldChange{QUuid::fromString(u"AAAAAAAA-2222-3333-4444-555555555555"),
                             at("2026-01-02T03:04:05Z"), u"company"_qs, std::nullopt, u"Acme"_qs,
                             Interaction::Source::user()}};
    r.aiCloudOptOut = true;
    r.briefingCache =
        BriefingCache{u"h"_qs, u"s"_qs, u"o"_qs, at("2026-02-01T08:00:00Z"), u"m"_qs, true, u"Claude"_qs};
    return r;
}

// A record whose `list` holds one entry: its id, then `members`.
QByteArray oneEntry(const char* list, const QByteArray& members) {
    return QByteArray("{\"") + list + "\":[{\"id\":\"11111111-2222-3333-4444-555555555555\"," + members +
           "}]}";
}

QJsonObject asObject(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestRecordCoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fullRecordRoundTrips() {
        const PemmoRecord original = fullRecord();
        QCOMPARE(RecordCoding::decode(RecordCoding::encode(original), kNow), original);
    }

    void emptyRecordWritesAllKeysInTableOrder() {
        const QByteArray json = RecordCoding::encode(PemmoRecord::fresh(at("2026-03-04T10:15:00Z")));
        QCOMPARE(json,
                 QByteArray(R"({"schema":2,"tags":[],"links":[],"details":{},"birthday":null,)"
                            R"("messageHandle":null,"findMyURL":null,"gmailTemplate":null,"about":"",)"
                            R"("interactions":[],"changes":[],"aiCloudOptOut":false,"briefingCache":null,)"
                            R"("updatedAt":"2026-03-04T10:15:00Z"})"));
    }

    void memberTypesLeaveOutAbsentOptionals() {
        const QJsonObject record = asObject(RecordCoding::encode(fullRecord()));
        const QJsonObject call = record[u"interactions"].toArray()[1].toObject();
        QVERIFY(!call.contains(u"calendarEventHash"));
        QVERIFY(!call.contains(u"calendarEventAliases"));
        QCOMPARE(call[u"source"].toObject(), QJsonObject({{u"kind"_qs, u"auto"_qs}}));
        const QJsonObject change = record[u"changes"].toArray()[0].toObject();
        QVERIFY(!change.contains(u"old"));
        QCOMPARE(change[u"new"].toString(), u"Acme"_qs);
        QCOMPARE(record[u"details"].toObject().keys(),
                 QStringList({u"company"_qs, u"email"_qs, u"graduationYear"_qs}));
        QCOMPARE(record[u"birthday"].toObject(), QJsonObject({{u"month"_qs, 2}, {u"day"_qs, 29}}));
    }

    void uuidsAreUpperCaseAndDatesWholeSeconds() {
        PemmoRecord r = fullRecord();
        r.interactions[0].id = QUuid::fromString(u"abcdefab-cdef-abcd-efab-cdefabcdefab");
        r.interactions[0].date = at("2026-01-02T03:04:05.987Z");
        const QJsonObject entry = asObject(RecordCoding::encode(r))[u"interactions"].toArray()[0].toObject();
        QCOMPARE(entry[u"id"].toString(), u"ABCDEFAB-CDEF-ABCD-EFAB-CDEFABCDEFAB"_qs);
        QCOMPARE(entry[u"date"].toString(), u"2026-01-02T03:04:05Z"_qs);
    }

    void sortedWriterOrdersEveryObjectsKeys() {
        JsonWriter writer(JsonWriter::Style::Pretty, true);
        RecordCoding::encode(writer, fullRecord());
        const QByteArray json = QByteArray::fromStdString(writer.take());
        // Walk the text: inside each object the keys must come in ascending order.
        const QStringList recordKeys = asObject(json).keys(); // QJsonObject sorts, so compare positions
        qsizetype last = -1;
        for (const QString& key : recordKeys) {
            const qsizetype pos = json.indexOf(QByteArray("\n  \"" + key.toUtf8() + "\": "));
            QVERIFY2(pos > last, qPrintable(key));
            last = pos;
        }
        QVERIFY(json.indexOf("\"kind\": \"ai\",\n") < json.indexOf("\"model\": \"claude\""));
        QVERIFY(json.indexOf("\"calendarEventAliases\"") < json.indexOf("\"calendarEventHash\""));
    }

    // What is missing reads as its default, and what is not known is passed over.
    void readsTheRecordItMeans_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<PemmoRecord>("expected");
        PemmoRecord birthday = PemmoRecord::fresh(kNow);
        birthday.birthday = DateComponents{std::nullopt, 7, 14};
        QTest::newRow("empty object") << QByteArray("{}") << PemmoRecord::fresh(kNow);
        QTest::newRow("null birthday") << QByteArray(R"({"birthday":null})") << PemmoRecord::fresh(kNow);
        QTest::newRow("birthday with unknown keys")
            << QByteArray(R"({"birthday":{"calendar":"gregorian","month":7,"day":14,"era":1}})") << birthday;
        QTest::newRow("date with an offset") << QByteArray(R"({"updatedAt":"2026-03-04T11:15:00+01:00"})")
                                             << PemmoRecord::fresh(at("2026-03-04T10:15:00Z"));
    }
    void readsTheRecordItMeans() {
        QFETCH(QByteArray, json);
        QFETCH(PemmoRecord, expected);
        QCOMPARE(RecordCoding::decode(json, kNow), expected);
    }

    void sourceCoding_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("description");
        QTest::newRow("user") << QByteArray(R"({"kind":"user"})") << true << QString();
        QTest::newRow("auto") << QByteArray(R"({"kind":"auto"})") << true << QString();
        QTest::newRow("ai with model") << QByteArray(R"({"kind":"ai","model":"m"})") << true << QString();
        QTest::newRow("user ignores model")
            << QByteArray(R"({"kind":"user","model":"m"})") << true << QString();
        QTest::newRow("ai without model") << QByteArray(R"({"kind":"ai"})") << false << QString();
        QTest::newRow("unknown kind")
            << QByteArray(R"({"kind":"robot"})") << false << u"Unknown Interaction.Source kind: robot"_qs;
        QTest::newRow("no kind") << QByteArray(R"({"model":"m"})") << false << QString();
        QTest::newRow("kind not text") << QByteArray(R"({"kind":1})") << false << QString();
    }

    void sourceCoding() {
        QFETCH(QByteArray, source);
        QFETCH(bool, valid);
        QFETCH(QString, description);
        const QByteArray json = oneEntry(
            "interactions", R"("date":"2026-01-02T03:04:05Z","kind":"note","text":"x","source":)" + source);
        try {
            const PemmoRecord r = RecordCoding::decode(json, kNow);
            QVERIFY(valid);
            QCOMPARE(RecordCoding::decode(RecordCoding::encode(r), kNow), r);
        } catch (const DecodingError& error) {
            QVERIFY2(!valid, error.what());
            if (!description.isEmpty()) {
                QCOMPARE(error.description(), description);
                QCOMPARE(error.kind(), DecodingError::Kind::DataCorrupted);
                QCOMPARE(error.codingPath(), u"interactions.0.source.kind"_qs);
            }
        }
    }

    // Each row breaks one rule; the whole record must fail.
    void wrongTypesFailTheRecord_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("schema as text") << QByteArray(R"({"schema":"2"})");
        QTest::newRow("schema fractional") << QByteArray(R"({"schema":2.5})");
        QTest::newRow("schema beyond 64 bits") << QByteArray(R"({"schema":1e30})");
        // An instant before year 1 could not be written back as four digits.
        QTest::newRow("updatedAt before year 1")
            << QByteArray(R"({"updatedAt":"0000-01-01T00:00:00+01:00"})");
        QTest::newRow("birthday year wraps int")
            << QByteArray(R"({"birthday":{"year":4294969296,"month":1,"day":1}})");
        QTest::newRow("tags not a list") << QByteArray(R"({"tags":"family"})");
        QTest::newRow("tag not text") << QByteArray(R"({"tags":[1]})");
        QTest::newRow("details not object") << QByteArray(R"({"details":[]})");
        QTest::newRow("detail not text") << QByteArray(R"({"details":{"graduationYear":2012}})");
        QTest::newRow("about as number") << QByteArray(R"({"about":5})");
        QTest::newRow("opt-out as text") << QByteArray(R"({"aiCloudOptOut":"true"})");
        QTest::newRow("updatedAt not a date") << QByteArray(R"({"updatedAt":"yesterday"})");
        QTest::newRow("updatedAt without zone") << QByteArray(R"({"updatedAt":"2026-03-04T10:15:00"})");
        QTest::newRow("birthday without month") << QByteArray(R"({"birthday":{"day":3}})");
        QTest::newRow("birthday month 13") << QByteArray(R"({"birthday":{"month":13,"day":3}})");
        QTest::newRow("birthday as text") << QByteArray(R"({"birthday":"1990-01-01"})");
        QTest::newRow("link missing url") << oneEntry("links", R"("kind":"x","title":"X")");
        QTest::newRow("link unknown kind") << oneEntry("links", R"("kind":"myspace","title":"","url":"")");
        QTest::newRow("link bad uuid")
            << QByteArray(R"({"links":[{"id":"not-a-uuid","kind":"x","title":"","url":""}]})");
        QTest::newRow("interaction unknown kind")
            << oneEntry("interactions",
                        R"("date":"2026-01-02T03:04:05Z","kind":"lunch","text":"","source":{"kind":"user"})");
        QTest::newRow("interaction missing date")
            << oneEntry("interactions", R"("kind":"note","text":"","source":{"kind":"user"})");
        QTest::newRow("aliases not texts")
            << oneEntry("interactions", R"("date":"2026-01-02T03:04:05Z","kind":"note","text":"",)"
                                        R"("calendarEventAliases":[1],"source":{"kind":"user"})");
        QTest::newRow("change missing field")
            << oneEntry("changes", R"("date":"2026-01-02T03:04:05Z","source":{"kind":"user"})");
        QTest::newRow("briefing missing model")
            << QByteArray(R"({"briefingCache":{"contentHash":"","summary":"","opener":"",)"
                          R"("generatedAt":"2026-01-02T03:04:05Z"}})");
        QTest::newRow("briefing leftDevice as text")
            << QByteArray(R"({"briefingCache":{"contentHash":"","summary":"","opener":"",)"
                          R"("generatedAt":"2026-01-02T03:04:05Z","model":"","leftDevice":"yes"}})");
        QTest::newRow("record not an object") << QByteArray(R"([])");
        QTest::newRow("not json") << QByteArray(R"({"tags":[)");
    }

    void wrongTypesFailTheRecord() {
        QFETCH(QByteArray, json);
        QVERIFY_THROWS_EXCEPTION(DecodingError, RecordCoding::decode(json, kNow));
    }

    // Keys are read in the record's own order, so the fault named does not depend on the order a
    // file holds them in; a null reads like a missing key, even in the details.
    void theFirstFaultNamedFollowsTheRecordsOrder_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("as written") << QByteArray(R"({"tags":"x","about":5,"updatedAt":"later"})");
        QTest::newRow("reversed") << QByteArray(R"({"updatedAt":"later","about":5,"tags":"x"})");
        QTest::newRow("details first") << QByteArray(R"({"details":{"team":null,"school":1},"tags":"x"})");
    }
    void theFirstFaultNamedFollowsTheRecordsOrder() {
        QFETCH(QByteArray, json);
        try {
            RecordCoding::decode(json, kNow);
            QFAIL("decoded");
        } catch (const DecodingError& error) {
            QCOMPARE(error.codingPath(), u"tags"_qs);
        }
        const PemmoRecord r = RecordCoding::decode(R"({"details":{"team":null,"school":"Ghent"}})", kNow);
        QCOMPARE(r.details.team, std::nullopt);
        QCOMPARE(r.details.school, std::optional(u"Ghent"_qs));
    }

    void briefingOptionalKeysDefault() {
        const PemmoRecord r =
            RecordCoding::decode(R"({"briefingCache":{"contentHash":"c","summary":"s",)"
                                 R"("opener":"o","generatedAt":"2026-01-02T03:04:05Z","model":"m"}})",
                                 kNow);
        QVERIFY(r.briefingCache);
        QCOMPARE(r.briefingCache->leftDevice, false);
        QCOMPARE(r.briefingCache->providerName, QString());
        const QJsonObject written = asObject(RecordCoding::encode(r))[u"briefingCache"].toObject();
        QCOMPARE(written[u"leftDevice"], QJsonValue(false));
        QCOMPARE(written[u"providerName"], QJsonValue(u""_qs));
    }

    void controlCharactersAndLoneSurrogatesStayValidJson() {
        PemmoRecord r = PemmoRecord::fresh(kNow);
        r.about = u"a\u0001b"_qs + QChar(0xD800) + u"c"_qs;
        const QByteArray json = RecordCoding::encode(r);
        QVERIFY(json.contains("\"a\\u0001b"));
        QJsonParseError error;
        QJsonDocument::fromJson(json, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(RecordCoding::decode(json, kNow).about, u"a\u0001b\uFFFDc"_qs);
    }
};

QTEST_GUILESS_MAIN(TestRecordCoding)
#include "TestRecordCoding.moc"
