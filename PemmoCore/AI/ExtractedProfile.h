// Facts a model pulled out of pasted text (a bio, a signature, a profile page).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo {

struct ExtractedLink {
    QString kind; // a hint such as "linkedin", "github", "website"
    QString url;

    bool operator==(const ExtractedLink&) const = default;
};

struct ExtractedProfile {
    std::optional<QString> givenName;
    std::optional<QString> familyName;
    std::optional<QString> jobTitle;
    std::optional<QString> company;
    std::optional<QString> team;
    std::optional<QString> school;
    std::optional<QString> major;
    std::optional<QString> graduationYear;
    std::optional<QString> currentCity;
    std::optional<QString> hometown;
    std::optional<QString> email;
    std::optional<QString> phone;
    QList<ExtractedLink> links;
    QStringList tags;
    std::optional<QString> summary;

    bool operator==(const ExtractedProfile&) const = default;
};

} // namespace pemmo
