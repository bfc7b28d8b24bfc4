#include "Search/EntryWordLists.h"
#include "Search/TextFolding.h"
#include "Search/TokenVocabulary.h"

#include <QTest>
#include <algorithm>

namespace pemmo {
namespace {

using Pair = std::pair<int, std::uint32_t>; // field, word id
using Lists = std::vector<std::vector<Pair>>;

// A vocabulary of `wordCount` words in which entry e holds the (field, word) pairs of lists[e],
// and what the lists by entry give back for it.
Lists roundTrip(std::uint32_t wordCount, const Lists& lists) {
    TokenVocabulary::Builder builder;
    std::vector<std::uint32_t> interned(wordCount);
    for (std::uint32_t w = 0; w < wordCount; ++w)
        interned[w] = builder.intern(std::u32string_view(U"w" + std::u32string(1, U'a' + w % 26) +
                                                         std::u32string(1, char32_t(0x100 + w))));
    for (std::uint32_t e = 0; e < lists.size(); ++e) {
        for (const auto& [field, word] : lists[e])
            builder.post(interned[word], e, static_cast<SearchField>(field));
    }
    std::vector<std::uint32_t> renumbered;
    const TokenVocabulary vocabulary = builder.build(&renumbered);
    std::vector<std::uint32_t> wordOf(wordCount);
    for (std::uint32_t w = 0; w < wordCount; ++w)
        wordOf[renumbered[interned[w]]] = w;
    const EntryWordLists byEntry(vocabulary, lists.size());
    Lists result(lists.size());
    for (std::size_t e = 0; e < lists.size(); ++e) {
        std::uint32_t previous = 0;
        byEntry.forEach(e, [&](SearchField field, std::uint32_t id) {
            QVERIFY(id >= previous); // by ascending id
            previous = id;
            result[e].push_back({int(field), wordOf[id]});
        });
        std::sort(result[e].begin(), result[e].end());
    }
    return result;
}

} // namespace
} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::Lists)

namespace pemmo {

class TestTokenVocabulary : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The index interns the tokens of a text as UTF-16 and the initials and joined names as code
    // points: a word must get one id whichever way it comes, and be stored as its code points.
    void aWordHasOneIdInUtf16AndInCodePoints_data() {
        QTest::addColumn<QString>("word");
        QTest::newRow("ascii") << u"anna"_qs;
        QTest::newRow("latin") << u"zoë"_qs;
        QTest::newRow("cyrillic") << u"мария"_qs;
        QTest::newRow("surrogate pair") << u"𝐀b"_qs;
        QTest::newRow("two pairs") << u"𝐀𝐁"_qs;
        QTest::newRow("lone high surrogate") << QString(QChar(0xD835));
        QTest::newRow("high surrogate last") << (u"a"_qs + QChar(0xD835));
        QTest::newRow("lone low surrogate") << (QString(QChar(0xDC00)) + u"x"_qs);
    }
    void aWordHasOneIdInUtf16AndInCodePoints() {
        QFETCH(QString, word);
        const std::u32string codePoints = TextFolding::toUtf32(word);
        // Neighbours that share the word's characters, so that a probe compares more than one.
        const QStringList others{u"a"_qs, u"ab"_qs, word + u"s"_qs, u"b"_qs + word};
        for (const bool utf16First : {true, false}) {
            TokenVocabulary::Builder builder;
            for (const QString& other : others)
                builder.intern(TextFolding::toUtf32(other));
            const std::uint32_t first = utf16First ? builder.intern(QStringView(word))
                                                   : builder.intern(std::u32string_view(codePoints));
            const std::uint32_t second = utf16First ? builder.intern(std::u32string_view(codePoints))
                                                    : builder.intern(QStringView(word));
            QCOMPARE(second, first);
            QCOMPARE(first, std::uint32_t(others.size()));
            for (qsizetype i = 0; i < others.size(); ++i)
                QCOMPARE(builder.intern(QStringView(others[i])), std::uint32_t(i));
            std::vector<std::uint32_t> renumbered;
            const TokenVocabulary vocabulary = builder.build(&renumbered);
            QVERIFY(vocabulary.word(renumbered[first]) == codePoints);
            QCOMPARE(vocabulary.size(), std::size_t(others.size() + 1));
        }
    }

    // Two bytes a character unless a word needs more; either way the same code points come back,
    // numbered shortest first.
    void keepsCharactersNarrowUnlessAWordIsWide_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("narrow");
        QTest::newRow("ascii") << QStringList{u"anna"_qs, u"bo"_qs, u"cecilia"_qs} << true;
        QTest::newRow("accents and scripts") << QStringList{u"zoë"_qs, u"мария"_qs, u"李"_qs} << true;
        QTest::newRow("a lone surrogate") << QStringList{u"a"_qs, QString(QChar(0xD835))} << true;
        QTest::newRow("one word beyond 16 bits") << QStringList{u"anna"_qs, u"𠀋明"_qs, u"bo"_qs} << false;
        QTest::newRow("nothing") << QStringList{} << true;
    }
    void keepsCharactersNarrowUnlessAWordIsWide() {
        QFETCH(QStringList, words);
        QFETCH(bool, narrow);
        TokenVocabulary::Builder builder;
        for (const QString& word : words)
            builder.intern(QStringView(word));
        const TokenVocabulary vocabulary = builder.build();
        QCOMPARE(vocabulary.isNarrow(), narrow);
        QCOMPARE(vocabulary.size(), std::size_t(words.size()));
        std::vector<std::u32string> expected;
        for (const QString& word : words)
            expected.push_back(TextFolding::toUtf32(word));
        std::stable_sort(
            expected.begin(), expected.end(),
            [](const std::u32string& a, const std::u32string& b) { return a.size() < b.size(); });
        for (std::uint32_t id = 0; id < vocabulary.size(); ++id) {
            QVERIFY(vocabulary.word(id) == expected[id]);
            QCOMPARE(vocabulary.length(id), expected[id].size());
            QCOMPARE(vocabulary.firstWithLength(expected[id].size()) <= id, true);
        }
    }

    // The lists by entry, built from a vocabulary's postings, give back every (field, word) pair of
    // each entry.
    void everyPairComesBack_data() {
        QTest::addColumn<int>("wordCount");
        QTest::addColumn<Lists>("lists");
        QTest::newRow("neighbouring words") << 10 << Lists{{{0, 1}, {0, 2}, {3, 3}}, {{10, 0}, {10, 9}}};
        QTest::newRow("one word in several fields") << 4 << Lists{{{0, 2}, {1, 2}, {10, 2}}, {{2, 2}}};
        QTest::newRow("a person without words") << 4 << Lists{{}, {{1, 1}}, {}};
        // 4,095 ids apart and more no longer fit beside the field in one unit.
        QTest::newRow("words far apart")
            << 9000 << Lists{{{0, 1}, {1, 4094}, {2, 8190}, {4, 8999}}, {{5, 4096}}, {{6, 4095}, {7, 4096}}};
        QTest::newRow("ids beyond 16 bits")
            << 70000 << Lists{{{0, 3}, {9, 65535}, {9, 65536}, {10, 69999}}, {{0, 69999}}, {{1, 0}}};
    }
    void everyPairComesBack() {
        QFETCH(int, wordCount);
        QFETCH(Lists, lists);
        Lists expected = lists;
        for (auto& list : expected)
            std::sort(list.begin(), list.end());
        QCOMPARE(roundTrip(std::uint32_t(wordCount), lists), expected);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestTokenVocabulary)
#include "TestTokenVocabulary.moc"
