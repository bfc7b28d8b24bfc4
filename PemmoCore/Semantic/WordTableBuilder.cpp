#include "Semantic/WordTableBuilder.h"

#include "Search/TextFolding.h"
#include "Semantic/GloveEmbedder.h"
#include "Support/DecodingError.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <simdjson.h>

namespace pemmo::WordTableBuilder {
namespace {

[[noreturn]] void fail(const QString& path, const QString& description) {
    throw DecodingError(DecodingError::Kind::DataCorrupted, path, description);
}

struct Raw {
    std::uint32_t rank = 0; // 1-based
    QByteArray word;
    std::vector<float> vector;
};

// The eigenvectors of a symmetric positive semi-definite matrix, largest eigenvalue first, each of
// length the square root of its eigenvalue, by cyclic Jacobi rotations: slow for big matrices,
// exact to rounding for every eigenvector, which deflated power iteration is not for the weak ones.
std::vector<std::vector<float>> eigenvectors(std::vector<double> a, std::size_t n, int count) {
    std::vector<double> v(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        v[i * n + i] = 1;
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0, diagonal = 0;
        for (std::size_t p = 0; p < n; ++p) {
            diagonal += a[p * n + p] * a[p * n + p];
            for (std::size_t q = p + 1; q < n; ++q)
                off += a[p * n + q] * a[p * n + q];
        }
        if (off <= 1e-30 * diagonal)
            break;
        for (std::size_t p = 0; p < n; ++p) {
            for (std::size_t q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (apq == 0)
                    continue;
                const double theta = (a[q * n + q] - a[p * n + p]) / (2 * apq);
                const double t = (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (std::size_t k = 0; k < n; ++k) {
                    const double kp = a[k * n + p], kq = a[k * n + q];
                    a[k * n + p] = c * kp - s * kq;
                    a[k * n + q] = s * kp + c * kq;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    const double pk = a[p * n + k], qk = a[q * n + k];
                    a[p * n + k] = c * pk - s * qk;
                    a[q * n + k] = s * pk + c * qk;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    const double kp = v[k * n + p], kq = v[k * n + q];
                    v[k * n + p] = c * kp - s * kq;
                    v[k * n + q] = s * kp + c * kq;
                }
            }
        }
    }
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t x, std::size_t y) { return a[x * n + x] > a[y * n + y]; });
    std::vector<std::vector<float>> result;
    for (int r = 0; r < count && std::size_t(r) < n; ++r) {
        const std::size_t column = order[std::size_t(r)];
        // A sign that does not depend on the rotations: the largest entry positive.
        std::size_t largest = 0;
        for (std::size_t k = 1; k < n; ++k)
            if (std::abs(v[k * n + column]) > std::abs(v[largest * n + column]))
                largest = k;
        const double sign = v[largest * n + column] < 0 ? -1.0 : 1.0;
        const double length = std::sqrt(std::max(a[column * n + column], 0.0));
        std::vector<float> scaled(n);
        for (std::size_t k = 0; k < n; ++k)
            scaled[k] = static_cast<float>(sign * length * v[k * n + column]);
        result.push_back(std::move(scaled));
    }
    return result;
}

} // namespace

std::vector<std::vector<float>> sharedDirections(const WordTable::Source& source, int count,
                                                 int typicalSentenceWords) {
    const std::size_t dim = static_cast<std::size_t>(source.dimension);
    const std::size_t words = source.words.size();
    if (words == 0 || dim == 0 || count <= 0)
        return {};
    // A sentence word is drawn with probability proportional to p(w) (Zipf over the source
    // vocabulary), renormalised over the words kept; it contributes x = weight(w) · v(w).
    const double harmonic = std::log(std::max<double>(source.vocabularySize, 2)) + 0.5772156649015329;
    std::vector<double> probability(words);
    double total = 0;
    for (std::size_t i = 0; i < words; ++i) {
        probability[i] = 1.0 / (double(std::max<std::uint32_t>(source.ranks[i], 1)) * harmonic);
        total += probability[i];
    }
    std::vector<double> mean(dim, 0.0);
    std::vector<double> second(dim * dim, 0.0);
    std::vector<double> x(dim);
    for (std::size_t i = 0; i < words; ++i) {
        const double p = probability[i] / total;
        const double weight =
            GloveEmbedder::wordWeight(source.ranks[i], source.vocabularySize, source.weightParameter);
        for (std::size_t d = 0; d < dim; ++d)
            x[d] = weight * source.vectors[i * dim + d];
        for (std::size_t a = 0; a < dim; ++a) {
            mean[a] += p * x[a];
            const double pa = p * x[a];
            for (std::size_t b = a; b < dim; ++b)
                second[a * dim + b] += pa * x[b];
        }
    }
    for (std::size_t a = 0; a < dim; ++a)
        for (std::size_t b = 0; b < a; ++b)
            second[a * dim + b] = second[b * dim + a];
    // E[s sᵀ] for the mean s of n independent words: μμᵀ + (E[x xᵀ] − μμᵀ) / n.
    const double n = std::max(typicalSentenceWords, 1);
    std::vector<double> matrix(dim * dim);
    for (std::size_t a = 0; a < dim; ++a)
        for (std::size_t b = 0; b < dim; ++b)
            matrix[a * dim + b] = mean[a] * mean[b] + (second[a * dim + b] - mean[a] * mean[b]) / n;
    return eigenvectors(std::move(matrix), dim, count);
}

