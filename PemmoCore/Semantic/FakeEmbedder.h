// A stand-in embedder for in-memory environments and tests: the same text always gives the same
// 32 numbers, derived from its hash; equal texts meet, different ones rarely do.
#pragma once

#include "Semantic/Embedder.h"

namespace pemmo {

class FakeEmbedder : public Embedder {
public:
    int dimension() const override { return 32; }
    QString identifier() const override { return QStringLiteral("fake-32"); }
    std::optional<EmbeddingVector> embed(const QString& text) const override;
};

} // namespace pemmo
