// What the user typed into the timeline form and left without saving, per person and entry, kept
// until it is saved or emptied. It belongs to an environment, so a practice run keeps its own.
#pragma once

#include "Records/Interaction.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

class InteractionDrafts : public QObject {
    Q_OBJECT

public:
    struct Draft {
        Interaction::Kind kind = Interaction::Kind::Note;
        QString text;
        QString day;
    };

    // The drafts kept for `owner` (the environment), made on first use as its child.
    static InteractionDrafts& of(QObject& owner);

    // For a new entry about `contactID` (no `entryID`), or for the edit of that entry.
    std::optional<Draft> value(const QString& contactID, const std::optional<QUuid>& entryID) const;
    void keep(const QString& contactID, const std::optional<QUuid>& entryID, Draft draft);
    void drop(const QString& contactID, const std::optional<QUuid>& entryID);

private:
    explicit InteractionDrafts(QObject* parent);
    static QString key(const QString& contactID, const std::optional<QUuid>& entryID);

    QHash<QString, Draft> m_drafts;
};

} // namespace pemmo
