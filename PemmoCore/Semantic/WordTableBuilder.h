// Turns a word-vector package (a JSON document of words in frequency order with their vectors)
// into the compact table GloveEmbedder reads: words folded the way search folds them, the most
// frequent ones kept, and the directions every sentence vector shares worked out once.
#pragma once

#include "Semantic/WordTable.h"

#include <QByteArray>
#include <QString>

namespace pemmo::WordTableBuilder {

struct Options {
    QString name;                  // stored in the table; the embedder's identifier starts with it
    int maxWords = 200'000;        // the most frequent words kept
    int typicalSentenceWords = 8;  // the length of the sentences the shared directions are found for
    float weightParameter = 1e-3f; // the `a` of the words' weights a / (a + p(w))
};

// Reads the package's document: {"dimensions", "words": [...most frequent first],
// "vectors": {word: [values..., norm, index]}}. Words that do not fold to a single search token,
// stop words, and words that fold like a more frequent one are left out. Throws DecodingError.
WordTable::Source fromPackageJson(const QByteArray& json, const Options& options);

// The principal directions of sentence vectors made of these words, strongest first: the
// eigenvectors of E[s sᵀ], where s is the mean of `typicalSentenceWords` weighted word vectors
// drawn with the words' frequencies, each of length the square root of its eigenvalue (how far
// sentences spread along it). The table stores all of them; the strongest are what every
// sentence shares.
std::vector<std::vector<float>> sharedDirections(const WordTable::Source& source, int count,
                                                 int typicalSentenceWords);

} // namespace pemmo::WordTableBuilder
