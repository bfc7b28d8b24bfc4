#include "Search/IndexEntry.h"
#include "Search/LexicalScorer.h"
#include "Search/QueryParser.h"

#include <QTest>
#include <map>

namespace pemmo {
namespace {

Profile person(const QString& id, const QString& given, const QString& family = {}) {
    Profile p;
    p.person.id = id;
    p.person.givenName = given;
    p.person.familyName = family;
    p.record = PemmoRecord::fresh(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    return p;
}

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
        QTest::newRow("mean of the terms") << "John"
                                           << "Doe"
                                           << "john d" << (1.0 + 0.85) / 2;
    }

    void nameMatches() {
        QFETCH(QString, given);
        QFETCH(QString, family);
        QFETCH(QString, query);
        QFETCH(double, expected);
        const auto score = scoreOf(person(QStringLiteral("1"), given, family), query);
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
        Profile p = person(QStringLiteral("1"), QStringLiteral("Grace"), QStringLiteral("Hopper"));
        p.person.nickname = QStringLiteral("Ace");
        p.person.organization = QStringLiteral("Globex");
        p.person.phones = {{QStringLiteral("mobile"), QStringLiteral("+1 (415) 555-0100")}};
        p.person.emails = {{QStringLiteral("work"), QStringLiteral("grace@example.com")}};
        p.record.tags = {QStringLiteral("climbing")};
        p.record.details.jobTitle = QStringLiteral("Engineer");
        p.record.details.team = QStringLiteral("Growth");
        p.record.details.school = QStringLiteral("Massachusetts Institute Technology");
        p.record.details.currentCity = QStringLiteral("Lisbon");
        p.record.details.howWeMet = QStringLiteral("Climbing gym");
        p.record.about = QStringLiteral("Plays cello. Growth mindset.");
        Interaction note;
        note.text = QStringLiteral("Best ramen in town");
        note.source = Interaction::Source::user();
        p.record.interactions = {note};
        const auto score = scoreOf(p, query);
        QVERIFY(score);
        QCOMPARE(*score, expected);
    }

    void loggedContactsAreNotMemories() {
        Profile p = person(QStringLiteral("1"), QStringLiteral("Grace"));
        Interaction logged;
        logged.text = QStringLiteral("Opened Messages");
        logged.source = Interaction::Source::automatic();
        p.record.interactions = {logged};
        QVERIFY(!scoreOf(p, QStringLiteral("opened")));
    }

    void circleFiltersAlone() {
        Profile member = person(QStringLiteral("1"), QStringLiteral("Grace"));
        member.record.tags = {QStringLiteral("work"), QStringLiteral("book club")};
        const Profile outsider = person(QStringLiteral("2"), QStringLiteral("Ada"));
        QCOMPARE(scoreOf(member, QStringLiteral("#work")), 1.0);
        QCOMPARE(scoreOf(member, QStringLiteral("#WORK #work")), 1.0);
        QVERIFY(!scoreOf(outsider, QStringLiteral("#work")));
        QVERIFY(!scoreOf(member, QStringLiteral("#work #family")));
        QCOMPARE(scoreOf(member, QStringLiteral("#work gr")), 0.85);
        const auto hit = LexicalScorer::score(IndexEntry::make(member), {}, {QStringLiteral("work")});
        QVERIFY(hit && hit->nameRanges.isEmpty());
    }

    void entryHoldsFoldedFields() {
        Profile p = person(QStringLiteral("1"), QStringLiteral("Anna"), QStringLiteral("Maria Ólafsdóttir"));
        p.record.tags = {QStringLiteral("movie lover")};
        const IndexEntry entry = IndexEntry::make(p);
        QCOMPARE(entry.fullName, QStringLiteral("Anna Maria Ólafsdóttir"));
        QCOMPARE(entry.textOf(SearchField::Name).toString(), QStringLiteral("anna maria olafsdottir"));
        QCOMPARE(entry.tokens(SearchField::Name), (QStringList{"anna", "maria", "olafsdottir"}));
        QCOMPARE(entry.nameJoined, QStringLiteral("annamariaolafsdottir"));
        QCOMPARE(entry.tokens(SearchField::Tags), (QStringList{"movie", "lover"}));
        QVERIFY(!entry.has(SearchField::Nickname));
        QVERIFY(!IndexEntry::make(person(QStringLiteral("2"), QStringLiteral("Cher"))).nameJoined);
    }

    // The fields share one string and one list of spans: each must still give exactly its own
    // text and tokens, with empty fields before, between and after the filled ones.
    void entryKeepsEachFieldApart() {
        Profile p = person(QStringLiteral("1"), QStringLiteral("Åsa"), QStringLiteral("Lind"));
        p.record.tags = {QStringLiteral("chess")};
        p.record.details.school = QStringLiteral("KTH");
        p.person.emails = {LabeledValue{QStringLiteral("home"), QStringLiteral("asa@example.org")}};
        Interaction note;
        note.text = QStringLiteral("Loves Ölands bridges");
        p.record.interactions = {note};
        const IndexEntry entry = IndexEntry::make(p);

        const std::map<SearchField, QString> expected{
            {SearchField::Name, QStringLiteral("asa lind")},
            {SearchField::Tags, QStringLiteral("chess")},
            {SearchField::School, QStringLiteral("kth")},
            {SearchField::Email, QStringLiteral("asa@example.org")},
            {SearchField::Memory, QStringLiteral("loves olands bridges")},
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
        Profile p = person(QStringLiteral("1"), name);
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
