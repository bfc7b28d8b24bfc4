// Turns a text into a sentence vector, so that texts close in meaning get vectors close in angle.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace pemmo {

using EmbeddingVector = std::vector<float>;

class Embedder {
public:
    virtual ~Embedder() = default;

    // The vector length.
    virtual int dimension() const = 0;
    // Names the model and its dimension; vectors of different identifiers never mix.
    virtual QString identifier() const = 0;
    // The text's vector, `dimension` long; absent when the text is empty after trimming or the
    // model has no vector for it. Called from the index's own thread: implementations are
    // immutable once made.
    virtual std::optional<EmbeddingVector> embed(const QString& text) const = 0;
};

} // namespace pemmo
