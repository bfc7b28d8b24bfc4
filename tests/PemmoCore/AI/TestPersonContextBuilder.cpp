// What a model is told about a person: each field's source and format, the limits, and the JSON.
#include "AI/PersonContextBuilder.h"
#include "TestSupport/People.h"

#include <QTest>
#include <QTimeZone>

using namespace pemmo;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(10, 0), QTimeZone::utc());

Profile profileOf(Person person, PemmoRecord record = PemmoRecord::fresh(kNow)) {
    return Profile{std::move(person), std::move(record)};
}

Interaction entry(const QDateTime& date, Interaction::Kind kind, const QString& text) {
    return Interaction{QUuid::createUuid(),        date, kind, text, std::nullopt, std::nullopt,
                       Interaction::Source::user()};
}

} // namespace

class TestPersonContextBuilder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theJSONSortsItsKeysAndLeavesSlashesAlone() {
        PersonContext context;
        context.name = u"Zoë"_qs;
        context.role = u"Engineer @ A/B Labs"_qs;
        context.about = u"See https://example.org/zoe"_qs;
        context.tags = {u"work"_qs};
        QCOMPARE(PersonContextBuilder::contextJSON(context),
                 u"{\n  \"about\": \"See https://example.org/zoe\",\n  \"name\": \"Zoë\",\n"
                 u"  \"recentInteractions\": [],\n  \"role\": \"Engineer @ A/B Labs\",\n  \"tags\": [\n"
                 u"    \"work\"\n  ]\n}"_qs);
    }

    void everyFieldComesFromItsPlace() {
        Person person = test::person(u"1"_qs, u"Ada"_qs, u"Lovelace"_qs);
        person.organization = u"Analytical Engines"_qs;
        PemmoRecord record = PemmoRecord::fresh(kNow);
        record.details.jobTitle = u"Analyst"_qs;
        record.details.howWeMet = u"Babbage's salon"_qs;
        record.details.mutuals = u"Charles"_qs;
        record.details.hometown = u"  London "_qs;
        record.details.currentCity = u"Paris"_qs;
        record.birthday = DateComponents{1815, 12, 10};
        record.tags = {u"friends"_qs, u"work"_qs};
        record.interactions = {entry(QDateTime(QDate(2026, 1, 2), QTime(23, 30), QTimeZone::utc()),
                                     Interaction::Kind::Met, u"Tea"_qs),
                               entry(QDateTime(QDate(2026, 2, 1), QTime(9, 0), QTimeZone::utc()),
                                     Interaction::Kind::Call, u"Called about the engine"_qs)};
        const PersonContext context = PersonContextBuilder::build(profileOf(person, record));
        QCOMPARE(context.name, u"Ada Lovelace"_qs);
        QCOMPARE(context.role, u"Analyst @ Analytical Engines"_qs);
        QCOMPARE(context.company, u"Analytical Engines"_qs);
        QCOMPARE(context.howWeMet, u"Babbage's salon"_qs);
        QCOMPARE(context.mutuals, u"Charles"_qs);
        QCOMPARE(context.cities, u"London \u2192 Paris"_qs);
        QCOMPARE(context.birthday, u"Dec 10, 1815"_qs);
        QCOMPARE(context.lastContacted, u"2026-02-01"_qs);
        QCOMPARE(context.tags, QStringList({u"friends"_qs, u"work"_qs}));
        QCOMPARE(context.recentInteractions,
                 QStringList({u"2026-01-02 met: Tea"_qs, u"2026-02-01 call: Called about the engine"_qs}));
    }

    void schoolAndYearMakeOneLine_data() {
        QTest::addColumn<std::optional<QString>>("school");
        QTest::addColumn<std::optional<QString>>("year");
        QTest::addColumn<std::optional<QString>>("expected");
        const std::optional<QString> none;
        QTest::newRow("both") << std::optional(u"MIT"_qs) << std::optional(u"2012"_qs)
                              << std::optional(u"MIT \u00B7 Class of 2012"_qs);
        QTest::newRow("year only") << none << std::optional(u"2012"_qs) << std::optional(u"Class of 2012"_qs);
        QTest::newRow("school only") << std::optional(u"MIT"_qs) << std::optional(u"  "_qs)
                                     << std::optional(u"MIT"_qs);
        QTest::newRow("neither") << std::optional(u" "_qs) << none << none;
    }

    void schoolAndYearMakeOneLine() {
        QFETCH(std::optional<QString>, school);
        QFETCH(std::optional<QString>, year);
        QFETCH(std::optional<QString>, expected);
        PemmoRecord record = PemmoRecord::fresh(kNow);
        record.details.school = school;
        record.details.graduationYear = year;
        QCOMPARE(PersonContextBuilder::build(profileOf(test::person(u"1"_qs, u"A"_qs), record)).school,
                 expected);
    }

    void birthdaysAndCities_data() {
        QTest::addColumn<std::optional<DateComponents>>("birthday");
        QTest::addColumn<std::optional<QString>>("expectedBirthday");
        QTest::newRow("without a year")
            << std::optional(DateComponents{std::nullopt, 2, 29}) << std::optional(u"Feb 29"_qs);
        QTest::newRow("none") << std::optional<DateComponents>() << std::optional<QString>();
    }

    void birthdaysAndCities() {
        QFETCH(std::optional<DateComponents>, birthday);
        QFETCH(std::optional<QString>, expectedBirthday);
        PemmoRecord record = PemmoRecord::fresh(kNow);
        record.birthday = birthday;
        record.details.currentCity = u" \n"_qs;
        record.about = u" \n "_qs;
        const PersonContext context =
            PersonContextBuilder::build(profileOf(test::person(u"1"_qs, u"A"_qs), record));
        QCOMPARE(context.birthday, expectedBirthday);
        QCOMPARE(context.cities, std::nullopt);
        QCOMPARE(context.about, std::nullopt); // blank texts are left out
    }

    void aboutAndTimelineAreCutToTheirLimits() {
        PemmoRecord record = PemmoRecord::fresh(kNow);
        // 401 user-perceived characters, each an e with a combining accent (two code units).
        record.about = u"  "_qs + QString(u"e\u0301"_qs).repeated(401) + u"\n"_qs;
        for (int i = 0; i < 7; ++i) {
            record.interactions.append(entry(kNow.addDays(-i), Interaction::Kind::Note,
                                             u"note "_qs + QString::number(i) + QString(500, u'x')));
        }
        const PersonContext context =
            PersonContextBuilder::build(profileOf(test::person(u"1"_qs, u"A"_qs), record));
        QCOMPARE(context.about, QString(u"e\u0301"_qs).repeated(400));
        QCOMPARE(context.recentInteractions.size(), 5);
        // Stored order, not date order; each whole line cut to 400 characters.
        QVERIFY(context.recentInteractions[0].startsWith(u"2026-03-04 note: note 0"_qs));
        QVERIFY(context.recentInteractions[4].startsWith(u"2026-02-28 note: note 4"_qs));
        QCOMPARE(context.recentInteractions[0].size(), 400);
    }
};

QTEST_GUILESS_MAIN(TestPersonContextBuilder)
#include "TestPersonContextBuilder.moc"
