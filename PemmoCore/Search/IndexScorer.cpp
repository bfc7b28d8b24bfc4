#include "Search/IndexScorer.h"

#include "Search/EditDistance.h"
#include "Search/LexicalScorer.h"
#include "Search/TextFolding.h"

#include <algorithm>
#include <array>
#include <numeric>

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

// The term's comparisons with one word, in the width the vocabulary keeps. A vocabulary of 16-bit
// characters holds no wider one, so none of its words contains a term that has one; such a term
// can still be a typo away from a word, which is then compared by its code points.
template <typename Term> std::size_t findIn(const TokenVocabulary& v, std::uint32_t id, const Term& t) {
    if (!v.isNarrow())
        return v.wideWord(id).find(t.text);
    return t.narrow ? v.narrowWord(id).find(t.narrowText) : std::u16string_view::npos;
}

template <typename Term> bool startsWith(const TokenVocabulary& v, std::uint32_t id, const Term& t) {
    if (!v.isNarrow())
        return v.wideWord(id).starts_with(t.text);
    return t.narrow && v.narrowWord(id).starts_with(t.narrowText);
}

template <typename Term> bool typoOf(const TokenVocabulary& v, std::uint32_t id, const Term& t) {
    if (!v.isNarrow())
        return EditDistance::withinOne(v.wideWord(id), t.text);
    if (!t.narrow)
        return EditDistance::withinOne(v.word(id), t.text);
    return EditDistance::withinOne(v.narrowWord(id), t.narrowText);
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

    // Longer terms are rarer: scored first, they leave few people for the short ones, which are
    // then scored person by person instead of word by word. The scores are still summed in the
    // query's order, so the result is the same to the last bit.
    const std::size_t termCount = static_cast<std::size_t>(terms.size());
    if (m_termBest.size() < termCount)
        m_termBest.resize(termCount);
    m_order.resize(termCount);
    std::iota(m_order.begin(), m_order.end(), 0);
    std::stable_sort(m_order.begin(), m_order.end(), [&terms](std::size_t a, std::size_t b) {
        return terms[static_cast<qsizetype>(a)].size() > terms[static_cast<qsizetype>(b)].size();
    });
    for (const std::size_t t : m_order) {
        TextFolding::toUtf32(terms[static_cast<qsizetype>(t)], m_term);
        std::vector<double>& best = m_termBest[t];
        best.assign(n, 0.0);
        m_aliveList.clear();
        for (std::uint32_t e = 0; e < n; ++e) {
            if (m_alive[e])
                m_aliveList.push_back(e);
        }
        if (m_aliveList.size() * m_directCostPerPerson < index.words().size())
            scoreTermDirect(index, m_term, best);
        else
            scoreTermScan(index, m_term, best);
        // Every term must match: a person it missed is out.
        for (const std::uint32_t e : m_aliveList) {
            if (best[e] <= 0.0)
                m_alive[e] = 0;
        }
    }
    const auto count = static_cast<double>(termCount);
    for (std::uint32_t e = 0; e < n; ++e) {
        if (!m_alive[e])
            continue;
        double sum = 0.0;
        for (std::size_t t = 0; t < termCount; ++t)
            sum += m_termBest[t][e];
        m_candidates.push_back({e, sum / count});
    }
    return m_candidates;
}

void IndexScorer::spread(const TokenVocabulary& vocabulary, std::uint32_t id, int kind,
                         std::vector<double>& best) {
    const auto& values = kValues[static_cast<std::size_t>(kind)];
    for (const TokenVocabulary::Posting p : vocabulary.postings(id)) {
        const double value = values[static_cast<std::size_t>(TokenVocabulary::fieldOf(p))];
        double& slot = best[TokenVocabulary::entryOf(p)];
        if (value > slot)
            slot = value;
    }
}

IndexScorer::Term IndexScorer::describe(std::u32string_view term) {
    const bool narrow = std::all_of(term.begin(), term.end(), [](char32_t c) { return c <= 0xFFFF; });
    m_narrowTerm.clear();
    if (narrow)
        m_narrowTerm.insert(m_narrowTerm.end(), term.begin(), term.end());
    return {term,
            TokenVocabulary::signature(term),
            TokenVocabulary::pairSignature(term),
            term.size() >= static_cast<std::size_t>(LexicalScorer::fuzzyMinimumLength),
            narrow,
            m_narrowTerm};
}

int IndexScorer::wordKind(const TokenVocabulary& words, std::uint32_t id, const Term& t) {
    const std::size_t length = t.text.size();
    const std::size_t wordLength = words.length(id);
    if (wordLength + (t.fuzzy ? 1 : 0) < length)
        return -1;
    const bool pairsFit = (t.pairs & ~words.pairSignatures()[id]) == 0;
    if (!t.fuzzy && !pairsFit)
        return -1;
    const std::uint64_t missing = t.bits & ~words.signatures()[id];
    int kind = -1;
    if (missing == 0 && pairsFit && wordLength >= length) {
        const std::size_t at = findIn(words, id, t);
        if (at == 0)
            kind = wordLength == length ? kExact : kPrefix;
        else if (at != std::u32string_view::npos)
            kind = kSubstring;
    }
    // A typo leaves at most one of the term's characters out of the word.
    if ((kind < 0 || kind == kSubstring) && t.fuzzy && wordLength <= length + 1 &&
        (missing & (missing - 1)) == 0 && typoOf(words, id, t))
        kind = kFuzzy;
    return kind;
}

