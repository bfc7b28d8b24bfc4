#include "Search/TextFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <vector>

namespace pemmo::TextFolding {
namespace {

struct Normalizers {
    const icu::Normalizer2* caseFold = nullptr;  // NFKC with case folding: width and case
    const icu::Normalizer2* decompose = nullptr; // NFD: accents become marks we can drop
    const icu::Normalizer2* compose = nullptr;   // NFC: what NFD split apart without marks, joined
};

const Normalizers& normalizers() {
    static const Normalizers instance = [] {
        Normalizers n;
        UErrorCode status = U_ZERO_ERROR;
        n.caseFold = icu::Normalizer2::getNFKCCasefoldInstance(status);
        if (U_FAILURE(status))
            n.caseFold = nullptr;
        status = U_ZERO_ERROR;
        n.decompose = icu::Normalizer2::getNFDInstance(status);
        if (U_FAILURE(status))
            n.decompose = nullptr;
        status = U_ZERO_ERROR;
        n.compose = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status))
            n.compose = nullptr;
        return n;
    }();
    return instance;
}

bool isAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QString foldAscii(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *d++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u);
    }
    return out;
}

bool isMark(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {

// Folds a run of non-ASCII text through ICU and appends it to `out`; false without ICU data.
bool appendFoldedRun(QString& out, QStringView run) {
    const Normalizers& n = normalizers();
    if (!n.caseFold || !n.decompose || !n.compose)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(false, reinterpret_cast<const UChar*>(run.utf16()),
                                    static_cast<int32_t>(run.size()));
    const icu::UnicodeString folded = n.caseFold->normalize(source, status);
    const icu::UnicodeString decomposed = n.decompose->normalize(folded, status);
    if (U_FAILURE(status))
        return false;
    icu::UnicodeString unmarked;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            unmarked.append(c);
        i += U16_LENGTH(c);
    }
    // A Hangul syllable comes apart into its letters under NFD, with no mark to drop: joined again,
    // "김민준" stays three characters, as the user sees it, for prefixes, lengths and distances.
    const icu::UnicodeString composed = n.compose->normalize(unmarked, status);
    if (U_FAILURE(status))
        return false;
    const qsizetype start = out.size();
    out.append(reinterpret_cast<const QChar*>(composed.getBuffer()), composed.length());
    // Case folding already lower-cases nearly everything; a few scripts fold to upper case.
    QStringView added = QStringView(out).sliced(start);
    if (!isAscii(added)) {
        const QString lower = added.toString().toLower();
        out.truncate(start);
        out.append(lower);
    }
    return true;
}

// The folded form of every character of the scripts address books are mostly written in (Latin
// with its accents, Vietnamese, Greek, Cyrillic), made once with ICU. Folding acts on each code
// point alone once accents are dropped, so a run of these characters is folded by lookup.
class FoldTable {
public:
    static const FoldTable& instance() {
        static const FoldTable table;
        return table;
    }

    // Appends the folded run and returns true when every character of it is in the table.
    bool append(QString& out, QStringView run) const {
        for (const QChar c : run) {
            if (slot(c.unicode()) < 0)
                return false;
        }
        for (const QChar c : run) {
            const int at = slot(c.unicode());
            out.append(m_characters.data() + m_starts[static_cast<std::size_t>(at)],
                       m_starts[static_cast<std::size_t>(at) + 1] - m_starts[static_cast<std::size_t>(at)]);
        }
        return true;
    }

private:
    static constexpr char16_t firstRangeEnd = 0x500; // Latin-1 up to Cyrillic
    static constexpr char16_t secondRange = 0x1E00;  // Latin Extended Additional
    static constexpr char16_t secondRangeEnd = 0x1F00;

    static int slot(char16_t u) {
        if (u >= 0x80 && u < firstRangeEnd)
            return u - 0x80;
        if (u >= secondRange && u < secondRangeEnd)
            return (firstRangeEnd - 0x80) + (u - secondRange);
        return -1;
    }

    FoldTable() {
        m_starts.push_back(0);
        QString folded;
        const auto add = [&](char16_t u) {
            folded.clear();
            const QChar c(u);
            if (!appendFoldedRun(folded, QStringView(&c, 1)))
                return false;
            m_characters.insert(m_characters.end(), folded.cbegin(), folded.cend());
            m_starts.push_back(static_cast<qsizetype>(m_characters.size()));
            return true;
        };
        for (char16_t u = 0x80; u < firstRangeEnd; ++u) {
            if (!add(u)) {
                m_starts.assign(1, 0); // no ICU data: nothing to look up
                return;
            }
        }
        for (char16_t u = secondRange; u < secondRangeEnd; ++u)
            add(u);
    }

    std::vector<QChar> m_characters;
    std::vector<qsizetype> m_starts;

    friend bool lookUpRun(QString& out, QStringView run);
};

bool lookUpRun(QString& out, QStringView run) {
    const FoldTable& table = FoldTable::instance();
    return table.m_starts.size() > 1 && table.append(out, run);
}

} // namespace

