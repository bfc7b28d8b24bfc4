#include "Search/IndexScorer.h"

#include "Search/EditDistance.h"
#include "Search/LexicalScorer.h"

#include <array>

namespace pemmo {
namespace {

using LexicalScorer::MatchKind;

constexpr int kindCount = 5;

// strength × weight for every kind and field, the very products LexicalScorer::score forms.
constexpr std::array<std::array<double, SearchFields::count>, kindCount> kValues = [] {
    std::array<std::array<double, SearchFields::count>, kindCount> values{};
    for (int k = 0; k < kindCount; ++k) {
        for (int f = 0; f < SearchFields::count; ++f)
            values[k][f] = LexicalScorer::strength(static_cast<MatchKind>(k)) *
                           SearchFields::weight(static_cast<SearchField>(f));
    }
    return values;
}();

constexpr int kExact = static_cast<int>(MatchKind::Exact);
constexpr int kPrefix = static_cast<int>(MatchKind::Prefix);
constexpr int kAcronym = static_cast<int>(MatchKind::Acronym);
constexpr int kFuzzy = static_cast<int>(MatchKind::Fuzzy);
constexpr int kSubstring = static_cast<int>(MatchKind::Substring);

void appendUtf32(std::u32string& out, const QString& text) {
    out.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.push_back(c);
    }
}

} // namespace

std::vector<IndexScorer::Candidate>& IndexScorer::score(const SearchIndex& index, const QStringList& terms,
                                                        const QStringList& tagFilters) {
    const std::size_t n = index.size();
    m_candidates.clear();
    m_alive.assign(n, 1);
    for (const QString& tag : tagFilters) {
        m_member.assign(n, 0);
        for (const std::uint32_t e : index.members(tag))
            m_member[e] = 1;
        for (std::size_t e = 0; e < n; ++e)
            m_alive[e] &= m_member[e];
    }
    if (terms.isEmpty()) {
        for (std::uint32_t e = 0; e < n; ++e) {
            if (m_alive[e])
                m_candidates.push_back({e, 1.0});
        }
        return m_candidates;
    }
    m_sum.assign(n, 0.0);
    for (const QString& term : terms) {
        appendUtf32(m_term, term);
        scoreTerm(index, m_term);
        // Every term must match: a person it missed is out.
        for (std::size_t e = 0; e < n; ++e) {
            if (!m_alive[e])
                continue;
            if (m_best[e] > 0.0)
                m_sum[e] += m_best[e];
            else
                m_alive[e] = 0;
        }
    }
    const auto count = static_cast<double>(terms.size());
    for (std::uint32_t e = 0; e < n; ++e) {
        if (m_alive[e])
            m_candidates.push_back({e, m_sum[e] / count});
    }
    return m_candidates;
}

void IndexScorer::spread(const TokenVocabulary& vocabulary, std::uint32_t id, int kind) {
    const auto& values = kValues[static_cast<std::size_t>(kind)];
    for (const TokenVocabulary::Posting p : vocabulary.postings(id)) {
        const double value = values[static_cast<std::size_t>(TokenVocabulary::fieldOf(p))];
        double& best = m_best[TokenVocabulary::entryOf(p)];
        if (value > best)
            best = value;
    }
}

void IndexScorer::scoreTerm(const SearchIndex& index, std::u32string_view term) {
    m_best.assign(index.size(), 0.0);
    const std::size_t length = term.size();
    if (length == 0)
        return;
    const std::uint64_t termBits = TokenVocabulary::signature(term);
    const std::uint64_t termPairs = TokenVocabulary::pairSignature(term);
    const bool fuzzy = length >= static_cast<std::size_t>(LexicalScorer::fuzzyMinimumLength);

    // Words: exact, prefix, typo or fragment, decided once per distinct word. Words are numbered
    // shortest first, so the ones too short for this term are never looked at.
    const TokenVocabulary& words = index.words();
    const auto lengths = words.lengths();
    const auto signatures = words.signatures();
    const auto pairs = words.pairSignatures();
    const std::size_t shortest = fuzzy ? length - 1 : length;
    for (std::uint32_t id = words.firstWithLength(shortest); id < words.size(); ++id) {
        const std::size_t wordLength = lengths[id];
        if (!fuzzy && (termPairs & ~pairs[id]) != 0)
            continue;
        const std::uint64_t missing = termBits & ~signatures[id];
        int kind = -1;
        if (missing == 0 && wordLength >= length && (termPairs & ~pairs[id]) == 0) {
            const std::size_t at = words.word(id).find(term);
            if (at == 0)
                kind = wordLength == length ? kExact : kPrefix;
            else if (at != std::u32string_view::npos)
                kind = kSubstring;
        }
        // A typo leaves at most one of the term's characters out of the word.
        if ((kind < 0 || kind == kSubstring) && fuzzy && wordLength <= length + 1 &&
            (missing & (missing - 1)) == 0 && EditDistance::withinOne(words.word(id), term))
            kind = kFuzzy;
        if (kind >= 0)
            spread(words, id, kind);
    }

    // Names run together: exact or prefix only.
    const TokenVocabulary& joined = index.joinedNames();
    for (std::uint32_t id = joined.firstWithLength(length); id < joined.size(); ++id) {
        if ((termBits & ~joined.signatures()[id]) != 0 || (termPairs & ~joined.pairSignatures()[id]) != 0)
            continue;
        if (joined.word(id).starts_with(term))
            spread(joined, id, joined.lengths()[id] == length ? kExact : kPrefix);
    }

    // Acronyms: the term inside a field's run of first characters. Only worth a look where an
    // acronym would raise the person's best so far: most long runs (memories, notes) belong to
    // people already out or already matched better.
    if (length >= static_cast<std::size_t>(LexicalScorer::acronymMinimumLength)) {
        const TokenVocabulary& initials = index.initials();
        const auto& values = kValues[static_cast<std::size_t>(kAcronym)];
        for (std::uint32_t id = initials.firstWithLength(length); id < initials.size(); ++id) {
            if ((termBits & ~initials.signatures()[id]) != 0 ||
                (termPairs & ~initials.pairSignatures()[id]) != 0)
                continue;
            bool useful = false;
            for (const TokenVocabulary::Posting p : initials.postings(id)) {
                const std::uint32_t e = TokenVocabulary::entryOf(p);
                if (m_alive[e] && m_best[e] < values[static_cast<std::size_t>(TokenVocabulary::fieldOf(p))]) {
                    useful = true;
                    break;
                }
            }
            if (useful && initials.word(id).find(term) != std::u32string_view::npos)
                spread(initials, id, kAcronym);
        }
    }
}

} // namespace pemmo
