#include "Search/TextFolding.h"
#include "Search/TokenVocabulary.h"

#include <QTest>

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
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestTokenVocabulary)
#include "TestTokenVocabulary.moc"
