// A table of word vectors read straight from a memory-mapped file: the words in order of
// frequency, each with its int8 vector and scale, a hash table to find them, and the directions
// the sentence vectors share. Nothing is copied into the heap, so the pages stay shared with the
// file and cost no private memory.
//
// File layout (little-endian, every section aligned to 8 bytes):
//   header      "PEMMOWT1", then u32 version, dimension, count, bucket count, component count,
//               u32 vocabulary size (the words the frequencies were counted over), a name of 32
//               bytes (UTF-8, zero-padded), u64 offsets of the sections below, and the float32
//               word-weight parameter the shared directions were found with
//   components  component count × dimension float32: the principal directions of sentence
//               vectors, strongest first, each of length the square root of its eigenvalue
//               (version 2 holds all of them: count = dimension)
//   scales      count float32: vector i is scale[i] × its int8 values
//   ranks       count u32: each word's 1-based frequency rank in the source vocabulary
//   vectors     count × dimension int8
//   wordStarts  (count + 1) u32: word i is the bytes [wordStarts[i], wordStarts[i + 1])
//   wordBytes   the words' folded UTF-8 bytes, one after the other
//   buckets     bucket count u32 (a power of two): word index + 1, or 0 for an empty bucket;
//               FNV-1a of the word's bytes, linear probing
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class QFile;

namespace pemmo {

class WordTable {
public:
    static constexpr char magic[9] = "PEMMOWT1";
    static constexpr std::uint32_t version = 2;
    static constexpr std::size_t nameLength = 32;

    // What the converter writes.
    struct Source {
        QString name; // at most 32 UTF-8 bytes
        int dimension = 0;
        std::uint32_t vocabularySize = 0;
        std::vector<QByteArray> words;    // folded UTF-8, most frequent first, distinct
        std::vector<std::uint32_t> ranks; // per word
        std::vector<float> vectors;       // words.size() × dimension
        std::vector<std::vector<float>> components;
        float weightParameter = 0; // the `a` of the words' weights a / (a + p(w))
    };

    // Maps the file; absent when it cannot be opened or is not a table of this version.
    static std::unique_ptr<WordTable> open(const QString& path, QString* error = nullptr);
    // Quantises `source` and writes it to `path` atomically. Throws FileError.
    static void write(const Source& source, const QString& path);

    ~WordTable();

    const QString& path() const { return m_path; }
    QString name() const;
    int dimension() const { return static_cast<int>(m_dimension); }
    std::uint32_t count() const { return m_count; }
    std::uint32_t vocabularySize() const { return m_vocabularySize; }
    std::size_t fileSize() const { return m_size; }

    // The index of a folded word, if the table has it.
    std::optional<std::uint32_t> find(std::string_view utf8) const;
    std::string_view word(std::uint32_t index) const;
    std::uint32_t rank(std::uint32_t index) const { return m_ranks[index]; }
    float scale(std::uint32_t index) const { return m_scales[index]; }
    std::span<const std::int8_t> vector(std::uint32_t index) const {
        return {m_vectors + std::size_t(index) * m_dimension, m_dimension};
    }
    std::span<const float> component(int index) const {
        return {m_components + std::size_t(index) * m_dimension, m_dimension};
    }
    int componentCount() const { return static_cast<int>(m_componentCount); }
    float weightParameter() const { return m_weightParameter; }

private:
    WordTable() = default;

    QString m_path;
    std::unique_ptr<QFile> m_file;
    const uchar* m_data = nullptr;
    std::size_t m_size = 0;
    std::uint32_t m_dimension = 0;
    std::uint32_t m_count = 0;
    std::uint32_t m_bucketCount = 0;
    std::uint32_t m_componentCount = 0;
    std::uint32_t m_vocabularySize = 0;
    float m_weightParameter = 0;
    const float* m_components = nullptr;
    const float* m_scales = nullptr;
    const std::uint32_t* m_ranks = nullptr;
    const std::int8_t* m_vectors = nullptr;
    const std::uint32_t* m_wordStarts = nullptr;
    const char* m_wordBytes = nullptr;
    const std::uint32_t* m_buckets = nullptr;
};

} // namespace pemmo
