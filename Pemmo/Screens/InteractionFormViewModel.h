// The timeline entry form: logging what happened with a person (a new entry written by the user),
// or editing an entry already on their timeline. Control-Return saves, Escape goes back keeping what
// was typed as a draft.
#pragma once

#include "Records/Interaction.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class InteractionFormViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Forms come from Shell.interactionForm(…).")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString personName READ personName CONSTANT)
    Q_PROPERTY(bool isEditing READ isEditing CONSTANT)
    Q_PROPERTY(QStringList kindTitles READ kindTitles CONSTANT)
    Q_PROPERTY(int kindIndex READ kindIndex WRITE setKindIndex NOTIFY kindIndexChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString dayText READ dayText WRITE setDayText NOTIFY dayTextChanged)
    // What is wrong with the text, or with the form as a whole (the entry is gone), after a save.
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    // What is wrong with the day (it cannot be read, or is still to come), shown beside it.
    Q_PROPERTY(QString dayError READ dayError NOTIFY errorChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)

public:
    // A new entry for `contactID`, or (with `entryID`) the entry to edit. The environment is not
    // owned and must outlive the form.
    InteractionFormViewModel(AppEnvironment& environment, const QString& contactID,
                             std::optional<QUuid> entryID = std::nullopt, QObject* parent = nullptr);

    QString title() const;
    const QString& personName() const { return m_personName; }
    bool isEditing() const { return m_entryID.has_value(); }
    static QStringList kindTitles();
    int kindIndex() const { return int(m_kind); }
    void setKindIndex(int index);
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    // The day it happened: "today" for a new entry, the entry's own day when editing; "yesterday"
    // or a date may be typed (EntryDay).
    const QString& dayText() const { return m_dayText; }
    void setDayText(const QString& text);
    const QString& error() const { return m_error; }
    const QString& dayError() const { return m_dayError; }
    bool isSaving() const { return m_isSaving; }

    // Saves through the sync engine and goes back to the card; a blank text, a day that cannot be
    // read and a day still to come are refused beside their field (saveRefused).
    QCoro::Task<void> save();
    Q_INVOKABLE void submit() { save(); }
    // Goes back to the card; what was typed stays as a draft for this person (or this entry) and
    // fills the form when it is opened again, until it is saved or emptied.
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void kindIndexChanged();
    void textChanged();
    void dayTextChanged();
    void errorChanged();
    // A save stopped at a problem of the day or the text (now in `dayError` and `error`).
    void saveRefused();
    void isSavingChanged();

private:
    void setError(const QString& error);
    void setDayError(const QString& error);

    AppEnvironment& m_env;
    const QString m_contactID;
    const std::optional<QUuid> m_entryID;
    std::optional<Interaction> m_original;
    QString m_personName;
    Interaction::Kind m_kind = Interaction::Kind::Note;
    QString m_text;
    QString m_dayText;
    // What the form showed before anything was typed or brought back from a draft.
    struct Start {
        Interaction::Kind kind;
        QString text;
        QString day;
    } m_initial;
    QString m_error;
    QString m_dayError;
    bool m_isSaving = false;
};

} // namespace pemmo
