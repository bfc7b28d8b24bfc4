#include "Settings/SettingsStore.h"

#include "Records/Text.h"
#include "Settings/KeyValueStore.h"
#include "Support/EnumTable.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace pemmo {

namespace {

// The stored texts of the enumerations.
constexpr auto kAppearances = enumTable<SettingsStore::Appearance>({
    {SettingsStore::Appearance::System, "system"},
    {SettingsStore::Appearance::Dark, "dark"},
    {SettingsStore::Appearance::Light, "light"},
});
constexpr auto kPrimaryActions = enumTable<SettingsStore::PrimaryAction>({
    {SettingsStore::PrimaryAction::Message, "message"},
    {SettingsStore::PrimaryAction::Call, "call"},
    {SettingsStore::PrimaryAction::Mail, "mail"},
});
constexpr auto kMessagingApps = enumTable<SettingsStore::MessagingApp>({
    {SettingsStore::MessagingApp::Sms, "sms"},
    {SettingsStore::MessagingApp::Signal, "signal"},
    {SettingsStore::MessagingApp::WhatsApp, "whatsapp"},
    {SettingsStore::MessagingApp::Telegram, "telegram"},
});

// The stored case, or `fallback` when the key is missing or holds an unknown text.
template <class Enum, std::size_t N>
Enum enumValue(const KeyValueStore& store, const QString& key, Enum fallback,
               const EnumTable<Enum, N>& names) {
    const std::optional<QString> raw = store.text(key);
    if (!raw)
        return fallback;
    return names.find(QStringView(*raw)).value_or(fallback);
}

// A panel width is stored as its width in points.
SettingsStore::PanelWidth panelWidthValue(const KeyValueStore& store) {
    using PanelWidth = SettingsStore::PanelWidth;
    const std::optional<QString> raw = store.text(SettingsStore::panelWidthKey());
    for (const PanelWidth width : {PanelWidth::Compact, PanelWidth::Regular, PanelWidth::Wide}) {
        if (raw == SettingsStore::rawValue(width))
            return width;
    }
    return PanelWidth::Regular;
}

bool boolValue(const KeyValueStore& store, const QString& key, bool fallback) {
    return store.boolean(key).value_or(fallback);
}

int intValue(const KeyValueStore& store, const QString& key, int fallback) {
    const std::optional<qint64> value = store.integer(key);
    if (!value)
        return fallback;
    return static_cast<int>(
        std::clamp<qint64>(*value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// A whole number stored where a fractional one belongs is still that number.
double doubleValue(const KeyValueStore& store, const QString& key, double fallback) {
    if (const std::optional<double> value = store.number(key))
        return *value;
    if (const std::optional<qint64> value = store.integer(key))
        return static_cast<double>(*value);
    return fallback;
}

QStringList listValue(const KeyValueStore& store, const QString& key) {
    return store.textList(key).value_or(QStringList());
}

// A blank text means "use the default"; anything else is kept exactly as stored.
QString modelValue(const KeyValueStore& store, const QString& key, const QString& fallback) {
    const std::optional<QString> value = store.text(key);
    if (!value || Text::isBlank(*value))
        return fallback;
    return *value;
}

// Stores a model name without the spaces around it; a blank one removes the setting, which means
// the default model, as it does when read back. Returns the model now in force.
QString storeModel(KeyValueStore& store, const QString& key, const QString& value, const QString& fallback) {
    const QString name = Text::trimmed(value);
    store.set(name.isEmpty() ? std::nullopt : std::optional(StoredValue(name)), key);
    return name.isEmpty() ? fallback : name;
}

} // namespace

QString SettingsStore::rawValue(PanelWidth value) {
    return QString::number(points(value));
}

int SettingsStore::points(PanelWidth value) {
    switch (value) {
    case PanelWidth::Compact:
        return 560;
    case PanelWidth::Regular:
        return 640;
    case PanelWidth::Wide:
        return 760;
    }
    return 640;
}

QString SettingsStore::rawValue(Appearance value) {
    return kAppearances.name(value);
}

QString SettingsStore::rawValue(PrimaryAction value) {
    return kPrimaryActions.name(value);
}

QString SettingsStore::rawValue(MessagingApp value) {
    return kMessagingApps.name(value);
}

SettingsStore::SettingsStore(KeyValueStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
    migrateLegacyOnboarding();
    m_panelWidth = panelWidthValue(store);
    m_appearance = enumValue(store, appearanceKey(), Appearance::System, kAppearances);
    m_primaryAction = enumValue(store, primaryActionKey(), PrimaryAction::Message, kPrimaryActions);
    m_autoLogInteractions = boolValue(store, autoLogInteractionsKey(), true);
    m_openLinksInBackground = boolValue(store, openLinksInBackgroundKey(), false);
    m_aiEnabled = boolValue(store, aiEnabledKey(), false);
    m_aiProvider = enumValue(store, aiProviderKey(), AIProviderID::OnDevice, AIProviderIDs::rawValues);
    m_semanticSearchEnabled = boolValue(store, semanticSearchEnabledKey(), true);
    m_claudeReasoningModel = modelValue(store, claudeReasoningModelKey(), defaultClaudeReasoningModel());
    m_claudeFastModel = modelValue(store, claudeFastModelKey(), defaultClaudeFastModel());
    m_hasCompletedOnboarding = boolValue(store, hasCompletedOnboardingKey(), false);
    m_hasSkippedOnboarding = boolValue(store, hasSkippedOnboardingKey(), false);
    m_onboardingVersion = intValue(store, onboardingVersionKey(), 0);
    m_skipsMoveToApplications = boolValue(store, skipsMoveToApplicationsKey(), false);
    m_calendarConnected = boolValue(store, calendarConnectedKey(), false);
    m_momentsEnabled = boolValue(store, momentsEnabledKey(), false);
    m_calendarIDs = listValue(store, calendarIDsKey());
    m_momentDelayMinutes = intValue(store, momentDelayMinutesKey(), 20);
    m_calendarSince = doubleValue(store, calendarSinceKey(), 0.0);
    m_calendarSelfAddresses = listValue(store, calendarSelfAddressesKey());
    m_contactFolders = listValue(store, contactFoldersKey());
    m_localModelServer = modelValue(store, localModelServerKey(), QStringLiteral("http://127.0.0.1:11434"));
    m_localModel = modelValue(store, localModelKey(), QStringLiteral("llama3.2"));
    m_anthropicBaseURL =
        modelValue(store, anthropicBaseURLKey(), QStringLiteral("https://api.anthropic.com"));
    m_messagingApp = enumValue(store, messagingAppKey(), MessagingApp::Sms, kMessagingApps);
    m_newContactsFolder = store.text(newContactsFolderKey()).value_or(QString());
}

// An earlier release kept the onboarding state as one JSON value; it is carried over once, unless
// the new keys were written since. The old key stays where it is.
void SettingsStore::migrateLegacyOnboarding() {
    if (m_store.contains(hasCompletedOnboardingKey()))
        return;
    const std::optional<QByteArray> bytes = m_store.data(legacyOnboardingKey());
    if (!bytes)
        return;
    const auto state =
        nlohmann::json::parse(bytes->constData(), bytes->constData() + bytes->size(), nullptr, false);
    if (!state.is_object())
        return;
    const auto completed = state.find("hasCompletedOnboarding");
    const auto skipped = state.find("hasSkippedOnboarding");
    const auto version = state.find("lastOnboardingVersion");
    if (completed == state.end() || !completed->is_boolean() || skipped == state.end() ||
        !skipped->is_boolean() || version == state.end() || !version->is_number_integer())
        return;
    if (version->is_number_unsigned() ? version->get<std::uint64_t>() > std::uint64_t(INT64_MAX) : false)
        return;
    m_store.set(StoredValue(completed->get<bool>()), hasCompletedOnboardingKey());
    m_store.set(StoredValue(skipped->get<bool>()), hasSkippedOnboardingKey());
    m_store.set(StoredValue(static_cast<qint64>(version->get<std::int64_t>())), onboardingVersionKey());
}

void SettingsStore::setPanelWidth(PanelWidth value) {
    m_store.set(StoredValue(rawValue(value)), panelWidthKey());
    if (m_panelWidth == value)
        return;
    m_panelWidth = value;
    Q_EMIT panelWidthChanged();
}

void SettingsStore::setAppearance(Appearance value) {
    m_store.set(StoredValue(rawValue(value)), appearanceKey());
    if (m_appearance == value)
        return;
    m_appearance = value;
    Q_EMIT appearanceChanged();
}

void SettingsStore::setPrimaryAction(PrimaryAction value) {
    m_store.set(StoredValue(rawValue(value)), primaryActionKey());
    if (m_primaryAction == value)
        return;
    m_primaryAction = value;
    Q_EMIT primaryActionChanged();
}

void SettingsStore::setAutoLogInteractions(bool value) {
    m_store.set(StoredValue(value), autoLogInteractionsKey());
    if (m_autoLogInteractions == value)
        return;
    m_autoLogInteractions = value;
    Q_EMIT autoLogInteractionsChanged();
}

void SettingsStore::setOpenLinksInBackground(bool value) {
    m_store.set(StoredValue(value), openLinksInBackgroundKey());
    if (m_openLinksInBackground == value)
        return;
    m_openLinksInBackground = value;
    Q_EMIT openLinksInBackgroundChanged();
}

void SettingsStore::setAiEnabled(bool value) {
    m_store.set(StoredValue(value), aiEnabledKey());
    if (m_aiEnabled == value)
        return;
    m_aiEnabled = value;
    Q_EMIT aiEnabledChanged();
}

void SettingsStore::setAiProvider(AIProviderID value) {
    m_store.set(StoredValue(AIProviderIDs::rawValue(value)), aiProviderKey());
    if (m_aiProvider == value)
        return;
    m_aiProvider = value;
    Q_EMIT aiProviderChanged();
}

void SettingsStore::setSemanticSearchEnabled(bool value) {
    m_store.set(StoredValue(value), semanticSearchEnabledKey());
    if (m_semanticSearchEnabled == value)
        return;
    m_semanticSearchEnabled = value;
    Q_EMIT semanticSearchEnabledChanged();
}

void SettingsStore::setClaudeReasoningModel(const QString& value) {
    const QString model =
        storeModel(m_store, claudeReasoningModelKey(), value, defaultClaudeReasoningModel());
    if (m_claudeReasoningModel == model)
        return;
    m_claudeReasoningModel = model;
    Q_EMIT claudeReasoningModelChanged();
}

void SettingsStore::setClaudeFastModel(const QString& value) {
    const QString model = storeModel(m_store, claudeFastModelKey(), value, defaultClaudeFastModel());
    if (m_claudeFastModel == model)
        return;
    m_claudeFastModel = model;
    Q_EMIT claudeFastModelChanged();
}

void SettingsStore::setHasCompletedOnboarding(bool value) {
    m_store.set(StoredValue(value), hasCompletedOnboardingKey());
    if (m_hasCompletedOnboarding == value)
        return;
    m_hasCompletedOnboarding = value;
    Q_EMIT hasCompletedOnboardingChanged();
}

void SettingsStore::setHasSkippedOnboarding(bool value) {
    m_store.set(StoredValue(value), hasSkippedOnboardingKey());
    if (m_hasSkippedOnboarding == value)
        return;
    m_hasSkippedOnboarding = value;
    Q_EMIT hasSkippedOnboardingChanged();
}

void SettingsStore::setOnboardingVersion(int value) {
    m_store.set(StoredValue(static_cast<qint64>(value)), onboardingVersionKey());
    if (m_onboardingVersion == value)
        return;
    m_onboardingVersion = value;
    Q_EMIT onboardingVersionChanged();
}

void SettingsStore::setSkipsMoveToApplications(bool value) {
    m_store.set(StoredValue(value), skipsMoveToApplicationsKey());
    if (m_skipsMoveToApplications == value)
        return;
    m_skipsMoveToApplications = value;
    Q_EMIT skipsMoveToApplicationsChanged();
}

void SettingsStore::setCalendarConnected(bool value) {
    m_store.set(StoredValue(value), calendarConnectedKey());
    if (m_calendarConnected == value)
        return;
    m_calendarConnected = value;
    Q_EMIT calendarConnectedChanged();
}

void SettingsStore::setMomentsEnabled(bool value) {
    m_store.set(StoredValue(value), momentsEnabledKey());
    if (m_momentsEnabled == value)
        return;
    m_momentsEnabled = value;
    Q_EMIT momentsEnabledChanged();
}

void SettingsStore::setCalendarIDs(const QStringList& value) {
    m_store.set(StoredValue(value), calendarIDsKey());
    if (m_calendarIDs == value)
        return;
    m_calendarIDs = value;
    Q_EMIT calendarIDsChanged();
}

void SettingsStore::setMomentDelayMinutes(int value) {
    m_store.set(StoredValue(static_cast<qint64>(value)), momentDelayMinutesKey());
    if (m_momentDelayMinutes == value)
        return;
    m_momentDelayMinutes = value;
    Q_EMIT momentDelayMinutesChanged();
}

void SettingsStore::setCalendarSince(double value) {
    m_store.set(StoredValue(value), calendarSinceKey());
    if (m_calendarSince == value)
        return;
    m_calendarSince = value;
    Q_EMIT calendarSinceChanged();
}

void SettingsStore::setCalendarSelfAddresses(const QStringList& value) {
    m_store.set(StoredValue(value), calendarSelfAddressesKey());
    if (m_calendarSelfAddresses == value)
        return;
    m_calendarSelfAddresses = value;
    Q_EMIT calendarSelfAddressesChanged();
}

void SettingsStore::setContactFolders(const QStringList& value) {
    m_store.set(StoredValue(value), contactFoldersKey());
    if (m_contactFolders == value)
        return;
    m_contactFolders = value;
    Q_EMIT contactFoldersChanged();
}

void SettingsStore::setLocalModelServer(const QString& value) {
    m_store.set(StoredValue(value), localModelServerKey());
    if (m_localModelServer == value)
        return;
    m_localModelServer = value;
    Q_EMIT localModelServerChanged();
}

void SettingsStore::setLocalModel(const QString& value) {
    m_store.set(StoredValue(value), localModelKey());
    if (m_localModel == value)
        return;
    m_localModel = value;
    Q_EMIT localModelChanged();
}

void SettingsStore::setAnthropicBaseURL(const QString& value) {
    m_store.set(StoredValue(value), anthropicBaseURLKey());
    if (m_anthropicBaseURL == value)
        return;
    m_anthropicBaseURL = value;
    Q_EMIT anthropicBaseURLChanged();
}

void SettingsStore::setMessagingApp(MessagingApp value) {
    m_store.set(StoredValue(rawValue(value)), messagingAppKey());
    if (m_messagingApp == value)
        return;
    m_messagingApp = value;
    Q_EMIT messagingAppChanged();
}

void SettingsStore::setNewContactsFolder(const QString& value) {
    m_store.set(StoredValue(value), newContactsFolderKey());
    if (m_newContactsFolder == value)
        return;
    m_newContactsFolder = value;
    Q_EMIT newContactsFolderChanged();
}

} // namespace pemmo
