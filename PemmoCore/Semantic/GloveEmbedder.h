// The sentence embedder on Linux: GloVe word vectors from a memory-mapped table, averaged with
// weights that favour rare words (a / (a + p(w)), p from the word's frequency rank), stop words
// and numbers left out, the directions every sentence shares removed, and the similarity scale
// lifted so that texts about the same thing land above the panel's admission line and unrelated
// ones below it.
#pragma once

#include "Semantic/Embedder.h"
#include "Semantic/WordTable.h"

#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace pemmo {

class GloveEmbedder : public Embedder {
public:
    // How sentence vectors are made from word vectors. The defaults are what the application
    // uses; the evaluation in bench/ tries others.
    struct Tuning {
        // The words' weight parameter; 0 takes the table's.
        double weightParameter = 0;
        // How many of the table's shared directions are taken out of every sentence (at least 1:
        // the lift below lives on the first).
        int removedDirections = 3;
        // The cosine c of two sentences becomes (c + lift) / (1 + lift).
        double lift = 0;
        // Extra dimensions holding a component of the text's own (a pseudo-random unit vector
        // seeded by its words), weighted so that its square is `privateWeight`: two different
        // texts' components are nearly orthogonal, so every cosine shrinks by 1 / (1 + weight)
        // while a text stays identical to itself.
        int privateDimensions = 60;
        double privateWeight = 0.2;
        // Directions to use instead of the table's (for evaluating other weight parameters).
        std::vector<std::vector<float>> directions;
    };

    // The table's file name, in "pemmo" below a data folder.
    static QString tableFileName() { return QStringLiteral("glove-100d-200k.wordtable"); }
    // Where the table is looked for, in order: "pemmo" in the XDG data folders (the user's, then
    // the system's), then "share/pemmo" beside the executable's folder (the build tree and the
    // install prefix).
    static QStringList searchPaths();
    // The embedder over the first table found; absent when there is none.
    static std::unique_ptr<GloveEmbedder> locate();
    // The embedder over the table at `path`; absent (with the reason in `error`) when it cannot be
    // read.
    static std::unique_ptr<GloveEmbedder> open(const QString& path, QString* error = nullptr);
    static std::unique_ptr<GloveEmbedder> open(const QString& path, Tuning tuning, QString* error = nullptr);

    int dimension() const override { return m_table->dimension() + m_tuning.privateDimensions; }
    QString identifier() const override;
    std::optional<EmbeddingVector> embed(const QString& text) const override;

    const WordTable& table() const { return *m_table; }
    const Tuning& tuning() const { return m_tuning; }

    // Words that say nothing about a topic; their vectors only pull every sentence the same way.
    static bool isStopWord(QStringView folded);
    // The weight of the word of 1-based frequency rank `rank` among `vocabularySize` words:
    // a / (a + p), with p from Zipf's law.
    static double wordWeight(std::uint32_t rank, std::uint32_t vocabularySize, double a);

private:
    GloveEmbedder(std::unique_ptr<WordTable> table, Tuning tuning);

    std::unique_ptr<WordTable> m_table;
    Tuning m_tuning;
    double m_weightParameter;
    std::vector<std::vector<float>> m_directions; // the ones removed, first carries the lift
};

} // namespace pemmo
