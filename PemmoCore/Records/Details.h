// Work, school and personal details Pemmo keeps beside a contact; every field is optional.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

struct Details {
    std::optional<QString> company;
    std::optional<QString> jobTitle;
    std::optional<QString> team;
    std::optional<QString> workLocation;
    std::optional<QString> school;
    std::optional<QString> major;
    std::optional<QString> graduationYear;
    std::optional<QString> howWeMet;
    std::optional<QString> mutuals;
    std::optional<QString> hometown;
    std::optional<QString> currentCity;
    std::optional<QString> email;

    bool operator==(const Details&) const = default;

    bool isEmpty() const { return *this == Details{}; }
};

} // namespace pemmo
