#include "Support/JsonWriter.h"

#include "Support/IsoDate.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace pemmo {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// The two-character escape of `c`, or 0 when it is written as \u00XX.
constexpr char shortEscape(unsigned c) {
    switch (c) {
    case '"':
        return '"';
    case '\\':
        return '\\';
    case '\b':
        return 'b';
    case '\f':
        return 'f';
    case '\n':
        return 'n';
    case '\r':
        return 'r';
    case '\t':
        return 't';
    default:
        return 0;
    }
}

constexpr std::size_t escapedLength(unsigned c) {
    return shortEscape(c) ? 2 : 6;
}

// Writes the escape of `c` at `o` and returns the position after it.
char* writeEscape(char* o, unsigned c) {
    *o++ = '\\';
    if (const char e = shortEscape(c)) {
        *o++ = e;
        return o;
    }
    *o++ = 'u';
    *o++ = '0';
    *o++ = '0';
    *o++ = kHex[(c >> 4) & 0xF];
    *o++ = kHex[c & 0xF];
    return o;
}

void appendEscape(std::string& out, unsigned c) {
    char escape[6];
    out.append(escape, static_cast<std::size_t>(writeEscape(escape, c) - escape));
}

constexpr bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}

constexpr bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

constexpr bool needsEscape(unsigned c) {
    return c < 0x20 || c == '"' || c == '\\';
}

static_assert(std::endian::native == std::endian::little, "the word-at-a-time paths read UTF-16 units "
                                                          "in little-endian order");

// Word-at-a-time tests (the classic "has a zero byte" trick), for the runs of plain text that
// make up most of a document.
template <class T> std::uint64_t load64(const T* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

constexpr std::uint64_t kOnes8 = 0x0101010101010101;
constexpr std::uint64_t kHigh8 = 0x8080808080808080;
constexpr std::uint64_t kOnes16 = 0x0001000100010001;
constexpr std::uint64_t kHigh16 = 0x8000800080008000;

// Whether any of eight bytes is below 0x20, '"' or '\\'. Bytes from 0x80 up (UTF-8 sequences) pass.
constexpr bool blockNeedsEscape(std::uint64_t bytes) {
    const auto hasZero = [](std::uint64_t v) { return (v - kOnes8) & ~v & kHigh8; };
    const std::uint64_t control = (bytes - kOnes8 * 0x20) & ~bytes & kHigh8;
    return (control | hasZero(bytes ^ (kOnes8 * '"')) | hasZero(bytes ^ (kOnes8 * '\\'))) != 0;
}

// Whether four UTF-16 units are all ASCII that needs no escape.
constexpr bool isPlainAscii(std::uint64_t units) {
    if (units & 0xFF80FF80FF80FF80)
        return false;
    // Every unit is below 0x80 now, so the 16-bit lanes cannot borrow into each other.
    const auto hasZero = [](std::uint64_t v) { return (v - kOnes16) & ~v & kHigh16; };
    const std::uint64_t control = (units - kOnes16 * 0x20) & ~units & kHigh16;
    return (control | hasZero(units ^ (kOnes16 * '"')) | hasZero(units ^ (kOnes16 * '\\'))) == 0;
}

} // namespace

void appendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    const char* const begin = utf8.data();
    const std::size_t size = utf8.size();
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < size) {
        // Eight bytes at a time while none of them needs an escape.
        if (i + 8 <= size && !blockNeedsEscape(load64(begin + i))) {
            i += 8;
            continue;
        }
        const auto c = static_cast<unsigned char>(begin[i]);
        if (needsEscape(c)) {
            out.append(begin + runStart, i - runStart);
            appendEscape(out, c);
            runStart = i + 1;
        }
        ++i;
    }
    out.append(begin + runStart, size - runStart);
    out += '"';
}

