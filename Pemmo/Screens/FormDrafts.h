// What the user typed into a form of the panel and left without saving, kept until it is saved or
// emptied: the timeline form's text, kind and day per person and entry, and the text of Quick
// capture and Enrich from text per person. It belongs to an environment, so a practice run keeps
// its own; nothing survives quitting.
#pragma once

#include "Records/Interaction.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace pemmo {

class FormDrafts : public QObject {
    Q_OBJECT

public:
    struct Entry {
        Interaction::Kind kind = Interaction::Kind::Note;
        QString text;
        QString day;
    };
    enum class TextForm { Capture, Enrich };

    // The drafts kept for `owner` (the environment), made on first use as its child.
    static FormDrafts& of(QObject& owner);

    // The timeline form: a new entry about `contactID` (no `entryID`), or the edit of that entry.
    std::optional<Entry> entry(const QString& contactID, const std::optional<QUuid>& entryID) const;
    void keepEntry(const QString& contactID, const std::optional<QUuid>& entryID, Entry draft);
    void dropEntry(const QString& contactID, const std::optional<QUuid>& entryID);

    // Quick capture (about `contactID`, or about nobody yet when it is empty) and Enrich from text.
    QString text(TextForm form, const QString& contactID) const;
    // Blank text drops the draft.
    void keepText(TextForm form, const QString& contactID, const QString& text);

private:
    explicit FormDrafts(QObject* parent);

    QHash<QString, Entry> m_entries;
    QHash<QString, QString> m_texts;
};

} // namespace pemmo
