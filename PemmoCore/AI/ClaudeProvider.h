// Claude over the Anthropic Messages API with the user's own key: one HTTPS request per operation
// (two after a 429 or 5xx, or when the answer is not the JSON asked for), the model's structured
// answer decoded into the AI records, and every failure turned into the text the user sees.
#pragma once

#include "AI/AIProvider.h"
#include "AI/HTTPTransport.h"

#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>

namespace pemmo {

class ClaudeProvider : public AIProvider {
public:
    // Reads the key from the keyring; may throw, and may find none. It is called on a worker
    // thread: a keyring can take its time (a daemon starting, a prompt to unlock it).
    using APIKeyReader = std::function<std::optional<QString>()>;

    static constexpr int maxTokens = 4096;
    static constexpr std::chrono::milliseconds defaultRetryDelay{1000};
    static constexpr std::chrono::milliseconds requestTimeout{60'000};

    // https://api.anthropic.com/v1/messages
    static QUrl defaultEndpoint();
    static QString defaultBaseURL() { return QStringLiteral("https://api.anthropic.com"); }
    // The Messages endpoint under a base address from the settings (a blank one is the public
    // API); absent when the address is not one Pemmo will send a key to.
    static std::optional<QUrl> endpoint(const QString& baseURL);
    // "Add your Anthropic API key in Settings → AI".
    static QString missingKeyMessage();

    // `endpoint` invalid (empty) makes every operation fail with a message naming `baseURL`.
    ClaudeProvider(APIKeyReader apiKey, QString reasoningModel, QString fastModel,
                   std::shared_ptr<HTTPTransport> transport, QUrl endpoint = defaultEndpoint(),
                   std::chrono::milliseconds retryDelay = defaultRetryDelay, QString baseURL = {});

    AIProviderID id() const override { return AIProviderID::Claude; }
    bool leavesDevice() const override { return true; }
    QString displayName() const override { return QStringLiteral("Claude"); }
    QString modelName() const override { return m_reasoningModel; }
    const QString& reasoningModel() const { return m_reasoningModel; }
    const QString& fastModel() const { return m_fastModel; }
    const QUrl& endpointURL() const { return m_endpoint; }

    QCoro::Task<AIAvailability> availability() override;
    QCoro::Task<Briefing> briefing(PersonContext context) override;
    QCoro::Task<ExtractedProfile> extract(QString text) override;
    QCoro::Task<CaptureResult> capture(QString note, std::optional<PersonContext> context,
                                       QString today) override;
    QCoro::Task<QString> draft(PersonContext context, Channel channel,
                               std::optional<QString> intent) override;
    QCoro::Task<QList<RankedCandidate>> rank(QString query, QList<CandidateSummary> candidates) override;

    // The request for one prompt with `key` (throws PemmoError::aiUnavailable without a usable key
    // or address).
    HTTPRequest makeRequest(const QString& prompt, const QString& model, const nlohmann::ordered_json* schema,
                            const std::optional<QString>& key) const;

    // The answer text of a response; throws the PemmoError the user sees for anything else.
    static QString readText(const HTTPResponse& response);

private:
    template <class T> using Decoder = std::optional<T> (*)(QByteArrayView);

    // The keyring's answer, read off this thread; absent when it has no key or cannot be read.
    QCoro::Task<std::optional<QString>> readKey() const;
    QCoro::Task<HTTPResponse> sendOnce(HTTPRequest request);
    QCoro::Task<QString> complete(QString prompt, QString model, const nlohmann::ordered_json* schema);
    template <class T>
    QCoro::Task<T> structured(QString prompt, QString model, const nlohmann::ordered_json* schema,
                              Decoder<T> decode);

    APIKeyReader m_apiKey;
    QString m_reasoningModel;
    QString m_fastModel;
    std::shared_ptr<HTTPTransport> m_transport;
    QUrl m_endpoint;
    std::chrono::milliseconds m_retryDelay;
    QString m_baseURL;
};

} // namespace pemmo
