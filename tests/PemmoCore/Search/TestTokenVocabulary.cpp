#include "Search/TextFolding.h"
#include "Search/TokenVocabulary.h"

#include <QTest>
#include <algorithm>

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
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestTokenVocabulary)
#include "TestTokenVocabulary.moc"
