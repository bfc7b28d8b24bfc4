// The per-keystroke pass of LexicalScorer over a whole index: the same scores as
// LexicalScorer::score for every entry, but each query term is compared with every distinct word
// once and the results are spread to the people through the postings. The buffers live from one
// keystroke to the next, so a search allocates nothing per person.
#pragma once

#include "Search/SearchIndex.h"

#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

namespace pemmo {

class IndexScorer {
public:
    struct Candidate {
        std::uint32_t entry;
        double score;
    };

    // The entries of `index` that match, in index order, with their lexical scores. The list is
    // valid until the next call.
    std::vector<Candidate>& score(const SearchIndex& index, const QStringList& terms,
                                  const QStringList& tagFilters);

    // Below one live person per this many distinct words, a term is scored person by person.
    static constexpr std::size_t defaultDirectCostPerPerson = 48;

    explicit IndexScorer(std::size_t directCostPerPerson = defaultDirectCostPerPerson)
        : m_directCostPerPerson(directCostPerPerson) {}

private:
    struct Term {
        std::u32string_view text;
        std::uint64_t bits;
        std::uint64_t pairs;
        bool fuzzy;
        // The same characters in 16 bits each, for the vocabularies that keep theirs so; only when
        // none is wider.
        bool narrow;
        std::u16string_view narrowText;
    };
    static constexpr std::int8_t unknownKind = -2;

    Term describe(std::u32string_view term);
    // The kind of match of the term in one word, joined name or run of initials; -1: none.
    static int wordKind(const TokenVocabulary& words, std::uint32_t id, const Term& t);
    static int joinedKind(const TokenVocabulary& joined, std::uint32_t id, const Term& t);
    static bool isAcronym(const TokenVocabulary& initials, std::uint32_t id, const Term& t);

    // Every word of the index against the term, spread through the postings.
    void scoreTermScan(const SearchIndex& index, std::u32string_view term, std::vector<double>& best);
    // Only the words of the people still in the running.
    void scoreTermDirect(const SearchIndex& index, std::u32string_view term, std::vector<double>& best);
    static void spread(const TokenVocabulary& vocabulary, std::uint32_t id, int kind,
                       std::vector<double>& best);

    const std::size_t m_directCostPerPerson;
    std::vector<std::uint8_t> m_alive;
    std::vector<std::uint8_t> m_member;
    std::vector<std::uint32_t> m_aliveList;
    std::vector<std::vector<double>> m_termBest; // per term, per entry
    std::vector<std::size_t> m_order;
    std::vector<std::int8_t> m_wordKinds;
    std::vector<std::int8_t> m_joinedKinds;
    std::vector<std::int8_t> m_acronymKinds;
    std::vector<Candidate> m_candidates;
    std::u32string m_term;
    std::u16string m_narrowTerm;
};

} // namespace pemmo