void appendJsonString(std::string& out, const QString& text) {
    // UTF-16 straight to escaped UTF-8. The first pass measures the output exactly, so that the
    // second writes through a plain pointer instead of growing the string byte by byte; both take
    // four plain ASCII units at a time. Texts are most of every store file.
    const auto* const begin = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = begin + text.size();
    std::size_t length = 2;
    for (const char16_t* p = begin; p < end;) {
        if (end - p >= 4 && isPlainAscii(load64(p))) {
            length += 4;
            p += 4;
            continue;
        }
        const char16_t c = *p++;
        if (c < 0x80) {
            length += needsEscape(c) ? escapedLength(c) : 1;
        } else if (c < 0x800) {
            length += 2;
        } else if (isHighSurrogate(c) && p < end && isLowSurrogate(*p)) {
            length += 4;
            ++p;
        } else {
            length += 3;
        }
    }

    const std::size_t start = out.size();
    out.resize(start + length);
    char* o = out.data() + start;
    *o++ = '"';
    for (const char16_t* p = begin; p < end;) {
        if (end - p >= 4) {
            const std::uint64_t units = load64(p);
            if (isPlainAscii(units)) {
                // Little-endian: unit k sits in bits 16k to 16k + 7.
                o[0] = static_cast<char>(units);
                o[1] = static_cast<char>(units >> 16);
                o[2] = static_cast<char>(units >> 32);
                o[3] = static_cast<char>(units >> 48);
                o += 4;
                p += 4;
                continue;
            }
        }
        const char32_t c = *p++;
        if (c < 0x80) {
            if (needsEscape(c))
                o = writeEscape(o, c);
            else
                *o++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (isHighSurrogate(c) && p < end && isLowSurrogate(*p)) {
            const char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // A lone surrogate cannot be written as UTF-8; U+FFFD keeps the file valid.
            const char32_t cp = (c >= 0xD800 && c < 0xE000) ? 0xFFFD : c;
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    *o = '"';
}

JsonWriter::JsonWriter(Style style, bool sortKeys)
    : m_style(style)
    , m_sortKeys(sortKeys) {}

void JsonWriter::newline() {
    m_out += '\n';
    m_out.append(m_hasMembers.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasMembers.empty())
        return;
    if (m_hasMembers.back())
        m_out += ',';
    m_hasMembers.back() = true;
    if (m_style == Style::Pretty)
        newline();
}

void JsonWriter::beginObject() {
    beforeValue();
    m_out += '{';
    m_hasMembers.push_back(false);
}

void JsonWriter::endObject() {
    const bool hadMembers = m_hasMembers.back();
    m_hasMembers.pop_back();
    if (m_style == Style::Pretty && hadMembers)
        newline();
    m_out += '}';
}

void JsonWriter::beginArray() {
    beforeValue();
    m_out += '[';
    m_hasMembers.push_back(false);
}

void JsonWriter::endArray() {
    const bool hadMembers = m_hasMembers.back();
    m_hasMembers.pop_back();
    if (m_style == Style::Pretty && hadMembers)
        newline();
    m_out += ']';
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    appendJsonString(m_out, name);
    m_out += m_style == Style::Pretty ? ": " : ":";
    m_afterKey = true;
}

void JsonWriter::key(const QString& name) {
    beforeValue();
    appendJsonString(m_out, name);
    m_out += m_style == Style::Pretty ? ": " : ":";
    m_afterKey = true;
}

void JsonWriter::value(std::string_view utf8) {
    beforeValue();
    appendJsonString(m_out, utf8);
}

void JsonWriter::value(const QString& text) {
    beforeValue();
    appendJsonString(m_out, text);
}

void JsonWriter::value(std::int64_t number) {
    beforeValue();
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, number);
    m_out.append(buf, result.ptr);
}

void JsonWriter::value(bool flag) {
    beforeValue();
    m_out += flag ? "true" : "false";
}

void JsonWriter::value(const QDateTime& date) {
    beforeValue();
    m_out += '"';
    IsoDate::appendTo(m_out, date);
    m_out += '"';
}

void JsonWriter::null() {
    beforeValue();
    m_out += "null";
}

} // namespace pemmo
