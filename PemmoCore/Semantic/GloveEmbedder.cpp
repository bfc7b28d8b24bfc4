#include "Semantic/GloveEmbedder.h"

#include "Search/TextFolding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <cmath>

namespace pemmo {
namespace {

// Euler–Mascheroni: the harmonic number H(n) is about ln n + γ.
constexpr double eulerGamma = 0.5772156649015329;

const QSet<QString>& stopWords() {
    // Function words, pronouns, auxiliaries and the filler of questions typed into the panel
    // ("who do I know that likes …"): none of them says what a note is about.
    static const QSet<QString> words = [] {
        const char* const list[] = {
            "a",         "about",      "above",    "after",   "again",   "against",    "all",
            "also",      "am",         "an",       "and",     "any",     "anybody",    "anyone",
            "anything",  "are",        "around",   "as",      "at",      "back",       "be",
            "because",   "been",       "before",   "being",   "below",   "between",    "both",
            "but",       "by",         "can",      "could",   "did",     "do",         "does",
            "doing",     "done",       "down",     "during",  "each",    "either",     "else",
            "enjoy",     "enjoyed",    "enjoys",   "etc",     "even",    "ever",       "every",
            "everybody", "everyone",   "few",      "find",    "for",     "from",       "further",
            "get",       "gets",       "got",      "had",     "has",     "have",       "having",
            "he",        "her",        "here",     "hers",    "herself", "him",        "himself",
            "his",       "how",        "i",        "if",      "in",      "interested", "into",
            "is",        "it",         "its",      "itself",  "just",    "know",       "knows",
            "let",       "like",       "liked",    "likes",   "love",    "loved",      "loves",
            "many",      "may",        "me",       "might",   "mine",    "more",       "most",
            "much",      "must",       "my",       "myself",  "no",      "nor",        "not",
            "now",       "of",         "off",      "often",   "on",      "once",       "one",
            "only",      "or",         "other",    "our",     "ours",    "ourselves",  "out",
            "over",      "own",        "people",   "person",  "quite",   "rather",     "really",
            "same",      "she",        "should",   "so",      "some",    "somebody",   "someone",
            "something", "such",       "than",     "that",    "the",     "their",      "theirs",
            "them",      "themselves", "then",     "there",   "these",   "they",       "thing",
            "things",    "this",       "those",    "through", "to",      "too",        "under",
            "until",     "up",         "upon",     "us",      "very",    "was",        "we",
            "were",      "what",       "whatever", "when",    "where",   "whether",    "which",
            "while",     "who",        "whom",     "whose",   "why",     "will",       "with",
            "within",    "without",    "would",    "yet",     "you",     "your",       "yours",
            "yourself",  "yourselves", "s",        "t",       "d",       "ll",         "m",
            "re",        "ve"};
        QSet<QString> set;
        for (const char* word : list)
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

float dot(const float* a, const float* b, std::size_t n) {
    float sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += a[i] * b[i];
    return sum;
}

} // namespace

bool GloveEmbedder::isStopWord(QStringView folded) {
    return stopWords().contains(folded.toString());
}

double GloveEmbedder::wordWeight(std::uint32_t rank, std::uint32_t vocabularySize, double a) {
    const double harmonic = std::log(std::max<double>(vocabularySize, 2)) + eulerGamma;
    const double p = 1.0 / (std::max<double>(rank, 1) * harmonic);
    return a / (a + p);
}

QStringList GloveEmbedder::searchPaths() {
    QStringList paths;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths.append(QDir(folder).filePath(QStringLiteral("pemmo/") + tableFileName()));
    if (QCoreApplication::instance()) {
        paths.append(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/../share/pemmo/") + tableFileName()));
    }
    paths.removeDuplicates();
    return paths;
}

std::unique_ptr<GloveEmbedder> GloveEmbedder::locate() {
    for (const QString& path : searchPaths()) {
        if (!QFileInfo::exists(path))
            continue;
        if (auto embedder = open(path))
            return embedder;
    }
    return nullptr;
}

std::unique_ptr<GloveEmbedder> GloveEmbedder::open(const QString& path, QString* error) {
    return open(path, Tuning{}, error);
}

std::unique_ptr<GloveEmbedder> GloveEmbedder::open(const QString& path, Tuning tuning, QString* error) {
    auto table = WordTable::open(path, error);
    if (!table)
        return nullptr;
    if (table->componentCount() < 1 || table->count() == 0) {
        if (error)
            *error = QStringLiteral("the table has no words or no shared direction");
        return nullptr;
    }
    return std::unique_ptr<GloveEmbedder>(new GloveEmbedder(std::move(table), std::move(tuning)));
}

GloveEmbedder::GloveEmbedder(std::unique_ptr<WordTable> table, Tuning tuning)
    : m_table(std::move(table))
    , m_tuning(std::move(tuning)) {
    m_weightParameter =
        m_tuning.weightParameter > 0 ? m_tuning.weightParameter : double(m_table->weightParameter());
    if (m_weightParameter <= 0)
        m_weightParameter = 1e-3;
    if (!m_tuning.directions.empty()) {
        m_directions = m_tuning.directions;
    } else {
        const int removed = std::clamp(m_tuning.removedDirections, 1, m_table->componentCount());
        for (int i = 0; i < removed; ++i) {
            const auto c = m_table->component(i);
            m_directions.emplace_back(c.begin(), c.end());
        }
    }
}

QString GloveEmbedder::identifier() const {
    // The table and the sentence recipe: vectors made any other way must not be mixed with these.
    return m_table->name() + QStringLiteral("-sif1-") + QString::number(dimension());
}

std::optional<EmbeddingVector> GloveEmbedder::embed(const QString& text) const {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const std::size_t dim = static_cast<std::size_t>(m_table->dimension());
    std::vector<float> sum(dim, 0.0f);
    int found = 0;
    quint64 seed = 0xcbf29ce484222325ULL;
    const QString folded = TextFolding::fold(trimmed);
    QByteArray utf8;
    for (const TextFolding::TokenSpan& span : TextFolding::tokenSpans(folded)) {
        // Stop words and numbers never made it into the table: a lookup is all it takes.
        const QStringView token = QStringView(folded).sliced(span.start, span.length);
        utf8 = token.toUtf8();
        const auto index = m_table->find(std::string_view(utf8.constData(), std::size_t(utf8.size())));
        if (!index)
            continue;
        const float weight = static_cast<float>(
            wordWeight(m_table->rank(*index), m_table->vocabularySize(), m_weightParameter) *
            m_table->scale(*index));
        seed = (seed ^ *index) * 0x100000001b3ULL;
        const auto values = m_table->vector(*index);
        for (std::size_t d = 0; d < dim; ++d)
            sum[d] += weight * static_cast<float>(values[d]);
        ++found;
    }
    if (found == 0)
        return std::nullopt;

    // What every sentence shares says nothing about this one.
    for (const auto& direction : m_directions) {
        const float along = dot(sum.data(), direction.data(), dim);
        for (std::size_t d = 0; d < dim; ++d)
            sum[d] -= along * direction[d];
    }
    const float length = std::sqrt(dot(sum.data(), sum.data(), dim));
    if (!(length > 1e-6f))
        return std::nullopt;
    // Unit length, then the lift along the first removed direction, which every vector is now
    // orthogonal to: the cosine of two sentences c becomes (c + lift) / (1 + lift).
    const float lift = static_cast<float>(std::sqrt(std::max(m_tuning.lift, 0.0)));
    const float own =
        m_tuning.privateDimensions > 0 ? float(std::sqrt(std::max(m_tuning.privateWeight, 0.0))) : 0.0f;
    const float norm = 1.0f / std::sqrt(1.0f + lift * lift + own * own);
    const std::vector<float>& first = m_directions.front();
    for (std::size_t d = 0; d < dim; ++d)
        sum[d] = (sum[d] / length + lift * first[d]) * norm;
    if (m_tuning.privateDimensions > 0) {
        std::vector<float> extra(std::size_t(m_tuning.privateDimensions));
        float extraLength = 0;
        for (float& value : extra) {
            seed += 0x9e3779b97f4a7c15ULL;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            z ^= z >> 31;
            value = static_cast<float>(static_cast<double>(z >> 11) / 4503599627370496.0 - 1.0);
            extraLength += value * value;
        }
        extraLength = std::sqrt(extraLength);
        for (float value : extra)
            sum.push_back(value / extraLength * own * norm);
    }
    return sum;
}

} // namespace pemmo
