// One entry of a person's timeline, and who or what produced it.
#pragma once

#include "Support/EnumTable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace pemmo {

struct Interaction {
    enum class Kind { Note, Met, Message, Call, Email, Other };

    // Who produced an entry or a change: a model (named), the user, or Pemmo itself.
    struct Source {
        enum class Kind { AI, User, Auto };

        Kind kind = Kind::User;
        QString model; // only meaningful for Kind::AI

        static Source ai(const QString& model) { return {Kind::AI, model}; }
        static Source user() { return {Kind::User, {}}; }
        static Source automatic() { return {Kind::Auto, {}}; }

        bool operator==(const Source& other) const {
            return kind == other.kind && (kind != Kind::AI || model == other.model);
        }
    };

    QUuid id;
    QDateTime date;
    Kind kind = Kind::Note;
    QString text;
    std::optional<QString> calendarEventHash;
    std::optional<QStringList> calendarEventAliases;
    Source source;

    bool operator==(const Interaction&) const = default;

    // The primary calendar hash followed by the aliases, duplicates removed, first kept.
    QStringList eventHashes() const;
};

// The names the kinds are stored under.
inline constexpr auto interactionKindNames = enumTable<Interaction::Kind>({
    {Interaction::Kind::Note, "note"},
    {Interaction::Kind::Met, "met"},
    {Interaction::Kind::Message, "message"},
    {Interaction::Kind::Call, "call"},
    {Interaction::Kind::Email, "email"},
    {Interaction::Kind::Other, "other"},
});
inline constexpr auto sourceKindNames = enumTable<Interaction::Source::Kind>({
    {Interaction::Source::Kind::AI, "ai"},
    {Interaction::Source::Kind::User, "user"},
    {Interaction::Source::Kind::Auto, "auto"},
});

QString kindName(Interaction::Kind kind);
std::optional<Interaction::Kind> interactionKindFromName(QStringView name);
QString sourceKindName(Interaction::Source::Kind kind);

} // namespace pemmo
