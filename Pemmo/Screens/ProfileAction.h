// One thing the user can do on a person's card, with what it acts on: the link, the timeline
// entry, the recorded change or the circle. Values compare and hash, so rows can be matched by
// the action they run.
#pragma once

#include <QHash>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

struct ProfileAction {
    enum class Kind {
        Link,
        EditLink,
        DeleteLink,
        EditMemory,
        DeleteMemory,
        Revert,
        RemoveTag,
        Back,
        ToggleStar,
        Message,
        Call,
        Mail,
        Gmail,
        FindMy,
        Draft,
        GenerateBriefing,
        ChangeAIProvider,
        AddLink,
        EditDetails,
        LogInteraction,
        ToggleTimeline,
        AddTag,
        Capture,
        UseContactsPhoto,
    };

    Kind kind = Kind::Back;
    // The link, entry or change (Link … Revert).
    QUuid item;
    // The circle's name (RemoveTag).
    QString circleName;

    static ProfileAction link(const QUuid& id) { return {Kind::Link, id, {}}; }
    static ProfileAction editLink(const QUuid& id) { return {Kind::EditLink, id, {}}; }
    static ProfileAction deleteLink(const QUuid& id) { return {Kind::DeleteLink, id, {}}; }
    static ProfileAction editMemory(const QUuid& id) { return {Kind::EditMemory, id, {}}; }
    static ProfileAction deleteMemory(const QUuid& id) { return {Kind::DeleteMemory, id, {}}; }
    static ProfileAction revert(const QUuid& id) { return {Kind::Revert, id, {}}; }
    static ProfileAction removeTag(const QString& name) { return {Kind::RemoveTag, {}, name}; }
    // The cases without a payload.
    static ProfileAction plain(Kind kind) { return {kind, {}, {}}; }

    bool operator==(const ProfileAction&) const = default;

    // "message", "toggleStar", … as QML names the cases without a payload.
    static QString kindName(Kind kind);
    static std::optional<Kind> kindFromName(QStringView name);
    static bool hasPayload(Kind kind);
};

inline size_t qHash(const ProfileAction& action, size_t seed = 0) {
    return qHashMulti(seed, int(action.kind), action.item, action.circleName);
}

// A row of the card the keyboard can select: its id, what Return does on it, and the hint shown
// while it is selected.
struct SelectableItem {
    QString id;
    ProfileAction action;
    QString hint;

    bool operator==(const SelectableItem&) const = default;
};

} // namespace pemmo
