// A person's card: what the panel shows about them, the rows the keyboard moves through, and the
// actions that reach them (message, call, mail, their saved links) or change what Pemmo keeps
// about them. One per person, kept by the environment; GUI thread only.
//
// Opening Messages, a call or mail adds a timeline entry when the user wants that
// (autoLogInteractions); what cannot be done says why in the panel's banner.
#pragma once

#include "Records/Profile.h"
#include "Screens/ProfileAction.h"
#include "Screens/ProfileCard.h"
#include "Screens/ProfileRowsModel.h"
#include "Shell/KeyTarget.h"
#include "Store/PhotoStore.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class ProfileViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Card models come from Shell.profileModel(id).")
    Q_PROPERTY(QString contactID READ contactID CONSTANT)
    Q_PROPERTY(bool exists READ exists NOTIFY changed)
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(QString initials READ initials NOTIFY changed)
    Q_PROPERTY(QString headline READ headline NOTIFY changed)
    Q_PROPERTY(bool isStarred READ isStarred NOTIFY changed)
    Q_PROPERTY(bool aiCloudOptOut READ aiCloudOptOut NOTIFY changed)
    Q_PROPERTY(bool hasReplacementPhoto READ hasReplacementPhoto NOTIFY changed)
    Q_PROPERTY(QString photoSource READ photoSource NOTIFY changed)
    Q_PROPERTY(QString primaryActionTitle READ primaryActionTitle NOTIFY changed)
    Q_PROPERTY(pemmo::ProfileRowsModel* circles READ circles CONSTANT)
    Q_PROPERTY(pemmo::ProfileRowsModel* rows READ rows CONSTANT)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectionChanged)
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
    Q_PROPERTY(QString hint READ hint NOTIFY hintChanged)
    Q_PROPERTY(QVariantList hintKeys READ hintKeys NOTIFY hintChanged)
    Q_PROPERTY(QString selectedAccessibleName READ selectedAccessibleName NOTIFY hintChanged)
    Q_PROPERTY(bool showsWholeTimeline READ showsWholeTimeline NOTIFY changed)
    Q_PROPERTY(bool isEditingCircles READ isEditingCircles NOTIFY circleEditingChanged)
    Q_PROPERTY(QString circleQuery READ circleQuery WRITE setCircleQuery NOTIFY circleEditingChanged)
    Q_PROPERTY(QStringList circleSuggestions READ circleSuggestions NOTIFY circleEditingChanged)
    Q_PROPERTY(int selectedSuggestion READ selectedSuggestion NOTIFY circleEditingChanged)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(bool isWritingBriefing READ isWritingBriefing NOTIFY changed)
    Q_PROPERTY(QString draftText READ draftText NOTIFY changed)

public:
    // The environment is not owned and must outlive the model.
    ProfileViewModel(AppEnvironment& environment, const QString& contactID, QObject* parent = nullptr);
    ~ProfileViewModel() override;

    const QString& contactID() const { return m_contactID; }
    const std::optional<Profile>& profile() const { return m_profile; }
    bool exists() const { return m_profile.has_value(); }
    QString name() const;
    QString initials() const;
    QString headline() const;
    bool isStarred() const;
    bool aiCloudOptOut() const { return m_profile && m_profile->record->aiCloudOptOut; }
    bool hasReplacementPhoto() const { return replacementPhoto() != nullptr; }
    // The picture the avatar shows: Pemmo's own photo, else the address book's; empty for none.
    QByteArray photoData() const;
    QString photoSource() const;
    QString primaryActionTitle() const;

    ProfileRowsModel* circles() const { return m_circles; }
    ProfileRowsModel* rows() const { return m_rows; }
    const QList<SelectableItem>& items() const { return m_items; }
    int selectedIndex() const { return m_selectedIndex; }
    int selectedRow() const { return m_rows->rowOfItem(m_selectedIndex); }
    std::optional<SelectableItem> selectedItem() const;
    QString hint() const;
    // The hint as the footer shows it: [key, what it does] pairs, e.g. [["↵", "Open"], ["E", "Edit"]].
    QVariantList hintKeys() const;
    QString selectedAccessibleName() const;
    bool showsWholeTimeline() const { return m_showsWholeTimeline; }

    // The briefing card: being written now, or why the last try failed (the AI service's text).
    bool isWritingBriefing() const { return m_briefingState == BriefingState::Writing; }
    const QString& briefingError() const { return m_briefingError; }
    // Why AI cannot run for this card (the provider's own words); empty while it can.
    const QString& aiUnavailableReason() const { return m_aiUnavailableReason; }
    // The last message draft, as it was copied to the clipboard; empty before one.
    const QString& draftText() const { return m_draft; }

    bool isEditingCircles() const { return m_editingCircles; }
    const QString& circleQuery() const { return m_circleQuery; }
    void setCircleQuery(const QString& query);
    const QStringList& circleSuggestions() const { return m_circleSuggestions; }
    int selectedSuggestion() const { return m_selectedSuggestion; }

    // While the card is on screen it follows every change at once; otherwise it catches up when
    // it is shown again.
    bool isActive() const { return m_active; }
    void setActive(bool active);

    // Runs one action of the card. Failures show in the panel's banner.
    QCoro::Task<void> perform(ProfileAction action);
    // What Return does when no row is selected: the primary action from the settings.
    QCoro::Task<void> performPrimary();
    // Runs the selectable item at `index` (a phone or e-mail row reaches that number or address).
    QCoro::Task<void> activate(int index);
    // The key table of the card.
    KeyResult handleKey(const KeyEvent& event) override;

    // For QML: runs the payload-free action with that name ("message", "toggleStar", …).
    Q_INVOKABLE void run(const QString& actionName);
    Q_INVOKABLE void activateItem(int index);
    Q_INVOKABLE void select(int index);
    Q_INVOKABLE void moveSelection(int delta);
    Q_INVOKABLE void setAICloudOptOut(bool optOut);
    // The pointer's way to the delete and edit counterparts of a row.
    Q_INVOKABLE void deleteItem(int index);
    Q_INVOKABLE void editItem(int index);
    Q_INVOKABLE void addCircle(const QString& name);
    Q_INVOKABLE void stopEditingCircles();
    // Shows the action panel for this person, or closes it.
    Q_INVOKABLE void showActions();

