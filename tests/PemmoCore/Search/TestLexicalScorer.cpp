#include "Search/EditDistance.h"
#include "Search/IndexEntry.h"
#include "Search/LexicalScorer.h"
#include "Search/QueryParser.h"
#include "TestSupport/People.h"

#include <QRandomGenerator>
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

        QTest::newRow("exact") << u"John"_qs << u"Doe"_qs << u"john"_qs << 1.0;
        QTest::newRow("accent-free query finds accented name") << u"Zoë"_qs << u"Kim"_qs << u"zoe"_qs << 1.0;
        QTest::newRow("full-width query") << u"Anna"_qs << u"Berg"_qs << u"ＡＮＮＡ"_qs << 1.0;
        QTest::newRow("prefix") << u"John"_qs << u"Doe"_qs << u"jo"_qs << 0.85;
        QTest::newRow("acronym") << u"John"_qs << u"Doe"_qs << u"jd"_qs << 0.7;
        QTest::newRow("acronym longer than the name's tokens")
            << u"John"_qs << u"Doe"_qs << u"jdx"_qs << -1.0;
        QTest::newRow("three letters get no typo allowance") << u"John"_qs << u"Doe"_qs << u"jon"_qs << -1.0;
        QTest::newRow("transposition at four letters") << u"John"_qs << u"Doe"_qs << u"jonh"_qs << 0.55;
        QTest::newRow("substring") << u"Johnathan"_qs << u"Doe"_qs << u"nat"_qs << 0.4;
        QTest::newRow("name run together, exact") << u"Anna"_qs << u"Maria"_qs << u"annamaria"_qs << 1.0;
        QTest::newRow("name run together, prefix") << u"Anna"_qs << u"Maria"_qs << u"annam"_qs << 0.85;
        QTest::newRow("all terms required") << u"John"_qs << u"Doe"_qs << u"john zzz"_qs << -1.0;
        // Hangul is compared syllable by syllable, as it is read.
        QTest::newRow("hangul prefix") << u"민준"_qs << u"김"_qs << u"민"_qs << 0.85;
        QTest::newRow("hangul: a syllable is no prefix of another")
            << u"민준"_qs << u"김"_qs << u"미"_qs << -1.0;
        QTest::newRow("hangul: two syllables get no typo allowance")
            << u"민준"_qs << u"김"_qs << u"민주"_qs << -1.0;
        QTest::newRow("mean of the terms") << u"John"_qs << u"Doe"_qs << u"john d"_qs << (1.0 + 0.85) / 2;
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
        QTest::newRow("nickname exact") << u"ace"_qs << 0.9;
        QTest::newRow("company exact") << u"globex"_qs << 0.6;
        QTest::newRow("circle exact") << u"climbing"_qs << 0.6;
        QTest::newRow("role prefix") << u"engin"_qs << 0.85 * 0.5;
        QTest::newRow("school acronym") << u"mit"_qs << 0.7 * 0.5;
        QTest::newRow("phone digits run together") << u"14155550100"_qs << 0.5;
        QTest::newRow("phone digits inside") << u"4155550100"_qs << 0.55 * 0.5;
        QTest::newRow("phone digits prefix") << u"141555"_qs << 0.85 * 0.5;
        QTest::newRow("email") << u"example"_qs << 0.4;
        QTest::newRow("city") << u"lisbon"_qs << 0.3;
        QTest::newRow("memory beats about") << u"ramen"_qs << 0.25;
        QTest::newRow("about") << u"cello"_qs << 0.2;
        QTest::newRow("how we met is in about") << u"gym"_qs << 0.2;
        QTest::newRow("best field wins") << u"growth"_qs << 0.5;
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
        QTest::newRow("prefix in the original") << u"Zoë Kim"_qs << u"zo"_qs << QList<int>{0, 2};
        QTest::newRow("accent included") << u"Zoë Kim"_qs << u"zoe"_qs << QList<int>{0, 3};
        QTest::newRow("two terms") << u"Zoë Kim"_qs << u"kim zoe"_qs << QList<int>{0, 3, 4, 3};
        QTest::newRow("touching ranges merge") << u"Annabel Lee"_qs << u"anna bel"_qs << QList<int>{0, 7};
        QTest::newRow("every occurrence") << u"Anna Hanna"_qs << u"an"_qs << QList<int>{0, 2, 6, 2};
        QTest::newRow("acronym not shown") << u"John Doe"_qs << u"jd"_qs << QList<int>{};
        QTest::newRow("typo not shown") << u"John Doe"_qs << u"jonh"_qs << QList<int>{};
        QTest::newRow("run together spans the gap") << u"Anna Maria"_qs << u"annam"_qs << QList<int>{0, 6};
        QTest::newRow("decomposed accent stays whole")
            << u"Rene\u0301e"_qs << u"renee"_qs << QList<int>{0, 6};
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

    // The bounded edit distance behind the typo allowance.
    void distance_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("expected"); // -1: absent
        QTest::newRow("equal") << u"john"_qs << u"john"_qs << 1 << 0;
        QTest::newRow("transposition") << u"jonh"_qs << u"john"_qs << 1 << 1;
        QTest::newRow("substitution") << u"jahn"_qs << u"john"_qs << 1 << 1;
        QTest::newRow("insertion") << u"johhn"_qs << u"john"_qs << 1 << 1;
        QTest::newRow("deletion") << u"jon"_qs << u"john"_qs << 1 << 1;
        QTest::newRow("two edits over the bound") << u"jhn"_qs << u"johan"_qs << 1 << -1;
        QTest::newRow("two edits within the bound") << u"jhn"_qs << u"johan"_qs << 2 << 2;
        QTest::newRow("lengths too far apart") << u"jo"_qs << u"johnny"_qs << 3 << -1;
        QTest::newRow("empty against text") << u""_qs << u"abc"_qs << 3 << 3;
        QTest::newRow("empty over the bound") << u""_qs << u"abcd"_qs << 3 << -1;
        QTest::newRow("osa counts ca to abc as three") << u"ca"_qs << u"abc"_qs << 3 << 3;
        QTest::newRow("characters, not code units") << u"😀a"_qs << u"😀b"_qs << 1 << 1;
    }

    void distance() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, max);
        QFETCH(int, expected);
        const auto result = EditDistance::distance(a, b, max);
        QCOMPARE(result.value_or(-1), expected);
        QCOMPARE(EditDistance::distance(b, a, max).value_or(-1), expected);
    }

    void withinOneAgreesWithTheTable() {
        // Short words over a small alphabet hit every kind of single edit, and many near misses.
        QRandomGenerator random(42);
        const auto word = [&random] {
            std::u32string w;
            for (int i = random.bounded(0, 6); i > 0; --i)
                w.push_back(U'a' + static_cast<char32_t>(random.bounded(0, 3)));
            return w;
        };
        for (int i = 0; i < 20000; ++i) {
            const std::u32string a = word();
            const std::u32string b = word();
            QCOMPARE(EditDistance::withinOne(a, b), EditDistance::distance(a, b, 1).has_value());
        }
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestLexicalScorer)
#include "TestLexicalScorer.moc"
