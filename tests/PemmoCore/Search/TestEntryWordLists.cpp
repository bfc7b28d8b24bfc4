#include "Search/EntryWordLists.h"

#include <QTest>
#include <algorithm>
#include <tuple>

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

class TestEntryWordLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

QTEST_GUILESS_MAIN(pemmo::TestEntryWordLists)
#include "TestEntryWordLists.moc"
