// The one door every model call of Pemmo goes through. It decides whether AI may run at all,
// picks the provider the user chose, keeps people marked "Keep off cloud AI" away from the cloud,
// builds what the model is told about a person, and publishes busy and error state for the
// screens. GUI thread only.
#pragma once

#include "AI/AIAvailability.h"
#include "AI/AIProvider.h"
#include "AI/Briefing.h"
#include "AI/CaptureResult.h"
#include "AI/Channel.h"
#include "AI/ExtractedProfile.h"
#include "AI/Proposal.h"
#include "AI/RankedProfile.h"
#include "Records/BriefingCache.h"
#include "Records/Profile.h"
#include "Settings/AIProviderID.h"
#include "Support/Clock.h"

#include <QCoroTask>
#include <QObject>
#include <QTimeZone>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace pemmo {

class EmbeddingIndex;
class SecretStore;
class SettingsStore;

class AIService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(bool lastLeftDevice READ lastLeftDevice NOTIFY lastLeftDeviceChanged)
    Q_PROPERTY(QString lastProviderName READ lastProviderNameText NOTIFY lastProviderNameChanged)
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    Q_PROPERTY(ConnectionTest connectionTest READ connectionTest NOTIFY connectionTestChanged)
    Q_PROPERTY(QString connectionTestMessage READ connectionTestMessage NOTIFY connectionTestChanged)

public:
    using Providers = std::map<AIProviderID, std::shared_ptr<AIProvider>>;
    // Called afresh for every operation, so a changed key, model or address counts at once.
    using ProviderFactory = std::function<Providers()>;

    // The settings pane's connection test.
    enum class ConnectionTest { Idle, Running, Succeeded, Failed };
    Q_ENUM(ConnectionTest)

    // The text every connection test sends.
    static QString connectionTestText() { return QStringLiteral("Pemmo connection test"); }

    // The settings and secrets are not owned and must outlive the service; `embeddings` may be null.
    AIService(SettingsStore& settings, SecretStore& secrets, EmbeddingIndex* embeddings,
              ProviderFactory makeProviders, QTimeZone timeZone = QTimeZone::systemTimeZone(),
              Clock clock = systemClock(), QObject* parent = nullptr);
    ~AIService() override;

    // What the user is shown for a failed operation.
    static QString errorMessage(const std::exception& error);
    static QString errorMessage(std::exception_ptr error);

    bool isBusy() const { return m_isBusy; }
    bool lastLeftDevice() const { return m_lastLeftDevice; }
    const std::optional<QString>& lastProviderName() const { return m_lastProviderName; }
    const std::optional<QString>& lastError() const { return m_lastError; }
    QString lastProviderNameText() const { return m_lastProviderName.value_or(QString()); }
    QString lastErrorText() const { return m_lastError.value_or(QString()); }
    ConnectionTest connectionTest() const { return m_connectionTest; }
    const QString& connectionTestMessage() const { return m_connectionTestMessage; }

    SettingsStore& settings() const { return m_settings; }
    SecretStore& secrets() const { return m_secrets; }
    EmbeddingIndex* embeddings() const { return m_embeddings; }
    const QTimeZone& timeZone() const { return m_timeZone; }

    // The provider the settings choose; null when there is none. No fallback to the other one.
    std::shared_ptr<AIProvider> currentProvider() const;
    // Replaces where the providers come from (tests hand in scripted ones).
    void setProviderFactory(ProviderFactory makeProviders) { m_makeProviders = std::move(makeProviders); }
    // "AI is turned off", "No AI provider available", or what the provider itself says.
    QCoro::Task<AIAvailability> availability();

    // The operations. Each fails with the error its provider raised, or before reaching one when
    // AI is off, there is no provider, or the person is kept off the cloud.

    // A cached briefing is returned when the profile has not changed since it was made by the
    // same model; the caller stores a fresh one with makeBriefingCache through the sync engine.
    QCoro::Task<Briefing> briefing(Profile profile);
    QCoro::Task<QString> draft(Profile profile, Channel channel, std::optional<QString> intent);
    QCoro::Task<CaptureResult> capture(QString note, std::optional<Profile> profile);
    QCoro::Task<ExtractedProfile> extract(QString text);
    // The people the model chose, best first, with their reasons. People kept off the cloud are
    // left out silently when the provider leaves the device; only the first 40 are sent.
    QCoro::Task<QList<RankedProfile>> rank(QString query, QList<Profile> profiles);
    // Runs the provider's extract on connectionTestText() and drops the answer.
    QCoro::Task<void> testConnection();

    // A note captured and turned into a proposal against the person's current record; the model's
    // answer comes along (its personName helps the review find the person when none was chosen).
    struct CapturedNote {
        CaptureResult capture;
        Proposal proposal;
    };
    QCoro::Task<CapturedNote> captureProposal(QString note, std::optional<Profile> profile);
    // Facts pulled out of pasted text, as a proposal against the person's current record.
    QCoro::Task<Proposal> extractProposal(QString text, Profile profile);

    BriefingCache makeBriefingCache(const Briefing& briefing, const Profile& profile,
                                    const QDateTime& generatedAt) const;

    // For the settings pane: runs testConnection and publishes its outcome in connectionTest and
    // connectionTestMessage (the error text, or empty). A test already running is not started again.
    Q_INVOKABLE void startConnectionTest();
    // The cloud key in `keyring`. A keyring may block on D-Bus (a daemon starting, a prompt to
    // unlock it): call these from a worker thread, not the window system's.
    // Absent when the keyring cannot be read.
    static std::optional<bool> hasCloudKey(SecretStore& keyring);
    // Stores the trimmed key (a blank one removes it). Returns the message to show, empty on success.
    static QString saveCloudKey(SecretStore& keyring, const QString& key);

Q_SIGNALS:
    void isBusyChanged();
    void lastLeftDeviceChanged();
    void lastProviderNameChanged();
    void lastErrorChanged();
    void connectionTestChanged();

private:
    // The provider an operation ran with, and its answer.
    template <class T> struct Answered {
        T value;
        QString modelName;
        bool leftDevice = false;
    };

    // Steps before the provider: AI on, a provider, the person not kept off the cloud. Failures are
    // published in lastError and thrown.
    std::shared_ptr<AIProvider> gate(const Profile* person);
    void begin();
    void reach(const AIProvider& provider);
    void succeed();
    void fail(std::exception_ptr error);
    void failBeforeStart(const std::exception& error);

    QCoro::Task<Answered<CaptureResult>> runCapture(QString note, std::optional<Profile> profile);
    QCoro::Task<Answered<ExtractedProfile>> runExtract(QString text);
    QCoro::Task<void> runConnectionTest();

    void setBusy(bool value);
    void setLastLeftDevice(bool value);
    void setLastProviderName(const std::optional<QString>& value);
    void setLastError(const std::optional<QString>& value);
    void setConnectionTest(ConnectionTest state, const QString& message);

    SettingsStore& m_settings;
    SecretStore& m_secrets;
    EmbeddingIndex* m_embeddings;
    ProviderFactory m_makeProviders;
    QTimeZone m_timeZone;
    Clock m_clock;

    bool m_isBusy = false;
    bool m_lastLeftDevice = false;
    std::optional<QString> m_lastProviderName;
    std::optional<QString> m_lastError;
    ConnectionTest m_connectionTest = ConnectionTest::Idle;
    QString m_connectionTestMessage;
};

} // namespace pemmo
