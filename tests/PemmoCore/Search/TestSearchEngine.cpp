#include "Profiles/ProfileOrder.h"
#include "Search/EditDistance.h"
#include "Search/IndexScorer.h"
#include "Search/LexicalScorer.h"
#include "Search/QueryParser.h"
#include "Search/SearchEngine.h"
#include "Search/TextFolding.h"
#include "TestSupport/People.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <set>

namespace pemmo {
namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

Profile person(const QString& id, const QString& given, const QString& family = {}) {
    return test::profile(id, given, family, kNow);
}

using test::ids;

// The scoring rules written out as plainly as possible, word by word and field by field, with the
// full edit distance table: the fast pass must give exactly these numbers.
namespace reference {

QStringList tokensOf(const QString& folded) {
    QStringList tokens;
    QString current;
    const QList<uint> characters = folded.toUcs4();
    for (const uint c : characters) {
        const bool mark = QChar::category(char32_t(c)) == QChar::Mark_NonSpacing ||
                          QChar::category(char32_t(c)) == QChar::Mark_SpacingCombining ||
                          QChar::category(char32_t(c)) == QChar::Mark_Enclosing;
        if (QChar::isLetterOrNumber(char32_t(c)) || (mark && !current.isEmpty())) {
            current.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1));
        } else if (!current.isEmpty()) {
            tokens.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        tokens.append(current);
    return tokens;
}

qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

std::optional<double> strengthIn(const IndexEntry& entry, SearchField field, const QString& term) {
    const QString text = entry.textOf(field).toString();
    if (text.isEmpty())
        return std::nullopt;
    const QStringList tokens = tokensOf(text);
    const bool isName = field == SearchField::Name && entry.nameJoined;
    if (tokens.contains(term) || (isName && *entry.nameJoined == term))
        return 1.0;
    for (const QString& token : tokens) {
        if (characters(token) > characters(term) && token.startsWith(term))
            return 0.85;
    }
    if (isName && characters(*entry.nameJoined) > characters(term) && entry.nameJoined->startsWith(term))
        return 0.85;
    if (characters(term) >= 2 && characters(term) <= tokens.size()) {
        QString initials;
        for (const QString& token : tokens) {
            const char32_t first = token.toUcs4().constFirst();
            initials += QString::fromUcs4(&first, 1);
        }
        if (initials.contains(term))
            return 0.7;
    }
    if (characters(term) >= 4) {
        for (const QString& token : tokens) {
            if (EditDistance::distance(token, term, 1))
                return 0.55;
        }
    }
    if (text.contains(term))
        return 0.4;
    return std::nullopt;
}

std::optional<double> score(const IndexEntry& entry, const ParsedQuery& query) {
    for (const QString& tag : query.tagFilters) {
        if (!entry.tagIDs.contains(tag))
            return std::nullopt;
    }
    if (query.terms.isEmpty())
        return 1.0;
    double sum = 0.0;
    for (const QString& term : query.terms) {
        double best = 0.0;
        for (const SearchField field : SearchFields::all) {
            if (const auto strength = strengthIn(entry, field, term))
                best = std::max(best, *strength * SearchFields::weight(field));
        }
        if (best == 0.0)
            return std::nullopt;
        sum += best;
    }
    return sum / static_cast<double>(query.terms.size());
}

QList<SearchHit> search(const ParsedQuery& query, const std::vector<IndexEntry>& entries,
                        const SearchBoosts& boosts, int limit) {
    if (query.isEmpty)
        return {};
    QList<SearchHit> hits;
    QHash<QString, QString> names;
    for (const IndexEntry& entry : entries) {
        if (const auto s = score(entry, query)) {
            hits.append(
                {entry.id, *s * SearchEngine::boostFactor(entry.id, boosts), {}, MatchTier::Lexical, {}});
            names.insert(entry.id, entry.fullName);
        }
    }
    std::stable_sort(hits.begin(), hits.end(), [&names](const SearchHit& a, const SearchHit& b) {
        if (a.score != b.score)
            return a.score > b.score;
        if (const int byName = ProfileOrder::compareNames(names[a.id], names[b.id]); byName != 0)
            return byName < 0;
        return a.id < b.id;
    });
    return hits.mid(0, limit);
}

} // namespace reference

std::vector<IndexEntry> entriesOf(const QList<Profile>& people) {
    std::vector<IndexEntry> entries;
    for (const Profile& p : people)
        entries.push_back(IndexEntry::make(p));
    return entries;
}

// People with overlapping names, accents, circles, companies and notes, so that queries hit many
// of them in many fields at once; with `wideLetters`, also letters beyond 16 bits.
QList<Profile> generatedPeople(QRandomGenerator& random, int count, bool wideLetters = false) {
    QStringList given{"Anna",  "Annabel", "Hanna", "Jon",      "John",     "Johan",   "Zoë",    "Zoe",
                      "Renée", "Björn",   "Bjorn", "Mateo",    "Matteo",   "Siobhán", "Łukasz", "Anaïs",
                      "Ａnna", "Maria",   "Marie", "Thị Minh", "Olusegun", "Mei",     "Ada",    "Grace"};
    QStringList family{"Müller",     "Muller", "Doe",   "Dow",   "O'Brien-Smith", "Ó Súilleabháin",
                       "Nguyễn",     "Maria",  "Ålund", "Kim",   "Lee",           "Hanna",
                       "de la Cruz", "",       "Weiß",  "Weiss", "van der Berg",  "Annamaria"};
    QStringList words{"climbing", "cello",  "ramen",  "bakery", "globex", "initech", "engineer",
                      "founder",  "lisbon", "berlin", "zürich", "kraków", "jazz",    "chess",
                      "marathon", "bees",   "anna",   "john",   "doe",    "coffee",  "oat",
                      "milk",     "müller", "design", "growth", "2021",   "415",     "v4"};
    const QStringList circles{"work", "family", "friends", "school", "book club", "climbing"};
    if (wideLetters) {
        given += {u"𠀋明"_qs, u"𐐨𐐯𐐻"_qs};
        family += {u"𠀋𠀌"_qs};
        words += {u"a𠀋b"_qs, u"𠀋𠀌𠀍"_qs, u"𐐨𐐯𐐻𐐨"_qs};
    }
    const auto pick = [&random](const QStringList& list) { return list[random.bounded(list.size())]; };
    const auto sentence = [&] {
        QStringList parts;
        for (int i = random.bounded(1, 7); i > 0; --i)
            parts.append(pick(words));
        return parts.join(random.bounded(3) == 0 ? u", "_qs : u" "_qs);
    };
    QList<Profile> people;
    for (int i = 0; i < count; ++i) {
        Profile p = person(u"id-%1"_qs.arg(random.bounded(1000000)), pick(given), pick(family));
        if (random.bounded(4) == 0)
            p.person.edit().nickname = pick(given);
        if (random.bounded(2) == 0)
            p.person.edit().organization = pick(words);
        if (random.bounded(2) == 0)
            p.record.edit().details.jobTitle = sentence();
        if (random.bounded(3) == 0)
            p.record.edit().details.school = sentence();
        if (random.bounded(3) == 0)
            p.person.edit().phones = {{u"mobile"_qs, u"+1 415 %1"_qs.arg(random.bounded(1000000, 9999999))}};
        if (random.bounded(3) == 0)
            p.person.edit().emails = {{u"home"_qs, pick(words) + u"@example.com"_qs}};
        if (random.bounded(3) == 0)
            p.record.edit().details.currentCity = pick(words);
        if (random.bounded(2) == 0)
            p.record.edit().about = sentence() + u". "_qs + sentence();
        for (int n = random.bounded(3); n > 0; --n) {
            Interaction note;
            note.date = kNow.addDays(-random.bounded(100));
            note.text = sentence();
            note.source =
                random.bounded(4) == 0 ? Interaction::Source::automatic() : Interaction::Source::user();
            p.record.edit().interactions.append(note);
        }
        for (int n = random.bounded(3); n > 0; --n) {
            const QString circle = pick(circles);
            if (!p.record->tags.contains(circle))
                p.record.edit().tags.append(circle);
        }
        people.append(p);
    }
    return people;
}

// Queries as people type them: words from the data cut short, misspelt, run together, as acronyms,
// single letters, two or three terms, with and without circle filters.
QString generatedQuery(QRandomGenerator& random, const std::vector<IndexEntry>& entries) {
    const auto randomWord = [&]() -> QString {
        const IndexEntry& entry = entries[random.bounded(static_cast<int>(entries.size()))];
        const auto field = SearchFields::all[random.bounded(SearchFields::count)];
        if (entry.spansOf(field).empty())
            return entry.tokens(SearchField::Name).value(0, u"a"_qs);
        const QStringList tokens = entry.tokens(field);
        QString word = tokens[random.bounded(tokens.size())];
        switch (random.bounded(8)) {
        case 0: // cut short
            return word.left(random.bounded(1, static_cast<int>(word.size()) + 1));
        case 1: // one wrong letter, now and then one beyond 16 bits
            if (const qsizetype at = random.bounded(word.size()); !word[at].isSurrogate())
                word.replace(at, 1,
                             random.bounded(4) == 0 ? u"𠀋"_qs : QString(QChar(u'a' + random.bounded(26))));
            return word;
        case 2: // neighbours swapped
            if (word.size() > 2) {
                const int at = random.bounded(static_cast<int>(word.size()) - 1);
                std::swap(word[at], word[at + 1]);
            }
            return word;
        case 3: // a letter missing
            if (word.size() > 1)
                word.remove(random.bounded(word.size()), 1);
            return word;
        case 4: // initials
            return tokens.size() > 1 ? QString(tokens[0][0]) + tokens[1][0] : word;
        case 5: // the name run together
            return entry.nameJoined ? entry.nameJoined->left(random.bounded(1, 12)) : word;
        case 6: // a fragment from inside
            return word.size() > 3 ? word.mid(1, random.bounded(1, static_cast<int>(word.size()) - 1)) : word;
        default:
            return word;
        }
    };
    QStringList parts;
    const int terms = random.bounded(10) == 0 ? 0 : random.bounded(1, 4);
    for (int i = 0; i < terms; ++i)
        parts.append(random.bounded(6) == 0 ? QString(QChar(u'a' + random.bounded(26))) : randomWord());
    if (random.bounded(5) == 0 || parts.isEmpty())
        parts.append(random.bounded(2) ? u"#work"_qs : u"#Book"_qs);
    // Cutting words by code units can split a pair of surrogates; nobody types half a character.
    QString query = parts.join(u' ');
    for (qsizetype i = 0; i < query.size();) {
        if (query[i].isHighSurrogate() && i + 1 < query.size() && query[i + 1].isLowSurrogate())
            i += 2;
        else if (query[i].isSurrogate())
            query.remove(i, 1);
        else
            ++i;
    }
    return query;
}

} // namespace

class TestSearchEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Vocabularies keep characters in 16 bits unless one is wider; queries sometimes have a wide
    // letter either way.
    void fastPassEqualsTheDefinition_data() {
        QTest::addColumn<bool>("wideLetters");
        QTest::newRow("letters of 16 bits") << false;
        QTest::newRow("letters beyond 16 bits") << true;
    }
    void fastPassEqualsTheDefinition() {
        QFETCH(bool, wideLetters);
        QRandomGenerator random(2026);
        const QList<Profile> people = generatedPeople(random, 400, wideLetters);
        const SearchIndex index(people);
        QCOMPARE(index.words().isNarrow(), !wideLetters);
        const std::vector<IndexEntry> entries = entriesOf(people);
        // The usual mix, every term word by word, and every term person by person.
        IndexScorer scorers[] = {IndexScorer(), IndexScorer(1'000'000), IndexScorer(0)};
        int matched = 0;
        for (int q = 0; q < 400; ++q) {
            const ParsedQuery query = QueryParser::parse(generatedQuery(random, entries));
            std::vector<std::vector<std::optional<double>>> scores;
            for (IndexScorer& scorer : scorers) {
                scores.emplace_back(index.size());
                for (const auto& candidate : scorer.score(index, query.terms, query.tagFilters))
                    scores.back()[candidate.entry] = candidate.score;
            }
            for (std::size_t e = 0; e < index.size(); ++e) {
                const auto expected = reference::score(entries[e], query);
                const auto single = LexicalScorer::score(entries[e], query.terms, query.tagFilters);
                const QByteArray where = (query.raw + u" / " + entries[e].fullName).toUtf8();
                for (const auto& fromIndex : scores)
                    QVERIFY2(fromIndex[e] == expected, where.constData());
                QVERIFY2((single ? std::optional<double>(single->score) : std::nullopt) == expected,
                         where.constData());
                matched += expected.has_value();
            }
        }
        // The generated queries must exercise matches, not only misses.
        QVERIFY(matched > 5000);
    }

    void largeIndexBuiltOnTwoThreadsMatchesItsPeople() {
        QRandomGenerator random(11);
        const QList<Profile> people = generatedPeople(random, int(SearchIndex::parallelThreshold) + 101);
        const SearchIndex index(people);
        QCOMPARE(index.size(), std::size_t(people.size()));
        const std::vector<IndexEntry> entries = entriesOf(people);
        QHash<QString, std::uint32_t> lastWithID;
        for (qsizetype i = 0; i < people.size(); ++i)
            lastWithID.insert(people[i].id(), std::uint32_t(i));
        for (qsizetype i = 0; i < people.size(); ++i) {
            QCOMPARE(index.position(people[i].id()),
                     std::optional<std::uint32_t>(lastWithID[people[i].id()]));
            QCOMPARE(index.id(std::size_t(i)), people[i].id());
        }
        QVERIFY(!index.position(u"nobody"_qs));
        // Name ranks follow the reader's order of names, then ids.
        std::vector<std::uint32_t> byRank(index.size());
        for (std::size_t i = 0; i < index.size(); ++i)
            byRank[index.nameRank(i)] = std::uint32_t(i);
        for (std::size_t r = 1; r < byRank.size(); ++r) {
            const IndexEntry& a = entries[byRank[r - 1]];
            const IndexEntry& b = entries[byRank[r]];
            const int byName = ProfileOrder::compareNames(a.fullName, b.fullName);
            QVERIFY(byName < 0 || (byName == 0 && a.id <= b.id));
        }
    }

    // The index keeps no entries, only the ids of their words both ways round: each person's own
    // lists must hold exactly the words, initials and joined name of their entry.
    void listsByEntryHoldEachEntrysWords() {
        QRandomGenerator random(5);
        const QList<Profile> people = generatedPeople(random, int(SearchIndex::parallelThreshold) + 33);
        const SearchIndex index(people);
        using Pairs = std::set<std::pair<int, std::u32string>>;
        int pairs = 0;
        for (std::size_t e = 0; e < index.size(); ++e) {
            const IndexEntry entry = IndexEntry::make(people[qsizetype(e)]);
            Pairs words;
            Pairs initials;
            for (const SearchField field : SearchFields::all) {
                std::u32string firsts;
                for (const QString& token : entry.tokens(field)) {
                    const std::u32string word = TextFolding::toUtf32(token);
                    words.insert({int(field), word});
                    firsts.push_back(word[0]);
                }
                if (firsts.size() >= 2)
                    initials.insert({int(field), firsts});
            }
            Pairs indexedWords;
            index.wordsByEntry().forEach(e, [&](SearchField field, std::uint32_t id) {
                QVERIFY(indexedWords.insert({int(field), std::u32string(index.words().word(id))}).second);
            });
            Pairs indexedInitials;
            index.initialsByEntry().forEach(e, [&](SearchField field, std::uint32_t id) {
                indexedInitials.insert({int(field), std::u32string(index.initials().word(id))});
            });
            QVERIFY(indexedWords == words);
            QVERIFY(indexedInitials == initials);
            const std::uint32_t joined = index.joinedNameOf(e);
            QCOMPARE(joined != SearchIndex::noWord, entry.nameJoined.has_value());
            if (entry.nameJoined)
                QVERIFY(index.joinedNames().word(joined) == TextFolding::toUtf32(*entry.nameJoined));
            pairs += int(words.size());
        }
        // Enough pairs that ids far apart, in more than one byte, are among them.
        QVERIFY(index.words().size() > 300);
        QVERIFY(pairs > 20000);
    }

    void rankingEqualsTheDefinition() {
        QRandomGenerator random(7);
        const QList<Profile> people = generatedPeople(random, 300);
        const SearchIndex index(people);
        const std::vector<IndexEntry> entries = entriesOf(people);
        SearchBoosts boosts;
        boosts.now = kNow;
        for (int i = 0; i < 40; ++i) {
            const QString id = people[random.bounded(people.size())].id();
            if (i < 5)
                boosts.starred.insert(id);
            else if (i < 20)
                boosts.recentOpens.insert(id, kNow.addDays(-random.bounded(14)));
        }
        for (const Profile& p : people) {
            if (const auto last = p.lastContacted())
                boosts.lastContacted.insert(p.id(), *last);
        }
        SearchEngine engine;
        int highlighted = 0;
        int full = 0;
        for (int q = 0; q < 300; ++q) {
            const ParsedQuery query = QueryParser::parse(generatedQuery(random, entries));
            const QList<SearchHit> expected = reference::search(query, entries, boosts, 50);
            const QList<SearchHit> actual = engine.search(query, index, boosts, 50);
            QCOMPARE(ids(actual), ids(expected));
            full += expected.size() == 50;
            for (qsizetype i = 0; i < actual.size(); ++i) {
                QVERIFY(actual[i].score == expected[i].score);
                // Highlighting folds the name again: a term is shown exactly where it matched the
                // entry's name field by word, prefix or fragment.
                const IndexEntry& entry = entries[*index.position(actual[i].id)];
                QCOMPARE(actual[i].nameRanges, LexicalScorer::nameRanges(entry.fullName, query.terms));
                for (const QString& term : query.terms) {
                    using LexicalScorer::MatchKind;
                    const auto kind = LexicalScorer::fieldMatch(entry, SearchField::Name, term);
                    const bool shown =
                        kind == MatchKind::Exact || kind == MatchKind::Prefix || kind == MatchKind::Substring;
                    QCOMPARE(!LexicalScorer::nameRanges(entry.fullName, {term}).isEmpty(), shown);
                    highlighted += shown;
                }
            }
        }
        QVERIFY(highlighted > 500);
        QVERIFY2(full > 20, qPrintable(QString::number(full))); // lists cut at the limit
    }

    // Lists cut at the limit are checked against the definition above; here there is no room at all.
    void anEmptyQueryOrNoRoomFindsNothing() {
        const SearchIndex index({person(u"1"_qs, u"Anna"_qs)});
        SearchEngine engine;
        QVERIFY(engine.search(QueryParser::parse(u"  # "_qs), index, {}, 50).isEmpty());
        QVERIFY(engine.search(QueryParser::parse(u"anna"_qs), index, {}, 0).isEmpty());
    }

    void boostsAndTheirWindows_data() {
        QTest::addColumn<bool>("starred");
        QTest::addColumn<int>("openedDaysAgo"); // -1: never
        QTest::addColumn<int>("contactedDaysAgo");
        QTest::addColumn<double>("factor");
        QTest::newRow("none") << false << -1 << -1 << 1.0;
        QTest::newRow("all three") << true << 1 << 7 << 1.15 * 1.1 * 1.05;
        QTest::newRow("opened 8 days ago") << true << 8 << 7 << 1.15 * 1.05;
        QTest::newRow("opened exactly 7 days ago") << false << 7 << -1 << 1.1;
        QTest::newRow("contacted exactly 30 days ago") << false << -1 << 30 << 1.05;
        QTest::newRow("contacted 31 days ago") << false << -1 << 31 << 1.0;
        QTest::newRow("opened in the future counts by distance") << false << -3 << -1 << 1.1;
    }

    void boostsAndTheirWindows() {
        QFETCH(bool, starred);
        QFETCH(int, openedDaysAgo);
        QFETCH(int, contactedDaysAgo);
        QFETCH(double, factor);
        const QString id = u"1"_qs;
        SearchBoosts boosts;
        boosts.now = kNow;
        if (starred)
            boosts.starred.insert(id);
        if (openedDaysAgo != -1)
            boosts.recentOpens.insert(id, kNow.addDays(openedDaysAgo == -3 ? 3 : -openedDaysAgo));
        if (contactedDaysAgo >= 0)
            boosts.lastContacted.insert(id, kNow.addDays(-contactedDaysAgo));
        QCOMPARE(SearchEngine::boostFactor(id, boosts), factor);

        const SearchIndex index({person(id, u"Anna"_qs)});
        SearchEngine engine;
        const auto hits = engine.search(QueryParser::parse(u"an"_qs), index, boosts, 50);
        QCOMPARE(hits.size(), 1);
        QVERIFY(hits[0].score == 0.85 * factor);
    }

    void semanticMerge() {
        const QList<SearchHit> lexical{{u"a"_qs, 1.0, {}, MatchTier::Lexical, {}}};
        const QList<SemanticHit> semantic{
            {u"x"_qs, 0.44}, {u"a"_qs, 0.9}, {u"y"_qs, 0.45}, {u"z"_qs, 0.8}, {u"w"_qs, 0.45}};
        const auto merged = SearchEngine::mergeSemantic(lexical, semantic, 0.45, 8);
        QCOMPARE(ids(merged), (QStringList{"a", "z", "y", "w"}));
        QCOMPARE(merged[1].tier, MatchTier::Semantic);
        QCOMPARE(merged[1].score, 0.8);
        QVERIFY(merged[1].nameRanges.isEmpty() && !merged[1].reason);
        QCOMPARE(merged[0], lexical[0]);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestSearchEngine)
#include "TestSearchEngine.moc"
