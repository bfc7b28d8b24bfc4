#include "Semantic/WordTable.h"

#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/Hashing.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace pemmo {
namespace {

static_assert(std::endian::native == std::endian::little, "the table is read in place as little-endian");

enum Section { Components, Scales, Ranks, Vectors, WordStarts, WordBytes, Buckets, SectionCount };

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t dimension;
    std::uint32_t count;
    std::uint32_t bucketCount;
    std::uint32_t componentCount;
    std::uint32_t vocabularySize;
    char name[WordTable::nameLength];
    std::uint64_t offsets[SectionCount];
    float weightParameter;
    std::uint32_t reserved;
};
static_assert(sizeof(Header) == 128);

std::size_t aligned(std::size_t size) {
    return (size + 7) & ~std::size_t(7);
}

template <class T> void append(std::string& out, const T* data, std::size_t count) {
    out.append(reinterpret_cast<const char*>(data), count * sizeof(T));
    out.resize(aligned(out.size()), '\0');
}

std::uint32_t bucketCountFor(std::size_t words) {
    // At most half full, so a probe ends after a step or two.
    return std::bit_ceil(static_cast<std::uint32_t>(std::max<std::size_t>(words * 2, 16)));
}

} // namespace

WordTable::~WordTable() {
    if (m_file && m_data)
        m_file->unmap(const_cast<uchar*>(m_data));
}

std::unique_ptr<WordTable> WordTable::open(const QString& path, QString* error) {
    const auto fail = [error](const QString& why) -> std::unique_ptr<WordTable> {
        if (error)
            *error = why;
        return nullptr;
    };
    std::unique_ptr<WordTable> table(new WordTable);
    table->m_path = path;
    table->m_file = std::make_unique<QFile>(path);
    if (!table->m_file->open(QIODevice::ReadOnly))
        return fail(table->m_file->errorString());
    const qint64 size = table->m_file->size();
    if (size < qint64(sizeof(Header)))
        return fail(QStringLiteral("not a word table"));
    // Mapped read-only and shared: the pages belong to the page cache, not to this process.
    const uchar* data = table->m_file->map(0, size);
    if (!data)
        return fail(table->m_file->errorString());
    table->m_data = data;
    table->m_size = static_cast<std::size_t>(size);

    Header header;
    std::memcpy(&header, data, sizeof header);
    if (std::memcmp(header.magic, magic, 8) != 0 || header.version != version)
        return fail(QStringLiteral("not a word table of version %1").arg(version));
    const std::size_t dim = header.dimension;
    const std::size_t count = header.count;
    const std::size_t sizes[SectionCount] = {header.componentCount * dim * sizeof(float),
                                             count * sizeof(float),
                                             count * sizeof(std::uint32_t),
                                             count * dim,
                                             (count + 1) * sizeof(std::uint32_t),
                                             0,
                                             header.bucketCount * sizeof(std::uint32_t)};
    for (int s = 0; s < SectionCount; ++s) {
        const std::uint64_t offset = header.offsets[s];
        if (offset % 8 != 0 || offset > table->m_size || sizes[s] > table->m_size - offset)
            return fail(QStringLiteral("the table is cut short"));
    }
    if (dim == 0 || std::popcount(header.bucketCount) != 1)
        return fail(QStringLiteral("not a word table"));

    table->m_dimension = header.dimension;
    table->m_count = header.count;
    table->m_bucketCount = header.bucketCount;
    table->m_componentCount = header.componentCount;
    table->m_vocabularySize = header.vocabularySize;
    table->m_weightParameter = header.weightParameter;
    table->m_components = reinterpret_cast<const float*>(data + header.offsets[Components]);
    table->m_scales = reinterpret_cast<const float*>(data + header.offsets[Scales]);
    table->m_ranks = reinterpret_cast<const std::uint32_t*>(data + header.offsets[Ranks]);
    table->m_vectors = reinterpret_cast<const std::int8_t*>(data + header.offsets[Vectors]);
    table->m_wordStarts = reinterpret_cast<const std::uint32_t*>(data + header.offsets[WordStarts]);
    table->m_wordBytes = reinterpret_cast<const char*>(data + header.offsets[WordBytes]);
    table->m_buckets = reinterpret_cast<const std::uint32_t*>(data + header.offsets[Buckets]);
    const std::size_t wordBytes = table->m_size - header.offsets[WordBytes];
    if (table->m_wordStarts[count] > wordBytes)
        return fail(QStringLiteral("the table is cut short"));
    return table;
}

