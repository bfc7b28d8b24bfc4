// The sentence embedder on Linux: GloVe word vectors from a memory-mapped table, averaged with
// weights that favour rare words (a / (a + p(w)), p from the word's frequency rank), stop words
// and numbers left out, the directions every sentence shares removed; beside that meaning block,
// a block of the text's own word stems, so that texts sharing a rare word come closer and texts
// sharing none drift apart. The two blocks' shares are what fits the similarity scale to the
// panel's admission line.
#pragma once

#include "Semantic/Embedder.h"
#include "Semantic/WordTable.h"

#include <QStringList>
#include <QStringView>
#include <memory>
#include <string_view>
#include <vector>

namespace pemmo {

class GloveEmbedder : public Embedder {
public:
    // How sentence vectors are made from word vectors. The defaults are what the application
    // uses; the evaluation in bench/ tries others.
    struct Tuning {
        // The words' weight parameter; 0 takes the table's.
        double weightParameter = 0;
        // How many of the strongest shared directions are taken out of every sentence, and how
        // many of the next ones are kept as the meaning block (the weaker rest is mostly noise).
        int removedDirections = 3;
        int meaningDimensions = 80;
        // How far the kept directions are evened out: each is divided by (spread + floor)^(power/2),
        // the spread relative to the strongest kept direction's; power 0 leaves them as they are.
        double whitening = 1.0;
        double whiteningFloor = 0.1;
        // The stem block: every stem's pseudo-random ±1 code (seeded by the stem) weighted like its
        // word. Codes of different stems are nearly orthogonal, so the block's cosine is the
        // weighted share of stems two texts have in common, give or take 1 / √dimensions.
        int stemDimensions = 112;
        // The stem block's share of the squared length; the meaning block has the rest. A cosine is
        // then (1 − share) · meaning cosine + share · stem cosine.
        double stemShare = 0.25;
        // Leave out the light verbs and frame words (isFrameWord) as well as the stop words.
        bool dropFrameWords = true;
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

    int dimension() const override { return m_meaningDimensions + m_tuning.stemDimensions; }
    QString identifier() const override;
    std::optional<EmbeddingVector> embed(const QString& text) const override;

    const WordTable& table() const { return *m_table; }
    const Tuning& tuning() const { return m_tuning; }

    // Words that say nothing about a topic; their vectors only pull every sentence the same way.
    static bool isStopWord(QStringView folded);
    // Light verbs and frame words ("plays", "gave", "teach", "fan"), which wrap a topic without
    // being one. Unlike stop words, the table keeps them.
    static bool isFrameWord(QStringView folded);
    // The weight of the word of 1-based frequency rank `rank` among `vocabularySize` words:
    // a / (a + p), with p from Zipf's law.
    static double wordWeight(std::uint32_t rank, std::uint32_t vocabularySize, double a);
    // The English stem of a folded word ("bakes", "baking" → "bake"), as UTF-8.
    static std::string stem(std::string_view folded);

private:
    GloveEmbedder(std::unique_ptr<WordTable> table, Tuning tuning);

    std::unique_ptr<WordTable> m_table;
    Tuning m_tuning;
    double m_weightParameter;
    int m_removed = 0;
    int m_meaningDimensions = 0;
    // The kept directions, m_meaningDimensions × table dimension: a sentence's meaning block is its
    // weighted mean seen along each of them.
    std::vector<float> m_meaningBasis;
};

} // namespace pemmo
