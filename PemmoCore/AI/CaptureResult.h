// A quick note turned into structured updates by a model; nothing of it is saved until the user
// has reviewed it as a proposal.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo {

struct FieldUpdate {
    QString field; // meant to be a WritableField name; anything else is dropped later
    QString value;

    bool operator==(const FieldUpdate&) const = default;
};

struct CaptureResult {
    std::optional<QString> personName;
    QList<FieldUpdate> fieldUpdates;
    std::optional<QString> interactionKind;
    std::optional<QString> interactionText;
    std::optional<QString> interactionDate; // "yyyy-MM-dd"
    QStringList tags;
    std::optional<QString> aboutAppend;

    bool operator==(const CaptureResult&) const = default;
};

} // namespace pemmo
