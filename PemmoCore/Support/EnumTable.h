// A fixed two-way mapping between the cases of an enumeration and their texts: one row per case,
// read in either direction, so that a case and its text are written down once.
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace pemmo {

template <class Enum> struct EnumText {
    Enum value;
    std::string_view text; // ASCII
};

template <class Enum, std::size_t N> class EnumTable {
public:
    constexpr explicit EnumTable(const EnumText<Enum> (&rows)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            m_rows[i] = rows[i];
    }

    // The text of `value`; empty for a value the table does not hold.
    constexpr std::string_view text(Enum value) const {
        for (const EnumText<Enum>& row : m_rows) {
            if (row.value == value)
                return row.text;
        }
        return {};
    }
    QString name(Enum value) const {
        const std::string_view found = text(value);
        return QString::fromLatin1(found.data(), static_cast<qsizetype>(found.size()));
    }

    // The case written as `text`, compared exactly.
    constexpr std::optional<Enum> find(std::string_view text) const {
        for (const EnumText<Enum>& row : m_rows) {
            if (row.text == text)
                return row.value;
        }
        return std::nullopt;
    }
    std::optional<Enum> find(QStringView text) const {
        for (const EnumText<Enum>& row : m_rows) {
            if (text == QLatin1StringView(row.text.data(), static_cast<qsizetype>(row.text.size())))
                return row.value;
        }
        return std::nullopt;
    }

    // Every case, in the table's order.
    constexpr std::array<Enum, N> values() const {
        std::array<Enum, N> values{};
        for (std::size_t i = 0; i < N; ++i)
            values[i] = m_rows[i].value;
        return values;
    }

    constexpr auto begin() const { return m_rows.begin(); }
    constexpr auto end() const { return m_rows.end(); }

private:
    std::array<EnumText<Enum>, N> m_rows{};
};

// `enumTable<Kind>({{Kind::A, "a"}, {Kind::B, "b"}})`: the row count comes from the list.
template <class Enum, std::size_t N> constexpr EnumTable<Enum, N> enumTable(const EnumText<Enum> (&rows)[N]) {
    return EnumTable<Enum, N>(rows);
}

} // namespace pemmo
