// The parts of a person search looks into, in the order they are scored, with their weights.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace pemmo {

enum class SearchField { Name, Nickname, Company, Tags, Role, School, Phone, Email, City, About, Memory };

namespace SearchFields {

inline constexpr int count = 11;

inline constexpr std::array<SearchField, count> all{
    SearchField::Name, SearchField::Nickname, SearchField::Company, SearchField::Tags,
    SearchField::Role, SearchField::School,   SearchField::Phone,   SearchField::Email,
    SearchField::City, SearchField::About,    SearchField::Memory};

constexpr int index(SearchField field) {
    return static_cast<int>(field);
}

// How much a match in this field counts next to one in the name.
constexpr double weight(SearchField field) {
    switch (field) {
    case SearchField::Name:
        return 1.0;
    case SearchField::Nickname:
        return 0.9;
    case SearchField::Company:
    case SearchField::Tags:
        return 0.6;
    case SearchField::Role:
    case SearchField::School:
    case SearchField::Phone:
        return 0.5;
    case SearchField::Email:
        return 0.4;
    case SearchField::City:
        return 0.3;
    case SearchField::Memory:
        return 0.25;
    case SearchField::About:
        return 0.2;
    }
    return 0.0;
}

QString name(SearchField field);
std::optional<SearchField> fromName(QStringView name);

} // namespace SearchFields
} // namespace pemmo
