// The AI that stays on this computer: a local model server speaking the Ollama chat API (Ollama
// itself, or anything that answers like it) on the loopback address. It sends the same prompts as
// the cloud provider and asks for the structured answers through the request's JSON schema.
#pragma once

#include "AI/AIProvider.h"
#include "AI/HTTPTransport.h"
#include "AI/LocalModelList.h"

#include <QUrl>
#include <chrono>
#include <memory>
#include <nlohmann/json_fwd.hpp>

namespace pemmo {

// How long the local model server may take.
struct LocalModelTimeouts {
    // A model on a CPU alone needs time: loading it from disk can take half a minute, and a
    // capture or a ranking of 40 people generates a few hundred tokens at a handful per second.
    std::chrono::milliseconds answer{300'000};
    // Asking whether the server runs and which models it has is quick, or the server is not there.
    std::chrono::milliseconds probe{5'000};
};

class LocalModelProvider : public AIProvider {
public:
    using Timeouts = LocalModelTimeouts;

    // The context window asked for: room for the longest prompt (a ranking of 40 people) and its
    // answer. Servers default to less and then drop the start of the prompt without a word.
    static constexpr int contextWindow = 8192;

    static QString defaultServer() { return QStringLiteral("http://127.0.0.1:11434"); }
    static QString defaultModel() { return QStringLiteral("llama3.2"); }

    // `server` as written in the settings (blank: the default); `model` likewise.
    LocalModelProvider(QString server, QString model, std::shared_ptr<HTTPTransport> transport,
                       Timeouts timeouts = {});

    AIProviderID id() const override { return AIProviderID::OnDevice; }
    bool leavesDevice() const override { return false; }
    QString displayName() const override { return QStringLiteral("On-device"); }
    // The local model's own name, so that a briefing cached from another model is made again.
    QString modelName() const override { return m_model; }

    QCoro::Task<AIAvailability> availability() override;
    // The models the server has installed (`GET /api/tags`, within the probe time-out), or why it
    // could not be asked. Never throws.
    QCoro::Task<LocalModelList> installedModels();
    QCoro::Task<Briefing> briefing(PersonContext context) override;
    QCoro::Task<ExtractedProfile> extract(QString text) override;
    QCoro::Task<CaptureResult> capture(QString note, std::optional<PersonContext> context,
                                       QString today) override;
    QCoro::Task<QString> draft(PersonContext context, Channel channel,
                               std::optional<QString> intent) override;
    QCoro::Task<QList<RankedCandidate>> rank(QString query, QList<CandidateSummary> candidates) override;

    // The chat request for one prompt; `schema` null for plain text.
    HTTPRequest makeRequest(const QString& prompt, const nlohmann::ordered_json* schema) const;

    // What the user is told.
    QString notRunningMessage() const;
    QString notInstalledMessage() const;
    QString invalidAddressMessage() const;
    QString notAModelServerMessage() const;
    // The server address in use (the default when the setting is blank).
    const QString& server() const { return m_serverText; }

private:
    template <class T> using Decoder = std::optional<T> (*)(QByteArrayView);

    QCoro::Task<QString> complete(QString prompt, const nlohmann::ordered_json* schema);
    template <class T>
    QCoro::Task<T> structured(QString prompt, const nlohmann::ordered_json* schema, Decoder<T> decode);
    QString readText(const HTTPResponse& response) const;

    QString m_serverText;
    std::optional<QUrl> m_server;
    QString m_model;
    std::shared_ptr<HTTPTransport> m_transport;
    Timeouts m_timeouts;
};

} // namespace pemmo