QString WordTable::name() const {
    const char* name = reinterpret_cast<const Header*>(m_data)->name;
    return QString::fromUtf8(name, qsizetype(strnlen(name, nameLength)));
}

std::string_view WordTable::word(std::uint32_t index) const {
    const std::uint32_t start = m_wordStarts[index];
    return {m_wordBytes + start, m_wordStarts[index + 1] - start};
}

std::optional<std::uint32_t> WordTable::find(std::string_view utf8) const {
    const std::uint32_t mask = m_bucketCount - 1;
    std::uint32_t at =
        static_cast<std::uint32_t>(Hashing::fnv1a64(QByteArrayView(utf8.data(), qsizetype(utf8.size())))) &
        mask;
    for (std::uint32_t probes = 0; probes < m_bucketCount; ++probes, at = (at + 1) & mask) {
        const std::uint32_t slot = m_buckets[at];
        if (slot == 0)
            return std::nullopt;
        if (slot - 1 < m_count && word(slot - 1) == utf8)
            return slot - 1;
    }
    return std::nullopt;
}

void WordTable::write(const Source& source, const QString& path) {
    const std::size_t dim = static_cast<std::size_t>(source.dimension);
    const std::size_t count = source.words.size();
    Header header{};
    std::memcpy(header.magic, magic, 8);
    header.version = version;
    header.dimension = static_cast<std::uint32_t>(dim);
    header.count = static_cast<std::uint32_t>(count);
    header.bucketCount = bucketCountFor(count);
    header.componentCount = static_cast<std::uint32_t>(source.components.size());
    header.vocabularySize = source.vocabularySize;
    header.weightParameter = source.weightParameter;
    const QByteArray name = source.name.toUtf8().left(qsizetype(nameLength));
    std::memcpy(header.name, name.constData(), std::size_t(name.size()));

    // Each vector as int8 with its own scale: the largest value maps to ±127.
    std::vector<float> scales(count);
    std::vector<std::int8_t> quantised(count * dim);
    for (std::size_t i = 0; i < count; ++i) {
        const float* v = source.vectors.data() + i * dim;
        float largest = 0;
        for (std::size_t d = 0; d < dim; ++d)
            largest = std::max(largest, std::abs(v[d]));
        scales[i] = largest > 0 ? largest / 127.0f : 0.0f;
        for (std::size_t d = 0; d < dim; ++d)
            quantised[i * dim + d] =
                scales[i] > 0 ? static_cast<std::int8_t>(std::lround(v[d] / scales[i])) : std::int8_t(0);
    }
    std::vector<std::uint32_t> starts(count + 1);
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        starts[i] = static_cast<std::uint32_t>(bytes.size());
        bytes.append(source.words[i].constData(), std::size_t(source.words[i].size()));
    }
    starts[count] = static_cast<std::uint32_t>(bytes.size());
    std::vector<std::uint32_t> buckets(header.bucketCount, 0);
    const std::uint32_t mask = header.bucketCount - 1;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t at = static_cast<std::uint32_t>(Hashing::fnv1a64(source.words[i])) & mask;
        while (buckets[at] != 0)
            at = (at + 1) & mask;
        buckets[at] = static_cast<std::uint32_t>(i + 1);
    }

    std::string out(sizeof(Header), '\0');
    const auto section = [&](Section s) { header.offsets[s] = out.size(); };
    section(Components);
    for (const auto& component : source.components)
        out.append(reinterpret_cast<const char*>(component.data()), dim * sizeof(float));
    section(Scales);
    append(out, scales.data(), count);
    section(Ranks);
    append(out, source.ranks.data(), count);
    section(Vectors);
    append(out, quantised.data(), quantised.size());
    section(WordStarts);
    append(out, starts.data(), starts.size());
    section(WordBytes);
    append(out, bytes.data(), bytes.size());
    section(Buckets);
    append(out, buckets.data(), buckets.size());
    std::memcpy(out.data(), &header, sizeof header);
    AtomicFile::write(path, out, 0644);
}

} // namespace pemmo
