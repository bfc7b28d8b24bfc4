#include "Search/IndexEntry.h"
#include "Search/LexicalScorer.h"
#include "Search/QueryParser.h"
#include "TestSupport/People.h"

#include <QTest>
#include <map>

namespace pemmo {
namespace {

using test::profile;

std::optional<double> scoreOf(const Profile& profile, const QString& query) {
    const ParsedQuery parsed = QueryParser::parse(query);
    const auto hit = LexicalScorer::score(IndexEntry::make(profile), parsed.terms, parsed.tagFilters);
    if (!hit)
        return std::nullopt;
    return hit->score;
}

} // namespace

class TestLexicalScorer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nameMatches_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("query");
        QTest::addColumn<double>("expected"); // -1: no hit

        QTest::newRow("exact") << "John"
                               << "Doe"
                               << "john" << 1.0;
        QTest::newRow("accent-free query finds accented name") << "Zoë"
                                                               << "Kim"
                                                               << "zoe" << 1.0;
        QTest::newRow("full-width query") << "Anna"
                                          << "Berg"
                                          << "ＡＮＮＡ" << 1.0;
        QTest::newRow("prefix") << "John"
                                << "Doe"
                                << "jo" << 0.85;
        QTest::newRow("acronym") << "John"
                                 << "Doe"
                                 << "jd" << 0.7;
        QTest::newRow("acronym longer than the name's tokens") << "John"
                                                               << "Doe"
                                                               << "jdx" << -1.0;
        QTest::newRow("three letters get no typo allowance") << "John"
                                                             << "Doe"
                                                             << "jon" << -1.0;
        QTest::newRow("transposition at four letters") << "John"
                                                       << "Doe"
                                                       << "jonh" << 0.55;
        QTest::newRow("substring") << "Johnathan"
                                   << "Doe"
                                   << "nat" << 0.4;
        QTest::newRow("name run together, exact") << "Anna"
                                                  << "Maria"
                                                  << "annamaria" << 1.0;
        QTest::newRow("name run together, prefix") << "Anna"
                                                   << "Maria"
                                                   << "annam" << 0.85;
        QTest::newRow("all terms required") << "John"
                                            << "Doe"
                                            << "john zzz" << -1.0;
        // Hangul is compared syllable by syllable, as it is read.
        QTest::newRow("hangul prefix") << "민준"
                                       << "김"
                                       << "민" << 0.85;
        QTest::newRow("hangul: a syllable is no prefix of another") << "민준"
                                                                    << "김"
                                                                    << "미" << -1.0;
        QTest::newRow("hangul: two syllables get no typo allowance") << "민준"
                                                                     << "김"
                                                                     << "민주" << -1.0;
        QTest::newRow("mean of the terms") << "John"
                                           << "Doe"
                                           << "john d" << (1.0 + 0.85) / 2;
    }

    void nameMatches() {
        QFETCH(QString, given);
        QFETCH(QString, family);
        QFETCH(QString, query);
        QFETCH(double, expected);
        const auto score = scoreOf(profile(u"1"_qs, given, family), query);
        if (expected < 0) {
            QVERIFY2(!score, qPrintable(QString::number(score.value_or(0))));
        } else {
            QVERIFY(score);
            QCOMPARE(*score, expected);
        }
    }

    void fieldWeightsScaleTheStrength_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<double>("expected");
        QTest::newRow("nickname exact") << "ace" << 0.9;
        QTest::newRow("company exact") << "globex" << 0.6;
        QTest::newRow("circle exact") << "climbing" << 0.6;
        QTest::newRow("role prefix") << "engin" << 0.85 * 0.5;
        QTest::newRow("school acronym") << "mit" << 0.7 * 0.5;
        QTest::newRow("phone digits run together") << "14155550100" << 0.5;
        QTest::newRow("phone digits inside") << "4155550100" << 0.55 * 0.5;
        QTest::newRow("phone digits prefix") << "141555" << 0.85 * 0.5;
        QTest::newRow("email") << "example" << 0.4;
        QTest::newRow("city") << "lisbon" << 0.3;
        QTest::newRow("memory beats about") << "ramen" << 0.25;
        QTest::newRow("about") << "cello" << 0.2;
        QTest::newRow("how we met is in about") << "gym" << 0.2;
        QTest::newRow("best field wins") << "growth" << 0.5;
    }

    void fieldWeightsScaleTheStrength() {
        QFETCH(QString, query);
        QFETCH(double, expected);
        Profile p = profile(u"1"_qs, u"Grace"_qs, u"Hopper"_qs);
        p.person.edit().nickname = u"Ace"_qs;
        p.person.edit().organization = u"Globex"_qs;
        p.person.edit().phones = {{u"mobile"_qs, u"+1 (415) 555-0100"_qs}};
        p.person.edit().emails = {{u"work"_qs, u"grace@example.com"_qs}};
        p.record.edit().tags = {u"climbing"_qs};
        p.record.edit().details.jobTitle = u"Engineer"_qs;
        p.record.edit().details.team = u"Growth"_qs;
        p.record.edit().details.school = u"Massachusetts Institute Technology"_qs;
        p.record.edit().details.currentCity = u"Lisbon"_qs;
        p.record.edit().details.howWeMet = u"Climbing gym"_qs;
        p.record.edit().about = u"Plays cello. Growth mindset."_qs;
        Interaction note;
        note.text = u"Best ramen in town"_qs;
        note.source = Interaction::Source::user();
        p.record.edit().interactions = {note};
        const auto score = scoreOf(p, query);
        QVERIFY(score);
        QCOMPARE(*score, expected);
    }

    void loggedContactsAreNotMemories() {
        Profile p = profile(u"1"_qs, u"Grace"_qs);
        Interaction logged;
        logged.text = u"Opened Messages"_qs;
        logged.source = Interaction::Source::automatic();
        p.record.edit().interactions = {logged};
        QVERIFY(!scoreOf(p, u"opened"_qs));
    }

    void circleFiltersAlone() {
        Profile member = profile(u"1"_qs, u"Grace"_qs);
        member.record.edit().tags = {u"work"_qs, u"book club"_qs};
        const Profile outsider = profile(u"2"_qs, u"Ada"_qs);
        QCOMPARE(scoreOf(member, u"#work"_qs), 1.0);
        QCOMPARE(scoreOf(member, u"#WORK #work"_qs), 1.0);
        QVERIFY(!scoreOf(outsider, u"#work"_qs));
        QVERIFY(!scoreOf(member, u"#work #family"_qs));
        QCOMPARE(scoreOf(member, u"#work gr"_qs), 0.85);
        const auto hit = LexicalScorer::score(IndexEntry::make(member), {}, {u"work"_qs});
        QVERIFY(hit && hit->nameRanges.isEmpty());
    }

    // The fields share one string and one list of spans: each must still give exactly its own
    // text and tokens, with empty fields before, between and after the filled ones.
    void entryKeepsEachFieldApart() {
        Profile p = profile(u"1"_qs, u"Åsa"_qs, u"Lind"_qs);
        p.record.edit().tags = {u"chess club"_qs};
        p.record.edit().details.school = u"KTH"_qs;
        p.person.edit().emails = {LabeledValue{u"home"_qs, u"asa@example.org"_qs}};
        Interaction note;
        note.text = u"Loves Ölands bridges"_qs;
        p.record.edit().interactions = {note};
        const IndexEntry entry = IndexEntry::make(p);

        const std::map<SearchField, QString> expected{
            {SearchField::Name, u"asa lind"_qs},
            {SearchField::Tags, u"chess club"_qs},
            {SearchField::School, u"kth"_qs},
            {SearchField::Email, u"asa@example.org"_qs},
            {SearchField::Memory, u"loves olands bridges"_qs},
        };
        for (const SearchField field : SearchFields::all) {
            const auto found = expected.find(field);
            const QString text = found == expected.end() ? QString() : found->second;
            QCOMPARE(entry.has(field), !text.isEmpty());
            QCOMPARE(entry.textOf(field).toString(), text);
            QStringList words;
            for (const auto& span : TextFolding::tokenSpans(text))
                words.append(text.mid(span.start, span.length));
            QCOMPARE(entry.tokens(field), words);
        }
        QCOMPARE(entry.tokens(SearchField::Memory), (QStringList{"loves", "olands", "bridges"}));
        QCOMPARE(entry.fullName, u"Åsa Lind"_qs);
        QCOMPARE(entry.nameJoined, u"asalind"_qs);
        QVERIFY(!IndexEntry::make(profile(u"2"_qs, u"Cher"_qs)).nameJoined);
    }

    void nameRanges_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("ranges"); // start, length, start, length...
        QTest::newRow("prefix in the original") << "Zoë Kim"
                                                << "zo" << QList<int>{0, 2};
        QTest::newRow("accent included") << "Zoë Kim"
                                         << "zoe" << QList<int>{0, 3};
        QTest::newRow("two terms") << "Zoë Kim"
                                   << "kim zoe" << QList<int>{0, 3, 4, 3};
        QTest::newRow("touching ranges merge") << "Annabel Lee"
                                               << "anna bel" << QList<int>{0, 7};
        QTest::newRow("every occurrence") << "Anna Hanna"
                                          << "an" << QList<int>{0, 2, 6, 2};
        QTest::newRow("acronym not shown") << "John Doe"
                                           << "jd" << QList<int>{};
        QTest::newRow("typo not shown") << "John Doe"
                                        << "jonh" << QList<int>{};
        QTest::newRow("run together spans the gap") << "Anna Maria"
                                                    << "annam" << QList<int>{0, 6};
        QTest::newRow("decomposed accent stays whole") << "Rene\u0301e"
                                                       << "renee" << QList<int>{0, 6};
    }

    void nameRanges() {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(QList<int>, ranges);
        Profile p = profile(u"1"_qs, name);
        const ParsedQuery parsed = QueryParser::parse(query);
        const auto hit = LexicalScorer::score(IndexEntry::make(p), parsed.terms, parsed.tagFilters);
        QVERIFY(hit);
        QList<int> flat;
        for (const TextRange& r : hit->nameRanges)
            flat << static_cast<int>(r.start) << static_cast<int>(r.length);
        QCOMPARE(flat, ranges);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestLexicalScorer)
#include "TestLexicalScorer.moc"