WordTable::Source fromPackageJson(const QByteArray& json, const Options& options) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (const auto error =
            parser
                .parse(simdjson::padded_string(std::string_view(json.constData(), std::size_t(json.size()))))
                .get(root))
        fail({},
             QStringLiteral("not valid JSON (%1)").arg(QString::fromUtf8(simdjson::error_message(error))));
    std::int64_t dimensions = 0;
    if (root["dimensions"].get(dimensions) || dimensions <= 0 || dimensions > 4096)
        fail(QStringLiteral("dimensions"), QStringLiteral("expected a positive dimension"));
    simdjson::dom::object vectors;
    if (root["vectors"].get(vectors))
        fail(QStringLiteral("vectors"), QStringLiteral("expected an object"));
    const std::size_t dim = std::size_t(dimensions);

    // Each vector is [values…, norm, index]: the index is the word's place in the frequency list.
    std::vector<Raw> raw;
    raw.reserve(vectors.size());
    std::uint32_t vocabulary = 0;
    for (const auto field : vectors) {
        ++vocabulary;
        simdjson::dom::array values;
        if (field.value.get(values) || values.size() < dim + 2)
            fail(QStringLiteral("vectors.") +
                     QString::fromUtf8(field.key.data(), qsizetype(field.key.size())),
                 QStringLiteral("expected %1 values, the norm and the index").arg(dim));
        Raw entry;
        entry.word = QByteArray(field.key.data(), qsizetype(field.key.size()));
        entry.vector.reserve(dim);
        std::size_t at = 0;
        for (const auto value : values) {
            double number = 0;
            if (value.get(number))
                fail(QStringLiteral("vectors.") + QString::fromUtf8(entry.word),
                     QStringLiteral("expected numbers"));
            if (at < dim)
                entry.vector.push_back(static_cast<float>(number));
            else if (at == dim + 1)
                entry.rank = static_cast<std::uint32_t>(number) + 1;
            ++at;
        }
        raw.push_back(std::move(entry));
    }
    std::sort(raw.begin(), raw.end(), [](const Raw& a, const Raw& b) { return a.rank < b.rank; });

    WordTable::Source source;
    source.name = options.name;
    source.dimension = static_cast<int>(dim);
    source.vocabularySize = vocabulary;
    source.weightParameter = options.weightParameter;
    QSet<QString> taken;
    for (Raw& entry : raw) {
        if (source.words.size() >= std::size_t(options.maxWords))
            break;
        // Search folds "Café" to "cafe" and splits "e-mail": keep only what a folded token can be,
        // and the more frequent of two words that fold alike.
        const QStringList tokens = TextFolding::tokens(QString::fromUtf8(entry.word));
        if (tokens.size() != 1 || GloveEmbedder::isStopWord(tokens.front()) || taken.contains(tokens.front()))
            continue;
        bool digits = true;
        for (const QChar c : tokens.front())
            digits = digits && c.isDigit();
        if (digits)
            continue;
        taken.insert(tokens.front());
        source.words.push_back(tokens.front().toUtf8());
        source.ranks.push_back(entry.rank);
        source.vectors.insert(source.vectors.end(), entry.vector.begin(), entry.vector.end());
    }
    source.components = sharedDirections(source, source.dimension, options.typicalSentenceWords);
    return source;
}

} // namespace pemmo::WordTableBuilder
