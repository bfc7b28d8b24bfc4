// Every user preference, read once at start and written the moment it is assigned. GUI thread
// only. A value of the wrong kind under a key reads as that key's default.
#pragma once

#include "Settings/AIProviderID.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace pemmo {

class KeyValueStore;

class SettingsStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(PanelWidth panelWidth READ panelWidth WRITE setPanelWidth NOTIFY panelWidthChanged)
    Q_PROPERTY(Appearance appearance READ appearance WRITE setAppearance NOTIFY appearanceChanged)
    Q_PROPERTY(
        PrimaryAction primaryAction READ primaryAction WRITE setPrimaryAction NOTIFY primaryActionChanged)
    Q_PROPERTY(bool autoLogInteractions READ autoLogInteractions WRITE setAutoLogInteractions NOTIFY
                   autoLogInteractionsChanged)
    Q_PROPERTY(bool openLinksInBackground READ openLinksInBackground WRITE setOpenLinksInBackground NOTIFY
                   openLinksInBackgroundChanged)
    Q_PROPERTY(bool aiEnabled READ aiEnabled WRITE setAiEnabled NOTIFY aiEnabledChanged)
    Q_PROPERTY(pemmo::AIProviderID aiProvider READ aiProvider WRITE setAiProvider NOTIFY aiProviderChanged)
    Q_PROPERTY(bool semanticSearchEnabled READ semanticSearchEnabled WRITE setSemanticSearchEnabled NOTIFY
                   semanticSearchEnabledChanged)
    Q_PROPERTY(QString claudeReasoningModel READ claudeReasoningModel WRITE setClaudeReasoningModel NOTIFY
                   claudeReasoningModelChanged)
    Q_PROPERTY(
        QString claudeFastModel READ claudeFastModel WRITE setClaudeFastModel NOTIFY claudeFastModelChanged)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding WRITE setHasCompletedOnboarding NOTIFY
                   hasCompletedOnboardingChanged)
    Q_PROPERTY(bool hasSkippedOnboarding READ hasSkippedOnboarding WRITE setHasSkippedOnboarding NOTIFY
                   hasSkippedOnboardingChanged)
    Q_PROPERTY(int onboardingVersion READ onboardingVersion WRITE setOnboardingVersion NOTIFY
                   onboardingVersionChanged)
    Q_PROPERTY(bool skipsMoveToApplications READ skipsMoveToApplications WRITE setSkipsMoveToApplications
                   NOTIFY skipsMoveToApplicationsChanged)
    Q_PROPERTY(bool calendarConnected READ calendarConnected WRITE setCalendarConnected NOTIFY
                   calendarConnectedChanged)
    Q_PROPERTY(bool momentsEnabled READ momentsEnabled WRITE setMomentsEnabled NOTIFY momentsEnabledChanged)
    Q_PROPERTY(QStringList calendarIDs READ calendarIDs WRITE setCalendarIDs NOTIFY calendarIDsChanged)
    Q_PROPERTY(int momentDelayMinutes READ momentDelayMinutes WRITE setMomentDelayMinutes NOTIFY
                   momentDelayMinutesChanged)
    Q_PROPERTY(double calendarSince READ calendarSince WRITE setCalendarSince NOTIFY calendarSinceChanged)
    Q_PROPERTY(QStringList calendarSelfAddresses READ calendarSelfAddresses WRITE setCalendarSelfAddresses
                   NOTIFY calendarSelfAddressesChanged)
    Q_PROPERTY(
        QStringList contactFolders READ contactFolders WRITE setContactFolders NOTIFY contactFoldersChanged)
    Q_PROPERTY(QString localModelServer READ localModelServer WRITE setLocalModelServer NOTIFY
                   localModelServerChanged)
    Q_PROPERTY(QString localModel READ localModel WRITE setLocalModel NOTIFY localModelChanged)
    Q_PROPERTY(QString anthropicBaseURL READ anthropicBaseURL WRITE setAnthropicBaseURL NOTIFY
                   anthropicBaseURLChanged)
    Q_PROPERTY(MessagingApp messagingApp READ messagingApp WRITE setMessagingApp NOTIFY messagingAppChanged)
    Q_PROPERTY(QString newContactsFolder READ newContactsFolder WRITE setNewContactsFolder NOTIFY
                   newContactsFolderChanged)

