#include "Semantic/GloveEmbedder.h"

#include "Search/TextFolding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <libstemmer.h>

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
            "re",        "ve",         "live",     "lives",   "lived",   "living",     "work",
            "works",     "worked",     "working"};
        QSet<QString> set;
        for (const char* word : list)
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

const QSet<QString>& frameWords() {
    // The light verbs and frame words that questions and notes wrap around their topic: "who
    // plays golf?", "who can teach my kid piano?", "gave me a jar of honey", "football fan". Their
    // stems are shared by notes about anything ("Plays trumpet", "Plays rugby"), so they brought
    // unrelated people over the admission line; the topic words alone say what the text is about.
    // "go" stays: it is also the board game. They stay in the table (the sentence directions were
    // measured with them), and only the sentence recipe leaves them out.
    static const QSet<QString> words = [] {
        const char* const list[] = {
            "make",   "makes", "made",    "making", "give",     "gives",  "gave",  "given",  "goes",
            "went",   "gone",  "going",   "take",   "takes",    "took",   "taken", "help",   "helps",
            "helped", "teach", "teaches", "taught", "teaching", "play",   "plays", "played", "playing",
            "try",    "tries", "tried",   "show",   "shows",    "showed", "tell",  "tells",  "told",
            "fan",    "fans",  "lover",   "lovers", "lot",      "lots",   "good",  "great",  "new"};
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

// Snowball's English stemmer keeps state between calls, so each thread has its own.
struct StemmerDeleter {
    void operator()(sb_stemmer* stemmer) const { sb_stemmer_delete(stemmer); }
};

sb_stemmer* threadStemmer() {
    thread_local std::unique_ptr<sb_stemmer, StemmerDeleter> stemmer(sb_stemmer_new("english", "UTF_8"));
    return stemmer.get();
}

quint64 fnv1a(std::string_view bytes) {
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return hash;
}

// splitmix64: one step of a stream that turns a seed into well-spread bits.
quint64 nextBits(quint64& state) {
    quint64 z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Adds `weight` times the ±1 code of the stem with hash `seed` to `out`.
void addCode(quint64 seed, float weight, float* out, std::size_t size) {
    for (std::size_t block = 0; block < size; block += 64) {
        const quint64 bits = nextBits(seed);
        const std::size_t end = std::min<std::size_t>(size - block, 64);
        for (std::size_t bit = 0; bit < end; ++bit)
            out[block + bit] += (bits >> bit) & 1 ? -weight : weight;
    }
}

} // namespace

bool GloveEmbedder::isStopWord(QStringView folded) {
    return stopWords().contains(folded.toString());
}

bool GloveEmbedder::isFrameWord(QStringView folded) {
    return frameWords().contains(folded.toString());
}

std::string GloveEmbedder::stem(std::string_view folded) {
    sb_stemmer* stemmer = threadStemmer();
    const sb_symbol* stemmed =
        stemmer
            ? sb_stemmer_stem(stemmer, reinterpret_cast<const sb_symbol*>(folded.data()), int(folded.size()))
            : nullptr;
    if (!stemmed)
        return std::string(folded);
    return std::string(reinterpret_cast<const char*>(stemmed), std::size_t(sb_stemmer_length(stemmer)));
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
    if (table->componentCount() != table->dimension() || table->dimension() < 2 || table->count() == 0) {
        if (error)
            *error = QStringLiteral("the table has no words or not every direction of its sentences");
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
    const std::size_t dim = std::size_t(m_table->dimension());
    // However small the table, at most a quarter of its directions go and some stay.
    const int available = m_table->componentCount();
    m_removed = std::clamp(m_tuning.removedDirections, 0, available / 4);
    m_meaningDimensions = std::clamp(m_tuning.meaningDimensions, 1, std::max(available - m_removed, 1));
    // A component's squared length is how far sentences spread along it. Whitening divides each
    // kept direction by the root of its spread (plus a floor, relative to the strongest kept one,
    // so that the weakest, mostly noise, are not blown up): then no few broad themes outweigh
    // the rest, and two sentences are close only when they agree along many directions.
    const auto spread = [this, dim](int i) {
        const auto c = m_table->component(i);
        return double(dot(c.data(), c.data(), dim));
    };
    const double reference = m_removed < available ? spread(m_removed) : 0.0;
    const double power = std::max(m_tuning.whitening, 0.0);
    const double floor = std::max(m_tuning.whiteningFloor, 1e-6);
    m_meaningBasis.assign(std::size_t(m_meaningDimensions) * dim, 0.0f);
    for (int k = 0; k < m_meaningDimensions && m_removed + k < available; ++k) {
        const int i = m_removed + k;
        const double length = std::sqrt(spread(i));
        if (!(length > 0) || !(reference > 0))
            continue; // a direction nothing spreads along says nothing
        const double weight = std::pow(spread(i) / reference + floor, -power / 2) / length;
        const auto c = m_table->component(i);
        for (std::size_t d = 0; d < dim; ++d)
            m_meaningBasis[std::size_t(k) * dim + d] = float(weight * double(c[d]));
    }
    m_tuning.stemDimensions = std::max(m_tuning.stemDimensions, 0);
    m_tuning.stemShare = m_tuning.stemDimensions > 0 ? std::clamp(m_tuning.stemShare, 0.0, 0.95) : 0.0;
}

QString GloveEmbedder::identifier() const {
    // The table and the sentence recipe: vectors made any other way must not be mixed with these.
    QString id = m_table->name() + QStringLiteral("-sif-r%1k%2w%3f%4-stem%5s%6%7-%8")
                                       .arg(m_removed)
                                       .arg(m_meaningDimensions)
                                       .arg(qRound(std::max(m_tuning.whitening, 0.0) * 100))
                                       .arg(qRound(std::max(m_tuning.whiteningFloor, 0.0) * 100))
                                       .arg(m_tuning.stemDimensions)
                                       .arg(qRound(m_tuning.stemShare * 100))
                                       .arg(m_tuning.dropFrameWords ? QStringLiteral("-fw1") : QString())
                                       .arg(dimension());
    if (m_tuning.weightParameter > 0)
        id += QStringLiteral("-a%1").arg(m_weightParameter);
    return id;
}

std::optional<EmbeddingVector> GloveEmbedder::embed(const QString& text) const {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const std::size_t dim = static_cast<std::size_t>(m_table->dimension());
    std::vector<float> sum(dim, 0.0f);
    int found = 0;
    // Each stem once, with the largest weight it comes with.
    struct Stem {
        quint64 hash;
        float weight;
    };
    std::vector<Stem> stems;
    const QString folded = TextFolding::fold(trimmed);
    QByteArray utf8;
    QString word;
    for (const TextFolding::TokenSpan& span : TextFolding::tokenSpans(folded)) {
        const QStringView token = QStringView(folded).sliced(span.start, span.length);
        utf8 = token.toUtf8();
        const std::string_view bytes(utf8.constData(), std::size_t(utf8.size()));
        word.setUnicode(token.data(), token.size()); // reuses the buffer: one lookup key per token
        if (stopWords().contains(word) || (m_tuning.dropFrameWords && frameWords().contains(word)))
            continue;
        const auto index = m_table->find(bytes);
        float weight = 1.0f; // a word the table does not know is rarer than any it does
        if (index) {
            weight = static_cast<float>(
                wordWeight(m_table->rank(*index), m_table->vocabularySize(), m_weightParameter));
            const float scaled = weight * m_table->scale(*index);
            const auto values = m_table->vector(*index);
            for (std::size_t d = 0; d < dim; ++d)
                sum[d] += scaled * static_cast<float>(values[d]);
            ++found;
        } else {
            // Numbers never made it into the table; here they are left out too.
            if (std::all_of(token.begin(), token.end(), [](QChar c) { return c.isDigit(); }))
                continue;
        }
        if (m_tuning.stemDimensions == 0)
            continue;
        const quint64 hash = fnv1a(stem(bytes));
        const auto seen =
            std::find_if(stems.begin(), stems.end(), [hash](const Stem& s) { return s.hash == hash; });
        if (seen == stems.end())
            stems.push_back({hash, weight});
        else
            seen->weight = std::max(seen->weight, weight);
    }
    if (found == 0)
        return std::nullopt;

    // The meaning block: the weighted mean along the kept directions; the removed ones, which
    // every sentence shares, say nothing about this one.
    const std::size_t meaning = std::size_t(m_meaningDimensions);
    const std::size_t stemDimensions = std::size_t(m_tuning.stemDimensions);
    EmbeddingVector vector(meaning + stemDimensions, 0.0f);
    for (std::size_t k = 0; k < meaning; ++k)
        vector[k] = dot(sum.data(), m_meaningBasis.data() + k * dim, dim);
    const float meaningLength = std::sqrt(dot(vector.data(), vector.data(), meaning));
    if (!(meaningLength > 1e-6f))
        return std::nullopt;
    const float meaningScale = float(std::sqrt(1.0 - m_tuning.stemShare)) / meaningLength;
    for (std::size_t k = 0; k < meaning; ++k)
        vector[k] *= meaningScale;

    // The stem block.
    if (stemDimensions > 0) {
        float* block = vector.data() + meaning;
        for (const Stem& s : stems)
            addCode(s.hash, s.weight, block, stemDimensions);
        const float stemLength = std::sqrt(dot(block, block, stemDimensions));
        if (stemLength > 0) {
            const float stemScale = float(std::sqrt(m_tuning.stemShare)) / stemLength;
            for (std::size_t d = 0; d < stemDimensions; ++d)
                block[d] *= stemScale;
        }
    }
    return vector;
}

} // namespace pemmo
