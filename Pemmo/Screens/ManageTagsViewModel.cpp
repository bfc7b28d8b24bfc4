#include "Screens/ManageTagsViewModel.h"

#include "App/AppEnvironment.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEvent.h"

#include <QHash>
#include <QPointer>
#include <QVariantMap>
#include <algorithm>

namespace pemmo {

QString ManageTagsViewModel::usageText(int usage) {
    if (usage == 0)
        return QStringLiteral("Not used yet");
    if (usage == 1)
        return QStringLiteral("1 person");
    return QString::number(usage) + QStringLiteral(" people");
}

ManageTagsViewModel::DeleteConfirmation ManageTagsViewModel::deleteConfirmation(const Tag& tag, int usage) {
    QString detail;
    if (usage == 0)
        detail = QStringLiteral("No one uses it yet.");
    else if (usage == 1)
        detail = QStringLiteral("It's removed from 1 person.");
    else
        detail = QStringLiteral("It's removed from ") + QString::number(usage) + QStringLiteral(" people.");
    return {tag.id, u"Delete circle \u201C"_qs + tag.name + u"\u201D?"_qs, detail, usage};
}

QString ManageTagsViewModel::colorButtonLabel(const Tag& tag) {
    return QStringLiteral("Change the colour of circle ") + tag.name;
}

ManageTagsViewModel::ManageTagsViewModel(AppEnvironment& environment, QObject* parent)
    : QObject(parent)
    , m_environment(environment) {
    connect(&environment.tags(), &TagCatalog::tagsChanged, this, &ManageTagsViewModel::rowsChanged);
    connect(&environment.sync(), &ProfileSyncEngine::profilesChanged, this,
            &ManageTagsViewModel::rowsChanged);
    connect(&environment.router(), &AppRouter::overlayChanged, this, &ManageTagsViewModel::onOverlayChanged);
}

QList<ManageTagsViewModel::TagRow> ManageTagsViewModel::rows() const {
    QHash<QString, int> counts;
    for (const Profile& profile : m_environment.sync().profiles()) {
        for (const QString& tag : profile.record->tags)
            ++counts[tag];
    }
    QList<TagRow> rows;
    for (const Tag& tag : m_environment.tags().tags())
        rows.append(TagRow{tag, counts.value(tag.id)});
    return rows;
}

int ManageTagsViewModel::usage(const QString& id) const {
    return static_cast<int>(carriers(id).size());
}

QVariantList ManageTagsViewModel::rowList() const {
    QVariantList list;
    for (const TagRow& row : rows()) {
        list.append(QVariantMap{{QStringLiteral("id"), row.tag.id},
                                {QStringLiteral("name"), row.tag.name},
                                {QStringLiteral("colorIndex"), row.tag.colorIndex},
                                {QStringLiteral("usage"), row.usage},
                                {QStringLiteral("subtitle"), usageText(row.usage)},
                                {QStringLiteral("colorButtonLabel"), colorButtonLabel(row.tag)}});
    }
    return list;
}

QStringList ManageTagsViewModel::carriers(const QString& tagID) const {
    QStringList ids;
    for (const Profile& profile : m_environment.sync().profiles()) {
        if (profile.record->tags.contains(tagID))
            ids.append(profile.id());
    }
    return ids;
}

void ManageTagsViewModel::setNewTagName(const QString& name) {
    if (m_newTagName == name)
        return;
    m_newTagName = name;
    Q_EMIT newTagNameChanged();
}

void ManageTagsViewModel::setSelectedID(std::optional<QString> id) {
    if (m_selectedID == id)
        return;
    m_selectedID = std::move(id);
    Q_EMIT selectedIDChanged();
}

void ManageTagsViewModel::setSelectedIDText(const QString& id) {
    setSelectedID(id.isEmpty() ? std::nullopt : std::optional<QString>(id));
}

void ManageTagsViewModel::setEditingName(const QString& name) {
    if (m_editingName == name)
        return;
    m_editingName = name;
    Q_EMIT editingChanged();
}

void ManageTagsViewModel::setEditing(std::optional<QString> id, QString name) {
    if (m_editingID == id && m_editingName == name)
        return;
    m_editingID = std::move(id);
    m_editingName = std::move(name);
    Q_EMIT editingChanged();
}

void ManageTagsViewModel::setSaving(bool saving) {
    if (m_isSaving == saving)
        return;
    m_isSaving = saving;
    Q_EMIT isSavingChanged();
}

void ManageTagsViewModel::setErrorMessage(QString message) {
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void ManageTagsViewModel::add() {
    // Nothing else changes the circles while records are rewritten for a rename or a delete.
    if (m_isSaving || Text::isBlank(m_newTagName))
        return;
    setErrorMessage({});
    const Tag tag = m_environment.tags().findOrCreate(m_newTagName);
    setNewTagName({});
    setSelectedID(tag.id);
}

void ManageTagsViewModel::startRename(const QString& id) {
    const std::optional<Tag> tag = m_environment.tags().tagWithID(id);
    if (!tag)
        return;
    setErrorMessage({});
    setSelectedID(id);
    setEditing(id, tag->name);
}

void ManageTagsViewModel::cancelRename() {
    setEditing(std::nullopt, {});
}

QCoro::Task<void> ManageTagsViewModel::commitRename() {
    if (m_isSaving || !m_editingID)
        co_return;
    if (Text::isBlank(m_editingName)) {
        cancelRename();
        co_return;
    }
    const QString oldID = *m_editingID;
    setSaving(true);
    setErrorMessage({});
    QString newID;
    try {
        newID = m_environment.tags().rename(oldID, m_editingName);
    } catch (const PemmoError& error) {
        setErrorMessage(error.message());
        setSaving(false);
        co_return;
    }

    const QPointer<ManageTagsViewModel> self(this);
    if (newID != oldID) {
        ProfileSyncEngine& sync = m_environment.sync();
        const QStringList ids = carriers(oldID);
        QString failure;
        try {
            auto moving = sync.updateRecords(ids, [oldID, newID](PemmoRecord& record) {
                for (QString& tag : record.tags) {
                    if (tag == oldID)
                        tag = newID;
                }
                record.tags.removeDuplicates();
            });
            co_await moving;
        } catch (const std::exception& error) {
            failure = ProfileSyncEngine::errorMessage(error);
        }
        if (!self)
            co_return;
        setErrorMessage(failure);
    }
    cancelRename();
    setSelectedID(newID);
    setSaving(false);
}

void ManageTagsViewModel::setColor(const QString& id, int colorIndex) {
    if (m_isSaving)
        return;
    m_environment.tags().setColor(id, colorIndex);
}

void ManageTagsViewModel::requestDelete(const QString& id) {
    if (m_isSaving)
        return;
    const std::optional<Tag> tag = m_environment.tags().tagWithID(id);
    if (!tag)
        return;
    m_pendingDelete = deleteConfirmation(*tag, usage(id));
    Q_EMIT deleteConfirmationChanged();

    ConfirmRequest request;
    request.title = m_pendingDelete->title;
    request.message = m_pendingDelete->detail;
    request.confirmTitle = tr("Delete");
    request.destructive = true;
    // The router takes the card away before this runs, which forgets the question: ask it again.
    request.onConfirm = [self = QPointer<ManageTagsViewModel>(this), asked = *m_pendingDelete] {
        if (!self)
            return;
        self->m_pendingDelete = asked;
        self->confirmDelete();
    };
    m_confirmID = request.id;
    m_environment.router().present(request);
}

void ManageTagsViewModel::cancelDelete() {
    if (!m_pendingDelete)
        return;
    m_pendingDelete.reset();
    AppRouter& router = m_environment.router();
    if (router.showsConfirm() && router.confirmRequest().id == m_confirmID)
        router.dismissOverlay();
    Q_EMIT deleteConfirmationChanged();
}

void ManageTagsViewModel::onOverlayChanged() {
    // Declined (or replaced): the question is no longer asked.
    const AppRouter& router = m_environment.router();
    if (m_pendingDelete && !(router.showsConfirm() && router.confirmRequest().id == m_confirmID)) {
        m_pendingDelete.reset();
        Q_EMIT deleteConfirmationChanged();
    }
}

int ManageTagsViewModel::selectedIndex() const {
    if (!m_selectedID)
        return -1;
    const QList<Tag>& tags = m_environment.tags().tags();
    for (int i = 0; i < tags.size(); ++i) {
        if (tags[i].id == *m_selectedID)
            return i;
    }
    return -1;
}

QString ManageTagsViewModel::selectedAccessibleName() const {
    const int index = selectedIndex();
    if (index < 0)
        return {};
    const QList<TagRow> all = rows();
    return all[index].tag.name + u", "_qs + usageText(all[index].usage);
}

void ManageTagsViewModel::moveSelection(int by) {
    const QList<Tag>& tags = m_environment.tags().tags();
    if (tags.isEmpty() || m_editingID)
        return;
    const int current = selectedIndex();
    const int next =
        current < 0 ? (by > 0 ? 0 : int(tags.size()) - 1) : std::clamp(current + by, 0, int(tags.size()) - 1);
    setSelectedID(tags[next].id);
}

KeyResult ManageTagsViewModel::handleKey(const KeyEvent& event) {
    const bool returnKey = event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter);
    if (m_editingID) {
        // The rename field has the typing; Return and Escape end it.
        if (returnKey) {
            commitRename();
            return KeyResult::Handled;
        }
        if (event.isPlain(Qt::Key_Escape)) {
            cancelRename();
            return KeyResult::Handled;
        }
        return KeyResult::Pass;
    }
    if (event.isPlain(Qt::Key_Up) || event.isPlain(Qt::Key_Down)) {
        moveSelection(event.key == Qt::Key_Down ? 1 : -1);
        return KeyResult::Handled;
    }
    if (returnKey) {
        if (!Text::isBlank(m_newTagName))
            add();
        else if (m_selectedID)
            startRename(*m_selectedID);
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_F2)) {
        if (m_selectedID)
            startRename(*m_selectedID);
        return KeyResult::Handled;
    }
    // Delete takes the selected circle while the field is empty (otherwise it edits the field).
    const bool deleteKey = (event.isPlain(Qt::Key_Delete) && m_newTagName.isEmpty()) ||
                           (event.hasControl() && event.key == Qt::Key_Backspace);
    if (deleteKey && m_selectedID) {
        requestDelete(*m_selectedID);
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        if (!m_newTagName.isEmpty())
            setNewTagName({});
        else
            m_environment.router().pop();
        return KeyResult::Handled;
    }
    // Control and a digit: one of the ten colours, Control-1 the first and Control-0 the tenth.
    if (event.hasControl() && !(event.modifiers & (Qt::AltModifier | Qt::MetaModifier)) &&
        event.key >= Qt::Key_0 && event.key <= Qt::Key_9) {
        if (m_selectedID) {
            const int digit = event.key - Qt::Key_0;
            setColor(*m_selectedID, digit == 0 ? Tag::paletteSize - 1 : digit - 1);
        }
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

QCoro::Task<void> ManageTagsViewModel::confirmDelete() {
    if (m_isSaving || !m_pendingDelete)
        co_return;
    const QString id = m_pendingDelete->id;
    cancelDelete();
    setSaving(true);
    setErrorMessage({});
    // Who carries it is read before the catalogue changes, from the profiles as they are now.
    const QStringList ids = carriers(id);
    m_environment.tags().remove(id);

    const QPointer<ManageTagsViewModel> self(this);
    ProfileSyncEngine& sync = m_environment.sync();
    QString failure;
    try {
        auto removing = sync.updateRecords(ids, [id](PemmoRecord& record) { record.tags.removeAll(id); });
        co_await removing;
    } catch (const std::exception& error) {
        failure = ProfileSyncEngine::errorMessage(error);
    }
    if (!self)
        co_return;
    setErrorMessage(failure);
    setSelectedID(std::nullopt);
    cancelRename();
    setSaving(false);
}

} // namespace pemmo
