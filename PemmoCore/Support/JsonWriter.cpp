#include "Support/JsonWriter.h"

#include "Support/IsoDate.h"

#include <charconv>

namespace pemmo {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, unsigned c) {
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    const char esc[6] = {'\\', 'u', '0', '0', kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
    out.append(esc, 6);
}

inline bool needsEscape(unsigned c) {
    return c < 0x20 || c == '"' || c == '\\';
}

} // namespace

void appendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (needsEscape(c)) {
            out.append(utf8.data() + runStart, i - runStart);
            appendEscape(out, c);
            runStart = i + 1;
        }
    }
    out.append(utf8.data() + runStart, utf8.size() - runStart);
    out += '"';
}

void appendJsonString(std::string& out, const QString& text) {
    // UTF-16 straight to escaped UTF-8, without an intermediate QByteArray per string.
    out += '"';
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* end = p + text.size();
    while (p < end) {
        const char32_t c = *p++;
        if (c < 0x80) {
            if (needsEscape(c))
                appendEscape(out, c);
            else
                out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c < 0xDC00 && p < end && *p >= 0xDC00 && *p < 0xE000) {
            const char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // A lone surrogate cannot be written as UTF-8; U+FFFD keeps the file valid.
            const char32_t cp = (c >= 0xD800 && c < 0xE000) ? 0xFFFD : c;
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out += '"';
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