public:
    // The panel's width in points; stored as "560", "640", "760".
    enum class PanelWidth { Compact, Regular, Wide };
    Q_ENUM(PanelWidth)
    enum class Appearance { System, Dark, Light };
    Q_ENUM(Appearance)
    // What Return does on a person's card.
    enum class PrimaryAction { Message, Call, Mail };
    Q_ENUM(PrimaryAction)
    // Where "imessage://" addresses go on Linux: a text through the phone link ("sms:"), or a chat
    // in Signal, WhatsApp or Telegram.
    enum class MessagingApp { Sms, Signal, WhatsApp, Telegram };
    Q_ENUM(MessagingApp)

    // The stored texts of the enumerations.
    static QString rawValue(PanelWidth value);
    static QString rawValue(Appearance value);
    static QString rawValue(PrimaryAction value);
    static QString rawValue(MessagingApp value);
    static int points(PanelWidth value);

    // The key of the earlier onboarding state, read once to carry it over.
    static QString legacyOnboardingKey() { return QStringLiteral("pemmo.onboarding.state"); }

    static QString panelWidthKey() { return QStringLiteral("pemmo.settings.panelWidth"); }
    static QString appearanceKey() { return QStringLiteral("pemmo.settings.appearance"); }
    static QString primaryActionKey() { return QStringLiteral("pemmo.settings.primaryAction"); }
    static QString autoLogInteractionsKey() { return QStringLiteral("pemmo.settings.autoLogInteractions"); }
    static QString openLinksInBackgroundKey() {
        return QStringLiteral("pemmo.settings.openLinksInBackground");
    }
    static QString aiEnabledKey() { return QStringLiteral("pemmo.settings.aiEnabled"); }
    static QString aiProviderKey() { return QStringLiteral("pemmo.settings.aiProvider"); }
    static QString semanticSearchEnabledKey() {
        return QStringLiteral("pemmo.settings.semanticSearchEnabled");
    }
    static QString claudeReasoningModelKey() { return QStringLiteral("pemmo.settings.claudeReasoningModel"); }
    static QString claudeFastModelKey() { return QStringLiteral("pemmo.settings.claudeFastModel"); }
    // The Claude models used while none is set (a blank name means these too).
    static QString defaultClaudeReasoningModel() { return QStringLiteral("claude-opus-5"); }
    static QString defaultClaudeFastModel() { return QStringLiteral("claude-haiku-4-5"); }
    static QString hasCompletedOnboardingKey() {
        return QStringLiteral("pemmo.settings.hasCompletedOnboarding");
    }
    static QString hasSkippedOnboardingKey() { return QStringLiteral("pemmo.settings.hasSkippedOnboarding"); }
    static QString onboardingVersionKey() { return QStringLiteral("pemmo.settings.onboardingVersion"); }
    static QString skipsMoveToApplicationsKey() {
        return QStringLiteral("pemmo.settings.skipsMoveToApplications");
    }
    static QString calendarConnectedKey() { return QStringLiteral("pemmo.calendar.connected"); }
    static QString momentsEnabledKey() { return QStringLiteral("pemmo.calendar.enabled"); }
    static QString calendarIDsKey() { return QStringLiteral("pemmo.calendar.ids"); }
    static QString momentDelayMinutesKey() { return QStringLiteral("pemmo.calendar.delay"); }
    static QString calendarSinceKey() { return QStringLiteral("pemmo.calendar.since"); }
    static QString calendarSelfAddressesKey() { return QStringLiteral("pemmo.calendar.selfAddresses"); }
    static QString contactFoldersKey() { return QStringLiteral("pemmo.contacts.folders"); }
    static QString localModelServerKey() { return QStringLiteral("pemmo.settings.localModelServer"); }
    static QString localModelKey() { return QStringLiteral("pemmo.settings.localModel"); }
    static QString anthropicBaseURLKey() { return QStringLiteral("pemmo.settings.anthropicBaseURL"); }
    static QString messagingAppKey() { return QStringLiteral("pemmo.settings.messagingApp"); }
    static QString newContactsFolderKey() { return QStringLiteral("pemmo.contacts.newContactsFolder"); }

    // Reads every preference from `store`, which is not owned and must outlive this object.
    explicit SettingsStore(KeyValueStore& store, QObject* parent = nullptr);

    KeyValueStore& keyValueStore() const { return m_store; }

    PanelWidth panelWidth() const { return m_panelWidth; }
    Appearance appearance() const { return m_appearance; }
    PrimaryAction primaryAction() const { return m_primaryAction; }
    bool autoLogInteractions() const { return m_autoLogInteractions; }
    bool openLinksInBackground() const { return m_openLinksInBackground; }
    bool aiEnabled() const { return m_aiEnabled; }
    AIProviderID aiProvider() const { return m_aiProvider; }
    bool semanticSearchEnabled() const { return m_semanticSearchEnabled; }
    QString claudeReasoningModel() const { return m_claudeReasoningModel; }
    QString claudeFastModel() const { return m_claudeFastModel; }
    bool hasCompletedOnboarding() const { return m_hasCompletedOnboarding; }
    bool hasSkippedOnboarding() const { return m_hasSkippedOnboarding; }
    int onboardingVersion() const { return m_onboardingVersion; }
    bool skipsMoveToApplications() const { return m_skipsMoveToApplications; }
    bool calendarConnected() const { return m_calendarConnected; }
    bool momentsEnabled() const { return m_momentsEnabled; }
    QStringList calendarIDs() const { return m_calendarIDs; }
    int momentDelayMinutes() const { return m_momentDelayMinutes; }
    double calendarSince() const { return m_calendarSince; }

    // Linux only: the user's own e-mail addresses in calendar events (none: not known yet), the
    // address book folders (none: not chosen yet), the local model server's address and model, the
    // base address of the Messages API (a proxy, or a test server), and the app "imessage://"
    // addresses open in.
    QStringList calendarSelfAddresses() const { return m_calendarSelfAddresses; }
    QStringList contactFolders() const { return m_contactFolders; }
    QString localModelServer() const { return m_localModelServer; }
    QString localModel() const { return m_localModel; }
    QString anthropicBaseURL() const { return m_anthropicBaseURL; }
    MessagingApp messagingApp() const { return m_messagingApp; }
    // The address book folder new contacts are written to (as the user wrote it, "~/" allowed);
    // empty: the first address book of the first folder.
    QString newContactsFolder() const { return m_newContactsFolder; }

    void setPanelWidth(PanelWidth value);
    void setAppearance(Appearance value);
    void setPrimaryAction(PrimaryAction value);
    void setAutoLogInteractions(bool value);
    void setOpenLinksInBackground(bool value);
    void setAiEnabled(bool value);
    void setAiProvider(AIProviderID value);
    void setSemanticSearchEnabled(bool value);
    void setClaudeReasoningModel(const QString& value);
    void setClaudeFastModel(const QString& value);
    void setHasCompletedOnboarding(bool value);
    void setHasSkippedOnboarding(bool value);
    void setOnboardingVersion(int value);
    void setSkipsMoveToApplications(bool value);
    void setCalendarConnected(bool value);
    void setMomentsEnabled(bool value);
    void setCalendarIDs(const QStringList& value);
    void setMomentDelayMinutes(int value);
    void setCalendarSince(double value);
    void setCalendarSelfAddresses(const QStringList& value);
    void setContactFolders(const QStringList& value);
    void setLocalModelServer(const QString& value);
    void setLocalModel(const QString& value);
    void setAnthropicBaseURL(const QString& value);
    void setMessagingApp(MessagingApp value);
    void setNewContactsFolder(const QString& value);

