// The "Manage circles" screen: every circle with how many people carry it, and the commands to add,
// rename, recolour and delete circles. Changes that touch records go through the sync engine.
// GUI thread only.
#pragma once

#include "Lists/Tag.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class ManageTagsViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The circles screen's model comes from Shell.manageTags(…).")
    Q_PROPERTY(QString newTagName READ newTagName WRITE setNewTagName NOTIFY newTagNameChanged)
    Q_PROPERTY(QString selectedID READ selectedIDText WRITE setSelectedIDText NOTIFY selectedIDChanged)
    Q_PROPERTY(QString editingID READ editingIDText NOTIFY editingChanged)
    Q_PROPERTY(QString editingName READ editingName WRITE setEditingName NOTIFY editingChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QVariantList rows READ rowList NOTIFY rowsChanged)
    Q_PROPERTY(bool isConfirmingDelete READ isConfirmingDelete NOTIFY deleteConfirmationChanged)
    Q_PROPERTY(QString deleteTitle READ deleteTitle NOTIFY deleteConfirmationChanged)
    Q_PROPERTY(QString deleteDetail READ deleteDetail NOTIFY deleteConfirmationChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectedIDChanged)
    Q_PROPERTY(QString selectedAccessibleName READ selectedAccessibleName NOTIFY selectedIDChanged)

public:
    struct TagRow {
        Tag tag;
        int usage = 0; // how many profiles carry the circle
        bool operator==(const TagRow&) const = default;
    };

    // What the delete confirmation asks.
    struct DeleteConfirmation {
        QString id;
        QString title;
        QString detail;
        int usage = 0;
        bool operator==(const DeleteConfirmation&) const = default;
    };

    // "1 person", "3 people", "Not used yet".
    static QString usageText(int usage);
    // "Delete circle “Work”?" with "It's removed from 3 people." (or 1 person, or no one).
    static DeleteConfirmation deleteConfirmation(const Tag& tag, int usage);
    // The accessible label of a circle's colour button.
    static QString colorButtonLabel(const Tag& tag);

    // The environment is not owned and must outlive the view model.
    explicit ManageTagsViewModel(AppEnvironment& environment, QObject* parent = nullptr);

    // One row per circle in catalogue order, with usage counted over the current profiles.
    QList<TagRow> rows() const;
    int usage(const QString& id) const;

    const QString& newTagName() const { return m_newTagName; }
    void setNewTagName(const QString& name);
    const std::optional<QString>& selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QString> id);
    const std::optional<QString>& editingID() const { return m_editingID; }
    const QString& editingName() const { return m_editingName; }
    void setEditingName(const QString& name);
    bool isSaving() const { return m_isSaving; }
    const QString& errorMessage() const { return m_errorMessage; }

    // Adds the circle named in the field (nothing when it is blank), clears the field and selects it.
    Q_INVOKABLE void add();
    Q_INVOKABLE void startRename(const QString& id);
    Q_INVOKABLE void cancelRename();
    // Renames the circle being edited and moves every record onto its new id. A blank name cancels;
    // a name that belongs to another circle shows the duplicate message and changes nothing.
    // Ignored while a change is saving.
    QCoro::Task<void> commitRename();
    Q_INVOKABLE void setColor(const QString& id, int colorIndex);

    // The selected row's place in `rows`, -1 for none.
    int selectedIndex() const;
    // Moves the selection through the rows (from none, Down takes the first).
    Q_INVOKABLE void moveSelection(int by);
    Q_INVOKABLE void submitRename() { commitRename(); }

    // Asks before deleting, with the router's confirmation (ignored while a change is saving).
    Q_INVOKABLE void requestDelete(const QString& id);
    const std::optional<DeleteConfirmation>& pendingDelete() const { return m_pendingDelete; }
    Q_INVOKABLE void cancelDelete();
    // Deletes the circle asked about and removes it from every record that carries it.
    QCoro::Task<void> confirmDelete();

    // Up and Down select; Return adds the typed circle, or renames the selected one (Return saves
    // the new name, Escape keeps the old); F2 renames; Delete or Control-Backspace deletes;
    // Control-1 … Control-0 give the selected circle one of the ten colours; Escape clears the
    // field, then goes back.
    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void newTagNameChanged();
    void selectedIDChanged();
    void editingChanged();
    void isSavingChanged();
    void errorMessageChanged();
    void rowsChanged();
    void deleteConfirmationChanged();

private:
    QString selectedIDText() const { return m_selectedID.value_or(QString()); }
    void setSelectedIDText(const QString& id);
    QString editingIDText() const { return m_editingID.value_or(QString()); }
    QVariantList rowList() const;
    bool isConfirmingDelete() const { return m_pendingDelete.has_value(); }
    QString deleteTitle() const { return m_pendingDelete ? m_pendingDelete->title : QString(); }
    QString deleteDetail() const { return m_pendingDelete ? m_pendingDelete->detail : QString(); }
    QString selectedAccessibleName() const;
    void onOverlayChanged();

    void setEditing(std::optional<QString> id, QString name);
    void setSaving(bool saving);
    void setErrorMessage(QString message);
    // The ids of the profiles whose record carries `tagID`.
    QStringList carriers(const QString& tagID) const;

    AppEnvironment& m_environment;
    QString m_newTagName;
    std::optional<QString> m_selectedID;
    std::optional<QString> m_editingID;
    QString m_editingName;
    bool m_isSaving = false;
    QString m_errorMessage;
    std::optional<DeleteConfirmation> m_pendingDelete;
    QUuid m_confirmID; // the router's confirmation that asks about m_pendingDelete
};

} // namespace pemmo
