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

private:
    void scoreTerm(const SearchIndex& index, std::u32string_view term);
    void spread(const TokenVocabulary& vocabulary, std::uint32_t id, int kind);

    std::vector<std::uint8_t> m_alive;
    std::vector<std::uint8_t> m_member;
    std::vector<double> m_sum;
    std::vector<double> m_best;
    std::vector<Candidate> m_candidates;
    std::u32string m_term;
};

} // namespace pemmo
