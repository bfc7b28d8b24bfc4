#include "AI/AIService.h"

#include "AI/AILogging.h"
#include "AI/AskCandidates.h"
#include "AI/BriefingFingerprint.h"
#include "AI/PersonContextBuilder.h"
#include "AI/ProposalBuilder.h"
#include "AI/TransportError.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Settings/KeychainError.h"
#include "Settings/SecretStore.h"
#include "Settings/SettingsStore.h"

#include <QHash>
#include <QPointer>
#include <QSet>

namespace pemmo {

AIService::AIService(SettingsStore& settings, SecretStore& secrets, EmbeddingIndex* embeddings,
                     ProviderFactory makeProviders, QTimeZone timeZone, Clock clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_secrets(secrets)
    , m_embeddings(embeddings)
    , m_makeProviders(std::move(makeProviders))
    , m_timeZone(std::move(timeZone))
    , m_clock(std::move(clock)) {}

AIService::~AIService() = default;

QString AIService::errorMessage(const std::exception& error) {
    if (const auto* e = dynamic_cast<const PemmoError*>(&error)) {
        switch (e->errorCase()) {
        case PemmoError::Case::AIUnavailable:
        case PemmoError::Case::AIResponseInvalid:
        case PemmoError::Case::Network:
            return e->text();
        case PemmoError::Case::AIOptedOut:
            return e->text() + QStringLiteral(" is opted out of cloud AI");
        default:
            return e->message();
        }
    }
    if (const auto* e = dynamic_cast<const KeychainError*>(&error))
        return e->description();
    if (const auto* e = dynamic_cast<const TransportError*>(&error))
        return e->description();
    return QString::fromUtf8(error.what());
}

QString AIService::errorMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return errorMessage(e);
    } catch (...) {
        return QStringLiteral("Something went wrong.");
    }
}

std::shared_ptr<AIProvider> AIService::currentProvider() const {
    if (!m_makeProviders)
        return nullptr;
    const Providers providers = m_makeProviders();
    const auto it = providers.find(m_settings.aiProvider());
    return it == providers.end() ? nullptr : it->second;
}

QCoro::Task<AIAvailability> AIService::availability() {
    if (!m_settings.aiEnabled())
        co_return AIAvailability::unavailable(QStringLiteral("AI is turned off"));
    const std::shared_ptr<AIProvider> provider = currentProvider();
    if (!provider)
        co_return AIAvailability::unavailable(QStringLiteral("No AI provider available"));
    auto asking = provider->availability();
    co_return co_await asking;
}

// ---- the gate --------------------------------------------------------------------------------

std::shared_ptr<AIProvider> AIService::gate(const Profile* person) {
    try {
        if (!m_settings.aiEnabled())
            throw PemmoError::aiUnavailable(QStringLiteral("AI is turned off"));
        std::shared_ptr<AIProvider> provider = currentProvider();
        if (!provider)
            throw PemmoError::aiUnavailable(QStringLiteral("No AI provider available"));
        if (provider->leavesDevice() && person && person->record->aiCloudOptOut)
            throw PemmoError::aiOptedOut(person->person->displayName());
        return provider;
    } catch (const PemmoError& error) {
        failBeforeStart(error);
        throw;
    }
}

void AIService::begin() {
    setBusy(true);
    setLastLeftDevice(false);
}

void AIService::reach(const AIProvider& provider) {
    setLastLeftDevice(provider.leavesDevice());
    setLastProviderName(provider.displayName());
}

void AIService::succeed() {
    setLastError(std::nullopt);
    setBusy(false);
}

void AIService::fail(std::exception_ptr error) {
    setBusy(false);
    const QString message = errorMessage(error);
    qCCritical(lcAI) << "AI operation failed:" << message;
    setLastError(message);
}

void AIService::failBeforeStart(const std::exception& error) {
    setLastError(errorMessage(error));
}

// ---- operations ------------------------------------------------------------------------------

QCoro::Task<Briefing> AIService::briefing(Profile profile) {
    const QPointer<AIService> self(this);
    const std::shared_ptr<AIProvider> provider = gate(&profile);
    begin();
    try {
        Briefing result;
        const std::optional<BriefingCache>& cache = profile.record->briefingCache;
        if (cache && cache->contentHash == BriefingFingerprint::of(profile) &&
            cache->model == provider->modelName()) {
            result = {cache->summary, cache->opener};
        } else {
            reach(*provider);
            auto asking = provider->briefing(PersonContextBuilder::build(profile));
            result = co_await asking;
        }
        if (self)
            succeed();
        co_return result;
    } catch (...) {
        if (self)
            fail(std::current_exception());
        throw;
    }
}

