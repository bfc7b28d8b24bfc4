// A streaming JSON writer into a byte buffer, compact or pretty-printed.
//
// The store re-encodes every record on each write; building a DOM first would cost more than the
// whole write budget, so the coders stream straight into one buffer through this writer.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QDateTime;

namespace pemmo {

class JsonWriter {
public:
    enum class Style { Compact, Pretty };

    // With `sortKeys` the coders write the members of every object in key order instead of their
    // own fixed order.
    explicit JsonWriter(Style style = Style::Compact, bool sortKeys = false);

    bool sortKeys() const { return m_sortKeys; }

    Style style() const { return m_style; }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();

    // Writes an object key; the value written next belongs to it.
    void key(std::string_view name);
    void key(const QString& name);
    void key(const char* name) { key(std::string_view(name)); }

    void value(std::string_view utf8);
    void value(const QString& text);
    void value(const char* utf8) { value(std::string_view(utf8)); }
    void value(std::int64_t number);
    void value(int number) { value(static_cast<std::int64_t>(number)); }
    void value(bool flag);
    void value(const QDateTime& date);
    void null();

    std::string& buffer() { return m_out; }
    std::string take() { return std::move(m_out); }

private:
    void beforeValue();
    void newline();

    Style m_style;
    bool m_sortKeys;
    std::string m_out;
    // Per open container: whether it holds a member yet (bytes: std::vector<bool> costs a bit
    // fiddle on every value).
    std::vector<std::uint8_t> m_hasMembers;
    bool m_afterKey = false;
};

// Appends `text` as a quoted, escaped JSON string.
void appendJsonString(std::string& out, std::string_view utf8);
void appendJsonString(std::string& out, const QString& text);

} // namespace pemmo