Q_SIGNALS:
    void panelWidthChanged();
    void appearanceChanged();
    void primaryActionChanged();
    void autoLogInteractionsChanged();
    void openLinksInBackgroundChanged();
    void aiEnabledChanged();
    void aiProviderChanged();
    void semanticSearchEnabledChanged();
    void claudeReasoningModelChanged();
    void claudeFastModelChanged();
    void hasCompletedOnboardingChanged();
    void hasSkippedOnboardingChanged();
    void onboardingVersionChanged();
    void skipsMoveToApplicationsChanged();
    void calendarConnectedChanged();
    void momentsEnabledChanged();
    void calendarIDsChanged();
    void momentDelayMinutesChanged();
    void calendarSinceChanged();
    void calendarSelfAddressesChanged();
    void contactFoldersChanged();
    void localModelServerChanged();
    void localModelChanged();
    void anthropicBaseURLChanged();
    void messagingAppChanged();
    void newContactsFolderChanged();

private:
    void migrateLegacyOnboarding();

    KeyValueStore& m_store;
    PanelWidth m_panelWidth;
    Appearance m_appearance;
    PrimaryAction m_primaryAction;
    bool m_autoLogInteractions;
    bool m_openLinksInBackground;
    bool m_aiEnabled;
    AIProviderID m_aiProvider;
    bool m_semanticSearchEnabled;
    QString m_claudeReasoningModel;
    QString m_claudeFastModel;
    bool m_hasCompletedOnboarding;
    bool m_hasSkippedOnboarding;
    int m_onboardingVersion;
    bool m_skipsMoveToApplications;
    bool m_calendarConnected;
    bool m_momentsEnabled;
    QStringList m_calendarIDs;
    int m_momentDelayMinutes;
    double m_calendarSince;
    QStringList m_calendarSelfAddresses;
    QStringList m_contactFolders;
    QString m_localModelServer;
    QString m_localModel;
    QString m_anthropicBaseURL;
    MessagingApp m_messagingApp;
    QString m_newContactsFolder;
};

} // namespace pemmo
