// Record decoding over a parsed simdjson document; private to the core library.
#pragma once

#include "Records/PemmoRecord.h"

#include <QDateTime>
#include <QString>
#include <cstddef>
#include <simdjson.h>
#include <string_view>

namespace pemmo::RecordCoding {

// The coding path of a value ("records.ABC.interactions.0.source"), kept as a chain of frames on
// the decoder's stack and spelled out only when an error names it. A store file holds hundreds of
// thousands of values and almost never an error, so no value should pay for a string.
class CodingPath {
public:
    CodingPath() = default;
    // `key` must outlive this path (it points into the parsed document).
    CodingPath(const CodingPath& parent, std::string_view key)
        : m_parent(&parent)
        , m_key(key)
        , m_kind(Kind::Key) {}
    CodingPath(const CodingPath& parent, std::size_t index)
        : m_parent(&parent)
        , m_index(index)
        , m_kind(Kind::Index) {}
    // A path keeps a pointer to its parent: a temporary parent would dangle.
    CodingPath(CodingPath&&, std::string_view) = delete;
    CodingPath(CodingPath&&, std::size_t) = delete;

    // Keys joined by dots, list indexes as numbers; empty for the root.
    QString toString() const {
        if (m_kind == Kind::Root)
            return {};
        QString path = m_parent->toString();
        if (m_kind == Kind::Index)
            return path + u'.' + QString::number(m_index);
        const QString key = QString::fromUtf8(m_key.data(), static_cast<qsizetype>(m_key.size()));
        return path.isEmpty() ? key : path + u'.' + key;
    }

private:
    enum class Kind { Root, Key, Index };

    const CodingPath* m_parent = nullptr;
    std::string_view m_key;
    std::size_t m_index = 0;
    Kind m_kind = Kind::Root;
};

// `path` is the coding path of `element`, used in error descriptions.
PemmoRecord decode(simdjson::dom::element element, const QDateTime& now, const CodingPath& path);

} // namespace pemmo::RecordCoding