QCoro::Task<QString> AIService::draft(Profile profile, Channel channel, std::optional<QString> intent) {
    const QPointer<AIService> self(this);
    const std::shared_ptr<AIProvider> provider = gate(&profile);
    begin();
    try {
        reach(*provider);
        auto asking = provider->draft(PersonContextBuilder::build(profile), channel, intent);
        QString result = co_await asking;
        if (self)
            succeed();
        co_return result;
    } catch (...) {
        if (self)
            fail(std::current_exception());
        throw;
    }
}

QCoro::Task<AIService::Answered<CaptureResult>> AIService::runCapture(QString note,
                                                                      std::optional<Profile> profile) {
    const QPointer<AIService> self(this);
    const std::shared_ptr<AIProvider> provider = gate(profile ? &*profile : nullptr);
    begin();
    try {
        reach(*provider);
        std::optional<PersonContext> context;
        if (profile)
            context = PersonContextBuilder::build(*profile);
        const QString today = m_clock().toTimeZone(m_timeZone).date().toString(QStringLiteral("yyyy-MM-dd"));
        auto asking = provider->capture(note, context, today);
        CaptureResult result = co_await asking;
        if (self)
            succeed();
        co_return Answered<CaptureResult>{std::move(result), provider->modelName(), provider->leavesDevice()};
    } catch (...) {
        if (self)
            fail(std::current_exception());
        throw;
    }
}

QCoro::Task<CaptureResult> AIService::capture(QString note, std::optional<Profile> profile) {
    auto running = runCapture(std::move(note), std::move(profile));
    Answered<CaptureResult> answered = co_await running;
    co_return std::move(answered.value);
}

QCoro::Task<AIService::CapturedNote> AIService::captureProposal(QString note,
                                                                std::optional<Profile> profile) {
    auto running = runCapture(std::move(note), profile);
    const Answered<CaptureResult> answered = co_await running;
    std::optional<PemmoRecord> record;
    std::optional<QString> id;
    if (profile) {
        record = *profile->record;
        id = profile->id();
    }
    Proposal proposal = ProposalBuilder::fromCapture(answered.value, record, id, answered.modelName,
                                                     answered.leftDevice, m_clock());
    co_return CapturedNote{answered.value, std::move(proposal)};
}

QCoro::Task<AIService::Answered<ExtractedProfile>> AIService::runExtract(QString text) {
    const QPointer<AIService> self(this);
    const std::shared_ptr<AIProvider> provider = gate(nullptr);
    begin();
    try {
        reach(*provider);
        auto asking = provider->extract(text);
        ExtractedProfile result = co_await asking;
        if (self)
            succeed();
        co_return Answered<ExtractedProfile>{std::move(result), provider->modelName(),
                                             provider->leavesDevice()};
    } catch (...) {
        if (self)
            fail(std::current_exception());
        throw;
    }
}

QCoro::Task<ExtractedProfile> AIService::extract(QString text) {
    auto running = runExtract(std::move(text));
    Answered<ExtractedProfile> answered = co_await running;
    co_return std::move(answered.value);
}

QCoro::Task<Proposal> AIService::extractProposal(QString text, Profile profile) {
    auto running = runExtract(std::move(text));
    const Answered<ExtractedProfile> answered = co_await running;
    co_return ProposalBuilder::fromExtract(answered.value, *profile.record, profile.id(), answered.modelName,
                                           answered.leftDevice);
}