int IndexScorer::joinedKind(const TokenVocabulary& joined, std::uint32_t id, const Term& t) {
    const std::size_t wordLength = joined.length(id);
    if (wordLength < t.text.size() || (t.bits & ~joined.signatures()[id]) != 0 ||
        (t.pairs & ~joined.pairSignatures()[id]) != 0 || !startsWith(joined, id, t))
        return -1;
    return wordLength == t.text.size() ? kExact : kPrefix;
}

bool IndexScorer::isAcronym(const TokenVocabulary& initials, std::uint32_t id, const Term& t) {
    return initials.length(id) >= t.text.size() && (t.bits & ~initials.signatures()[id]) == 0 &&
           (t.pairs & ~initials.pairSignatures()[id]) == 0 &&
           findIn(initials, id, t) != std::u32string_view::npos;
}

void IndexScorer::scoreTermScan(const SearchIndex& index, std::u32string_view term,
                                std::vector<double>& best) {
    if (term.empty())
        return;
    const Term t = describe(term);
    // Words: decided once per distinct word. Words are numbered shortest first, so the ones too
    // short for this term are never looked at.
    const TokenVocabulary& words = index.words();
    for (std::uint32_t id = words.firstWithLength(t.fuzzy ? term.size() - 1 : term.size()); id < words.size();
         ++id) {
        if (const int kind = wordKind(words, id, t); kind >= 0)
            spread(words, id, kind, best);
    }
    const TokenVocabulary& joined = index.joinedNames();
    for (std::uint32_t id = joined.firstWithLength(term.size()); id < joined.size(); ++id) {
        if (const int kind = joinedKind(joined, id, t); kind >= 0)
            spread(joined, id, kind, best);
    }
    // Acronyms: a run of first characters is only worth a look where it would raise someone's
    // best so far: most long runs (memories, notes) belong to people already out or matched
    // better.
    if (term.size() < static_cast<std::size_t>(LexicalScorer::acronymMinimumLength))
        return;
    const TokenVocabulary& initials = index.initials();
    const auto& values = kValues[static_cast<std::size_t>(kAcronym)];
    for (std::uint32_t id = initials.firstWithLength(term.size()); id < initials.size(); ++id) {
        bool useful = false;
        for (const TokenVocabulary::Posting p : initials.postings(id)) {
            const std::uint32_t e = TokenVocabulary::entryOf(p);
            if (m_alive[e] && best[e] < values[static_cast<std::size_t>(TokenVocabulary::fieldOf(p))]) {
                useful = true;
                break;
            }
        }
        if (useful && isAcronym(initials, id, t))
            spread(initials, id, kAcronym, best);
    }
}

void IndexScorer::scoreTermDirect(const SearchIndex& index, std::u32string_view term,
                                  std::vector<double>& best) {
    if (term.empty())
        return;
    const Term t = describe(term);
    const TokenVocabulary& words = index.words();
    const TokenVocabulary& joined = index.joinedNames();
    const TokenVocabulary& initials = index.initials();
    // Each word is still judged once, the first time one of these people has it.
    m_wordKinds.assign(words.size(), unknownKind);
    m_joinedKinds.assign(joined.size(), unknownKind);
    m_acronymKinds.assign(initials.size(), unknownKind);
    const bool acronyms = term.size() >= static_cast<std::size_t>(LexicalScorer::acronymMinimumLength);
    for (const std::uint32_t e : m_aliveList) {
        double value = 0.0;
        index.wordsByEntry().forEach(e, [&](SearchField field, std::uint32_t id) {
            std::int8_t& kind = m_wordKinds[id];
            if (kind == unknownKind)
                kind = static_cast<std::int8_t>(wordKind(words, id, t));
            if (kind >= 0)
                value =
                    std::max(value, kValues[static_cast<std::size_t>(kind)][static_cast<std::size_t>(field)]);
        });
        if (const std::uint32_t id = index.joinedNameOf(e); id != SearchIndex::noWord) {
            std::int8_t& kind = m_joinedKinds[id];
            if (kind == unknownKind)
                kind = static_cast<std::int8_t>(joinedKind(joined, id, t));
            if (kind >= 0)
                value = std::max(value, kValues[static_cast<std::size_t>(kind)][0]);
        }
        if (acronyms) {
            index.initialsByEntry().forEach(e, [&](SearchField field, std::uint32_t id) {
                const double acronym =
                    kValues[static_cast<std::size_t>(kAcronym)][static_cast<std::size_t>(field)];
                if (acronym <= value)
                    return;
                std::int8_t& kind = m_acronymKinds[id];
                if (kind == unknownKind)
                    kind = static_cast<std::int8_t>(isAcronym(initials, id, t) ? kAcronym : -1);
                if (kind >= 0)
                    value = acronym;
            });
        }
        best[e] = value;
    }
}

} // namespace pemmo
