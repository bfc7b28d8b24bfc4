// The single-value fields a user or an AI proposal may set, addressed by name.
#pragma once

#include "Records/PemmoRecord.h"

#include <QList>
#include <QString>
#include <optional>

namespace pemmo {

enum class WritableField {
    Company,
    JobTitle,
    Team,
    WorkLocation,
    School,
    Major,
    GraduationYear,
    HowWeMet,
    Mutuals,
    Hometown,
    CurrentCity,
    Email,
    MessageHandle,
    FindMyURL,
    GmailTemplate,
};

namespace WritableFields {

// Every field, in declaration order.
const QList<WritableField>& all();
QString name(WritableField field);
std::optional<WritableField> fromName(QStringView name);

// The record's slot for `field`: a Details field or one of the three top-level texts.
std::optional<QString>& slot(PemmoRecord& record, WritableField field);
const std::optional<QString>& slot(const PemmoRecord& record, WritableField field);

} // namespace WritableFields
} // namespace pemmo