void appendFolded(QString& out, QStringView text) {
    const qsizetype base = out.size();
    // Folding never joins an ASCII character with its neighbours once accents are dropped, so
    // only the runs of other characters need ICU.
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = i;
        while (i < text.size() && text[i].unicode() < 0x80)
            ++i;
        if (i > start) {
            const qsizetype at = out.size();
            out.resize(at + (i - start));
            QChar* d = out.data() + at;
            for (qsizetype k = start; k < i; ++k) {
                const char16_t u = text[k].unicode();
                *d++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u);
            }
            continue;
        }
        while (i < text.size() && text[i].unicode() >= 0x80)
            ++i;
        const QStringView run = text.sliced(start, i - start);
        if (!lookUpRun(out, run) && !appendFoldedRun(out, run)) {
            // No ICU data: case is the best we can do.
            out.truncate(base);
            out.append(text.toString().toCaseFolded().toLower());
            return;
        }
    }
}

QString fold(QStringView text) {
    if (isAscii(text))
        return foldAscii(text);
    QString out;
    out.reserve(text.size());
    appendFolded(out, text);
    return out;
}

QString foldWhole(QStringView text) {
    QString out;
    if (!appendFoldedRun(out, text))
        return text.toString().toCaseFolded().toLower();
    return out;
}

void appendTokenSpans(QList<TokenSpan>& spans, QStringView folded) {
    qsizetype start = -1;
    qsizetype i = 0;
    while (i < folded.size()) {
        char32_t c = folded[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < folded.size() && folded[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(folded[i], folded[i + 1]);
            width = 2;
        }
        const bool extends =
            c < 0x80 ? ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
                     : (QChar::isLetterOrNumber(c) || (start >= 0 && isMark(c)));
        if (extends) {
            if (start < 0)
                start = i;
        } else if (start >= 0) {
            spans.append({start, i - start});
            start = -1;
        }
        i += width;
    }
    if (start >= 0)
        spans.append({start, folded.size() - start});
}

QList<TokenSpan> tokenSpans(QStringView folded) {
    QList<TokenSpan> spans;
    appendTokenSpans(spans, folded);
    return spans;
}

QStringList tokens(QStringView text) {
    const QString folded = fold(text);
    QStringList result;
    for (const TokenSpan& span : tokenSpans(folded))
        result.append(folded.mid(span.start, span.length));
    return result;
}

Traced foldTraced(QStringView text) {
    Traced traced;
    traced.folded.reserve(text.size());
    traced.sourceStart.reserve(text.size());
    traced.sourceEnd.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        // One character: a code point with the combining marks that follow it.
        const qsizetype start = i;
        auto next = [&text](qsizetype at, char32_t& c) {
            c = text[at].unicode();
            if (QChar::isHighSurrogate(c) && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[at], text[at + 1]);
                return at + 2;
            }
            return at + 1;
        };
        char32_t c = 0;
        i = next(i, c);
        while (i < text.size()) {
            char32_t following = 0;
            const qsizetype after = next(i, following);
            if (!isMark(following))
                break;
            i = after;
        }
        const QString piece = fold(text.sliced(start, i - start));
        traced.folded.append(piece);
        for (qsizetype k = 0; k < piece.size(); ++k) {
            traced.sourceStart.append(start);
            traced.sourceEnd.append(i);
        }
    }
    return traced;
}

void toUtf32(QStringView text, std::u32string& out) {
    // Never more code points than code units: written in place, then cut to what was written.
    out.resize(static_cast<std::size_t>(text.size()));
    char32_t* d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        *d++ = c;
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
}

std::u32string toUtf32(QStringView text) {
    std::u32string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    toUtf32(text, out);
    return out;
}

} // namespace pemmo::TextFolding