Q_SIGNALS:
    void changed();
    void selectionChanged();
    // The hint or the selected row's spoken name may have changed.
    void hintChanged();
    void circleEditingChanged();
    void activeChanged();

private:
    void onEnvironmentChanged();
    void reload();
    void rebuild();
    void setSelectedIndex(int index);
    QCoro::Task<void> loadReplacementPhoto();

    // The person's name for messages: their display name, or "this contact".
    QString nameForMessages() const;
    // Opens `address`; on success, logs the interaction when automatic logging is on.
    QCoro::Task<void> open(std::optional<QString> address,
                           std::optional<std::pair<Interaction::Kind, QString>> log, bool background);
    QCoro::Task<void> message();
    const QByteArray* replacementPhoto() const;
    // The banner of an action that has nothing to open.
    void showCannotReach(const QString& message);
    QCoro::Task<void> callNumber(std::optional<QString> number);
    QCoro::Task<void> mailAddress(std::optional<QString> address);
    QCoro::Task<void> gmail();
    QCoro::Task<void> findMy();
    QCoro::Task<void> openLink(QUuid linkID);
    QCoro::Task<void> deleteLink(QUuid linkID);
    void confirmDeleteMemory(QUuid entryID);
    QCoro::Task<void> deleteMemory(QUuid entryID);
    QCoro::Task<void> revert(QUuid changeID);
    QCoro::Task<void> removeTag(QString name);
    QCoro::Task<void> addCircleNamed(QString name);
    QCoro::Task<void> useContactsPhoto();
    // Asks the AI service for a fresh briefing and keeps it in the record's briefing cache.
    QCoro::Task<void> writeBriefing();
    // Asks the AI service for a message draft and copies it to the clipboard.
    QCoro::Task<void> writeDraft();
    // Asks whether AI can run now, so the briefing card can say why not before the user tries.
    QCoro::Task<void> checkAvailability();
    void toggleStar();
    // Refuses an AI action while AI is off (or absent from this build), with a banner.
    bool refuseWithoutAI(const QString& whenOff);
    void startEditingCircles();
    void updateSuggestions();
    // The delete and edit counterparts of a selectable item.
    std::optional<ProfileAction> deleteCounterpart(const SelectableItem& item) const;
    std::optional<ProfileAction> editCounterpart(const SelectableItem& item) const;
    // Puts the selected row's value on the clipboard and says so; false when it has none.
    bool copySelected();

    AppEnvironment& m_env;
    const QString m_contactID;
    std::optional<Profile> m_profile;
    // The photo the card shows instead of the address book's, if any.
    PhotoOverride m_photo;
    int m_photoVersion = 0;
    ProfileRowsModel* m_circles;
    ProfileRowsModel* m_rows;
    QList<SelectableItem> m_items;
    QStringList m_itemAccessibleNames;
    int m_selectedIndex = -1;
    bool m_showsWholeTimeline = false;
    bool m_editingCircles = false;
    QString m_circleQuery;
    QStringList m_circleSuggestions;
    int m_selectedSuggestion = -1;
    bool m_active = false;
    bool m_stale = true;
    int m_seenChangeCount = -1;

    using BriefingState = ProfileCard::BriefingState;
    BriefingState m_briefingState = BriefingState::Idle;
    QString m_briefingError;
    QString m_aiUnavailableReason;
    QString m_draft;
    QString m_draftLabel; // who wrote the draft and whether it left the computer
};

} // namespace pemmo