QCoro::Task<QList<RankedProfile>> AIService::rank(QString query, QList<Profile> profiles) {
    const QPointer<AIService> self(this);
    const std::shared_ptr<AIProvider> provider = gate(nullptr);
    begin();
    try {
        QList<Profile> candidates;
        for (const Profile& profile : std::as_const(profiles)) {
            if (candidates.size() == AskCandidates::limit)
                break;
            // Kept off the cloud means not even named to it; no error, they are simply not asked about.
            if (provider->leavesDevice() && profile.record->aiCloudOptOut)
                continue;
            candidates.append(profile);
        }
        QList<CandidateSummary> summaries;
        QHash<QString, qsizetype> indexByID;
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            summaries.append(AskCandidates::summarize(candidates[i], query));
            indexByID.insert(candidates[i].id(), i);
        }
        reach(*provider);
        auto asking = provider->rank(query, summaries);
        const QList<RankedCandidate> answer = co_await asking;

        QList<RankedProfile> ranked;
        QSet<QString> used;
        for (const RankedCandidate& candidate : answer) {
            const auto it = indexByID.constFind(candidate.id);
            if (it == indexByID.cend() || used.contains(candidate.id))
                continue;
            used.insert(candidate.id);
            const Profile& profile = candidates[*it];
            ranked.append({profile, AskCandidates::groundedReason(candidate.reason, profile, query)});
        }
        if (self)
            succeed();
        co_return ranked;
    } catch (...) {
        if (self)
            fail(std::current_exception());
        throw;
    }
}

QCoro::Task<void> AIService::testConnection() {
    auto running = runExtract(connectionTestText());
    co_await running;
}

BriefingCache AIService::makeBriefingCache(const Briefing& briefing, const Profile& profile,
                                           const QDateTime& generatedAt) const {
    BriefingCache cache;
    cache.contentHash = BriefingFingerprint::of(profile);
    cache.summary = briefing.summary;
    cache.opener = briefing.opener;
    cache.generatedAt = generatedAt;
    if (const std::shared_ptr<AIProvider> provider = currentProvider()) {
        cache.model = provider->modelName();
        cache.leftDevice = provider->leavesDevice();
        cache.providerName = provider->displayName();
    }
    return cache;
}

// ---- the settings pane -----------------------------------------------------------------------

void AIService::startConnectionTest() {
    if (m_connectionTest == ConnectionTest::Running)
        return;
    setConnectionTest(ConnectionTest::Running, QString());
    runConnectionTest();
}

QCoro::Task<void> AIService::runConnectionTest() {
    const QPointer<AIService> self(this);
    std::exception_ptr error;
    try {
        auto testing = testConnection();
        co_await testing;
    } catch (...) {
        error = std::current_exception();
    }
    if (!self)
        co_return;
    if (error)
        setConnectionTest(ConnectionTest::Failed, errorMessage(error));
    else
        setConnectionTest(ConnectionTest::Succeeded, QString());
}

std::optional<bool> AIService::hasCloudKey(SecretStore& keyring) {
    try {
        const std::optional<QString> key = keyring.read(SecretStore::cloudKeyAccount());
        return key && !Text::isBlank(*key);
    } catch (const KeychainError& error) {
        qCCritical(lcAI) << "The keyring cannot be read:" << error.description();
        return std::nullopt;
    }
}

QString AIService::saveCloudKey(SecretStore& keyring, const QString& key) {
    try {
        if (Text::isBlank(key))
            keyring.remove(SecretStore::cloudKeyAccount());
        else
            keyring.write(Text::trimmed(key), SecretStore::cloudKeyAccount());
    } catch (const KeychainError& error) {
        qCCritical(lcAI) << "The keyring refused the key:" << error.description();
        return KeychainError::saveFailedMessage();
    }
    return {};
}

// ---- published state -------------------------------------------------------------------------

void AIService::setBusy(bool value) {
    if (m_isBusy == value)
        return;
    m_isBusy = value;
    Q_EMIT isBusyChanged();
}

void AIService::setLastLeftDevice(bool value) {
    if (m_lastLeftDevice == value)
        return;
    m_lastLeftDevice = value;
    Q_EMIT lastLeftDeviceChanged();
}

void AIService::setLastProviderName(const std::optional<QString>& value) {
    if (m_lastProviderName == value)
        return;
    m_lastProviderName = value;
    Q_EMIT lastProviderNameChanged();
}

void AIService::setLastError(const std::optional<QString>& value) {
    if (m_lastError == value)
        return;
    m_lastError = value;
    Q_EMIT lastErrorChanged();
}

void AIService::setConnectionTest(ConnectionTest state, const QString& message) {
    if (m_connectionTest == state && m_connectionTestMessage == message)
        return;
    m_connectionTest = state;
    m_connectionTestMessage = message;
    Q_EMIT connectionTestChanged();
}

} // namespace pemmo
