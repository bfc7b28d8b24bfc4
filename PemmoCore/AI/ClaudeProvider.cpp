#include "AI/ClaudeProvider.h"

#include "AI/AILogging.h"
#include "AI/AIRecordCoding.h"
#include "AI/PersonContextBuilder.h"
#include "AI/Prompts.h"
#include "AI/ProviderResponses.h"
#include "AI/ResponseSchemas.h"
#include "AI/ServerAddress.h"
#include "AI/TransportError.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"

#include <QCoroFuture>
#include <QCoroTimer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <nlohmann/json.hpp>

namespace pemmo {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// The models that may be served by a fallback model when they are overloaded.
bool usesFallbacks(const QString& model) {
    return model.startsWith(u"claude-opus-5") || model.startsWith(u"claude-fable");
}

// A server between Pemmo and the API (a proxy, a stand-in) may echo the request in its answer or
// its error; the key it carried is taken out of every text the user could see.
QString withoutKey(QString text, const QString& key) {
    if (!key.isEmpty())
        text.replace(key, QStringLiteral("[API key]"));
    return text;
}

PemmoError withoutKey(const PemmoError& error, const QString& key) {
    if (key.isEmpty() || !error.text().contains(key))
        return error;
    switch (error.errorCase()) {
    case PemmoError::Case::Network:
        return PemmoError::network(error.number(), withoutKey(error.text(), key));
    case PemmoError::Case::AIResponseInvalid:
        return PemmoError::aiResponseInvalid(withoutKey(error.text(), key));
    case PemmoError::Case::AIUnavailable:
        return PemmoError::aiUnavailable(withoutKey(error.text(), key));
    default:
        return error;
    }
}

bool isRetryable(int status) {
    return status == 429 || (status >= 500 && status <= 599);
}

} // namespace

QUrl ClaudeProvider::defaultEndpoint() {
    return QUrl(QStringLiteral("https://api.anthropic.com/v1/messages"));
}

std::optional<QUrl> ClaudeProvider::endpoint(const QString& baseURL) {
    if (Text::isBlank(baseURL))
        return defaultEndpoint();
    const auto base = ServerAddress::parse(baseURL);
    if (!base)
        return std::nullopt;
    if (base->path().endsWith(u"/v1/messages"))
        return base;
    return ServerAddress::withPath(*base, QStringLiteral("/v1/messages"));
}

QString ClaudeProvider::missingKeyMessage() {
    return u"Add your Anthropic API key in Settings \u2192 AI"_qs;
}

ClaudeProvider::ClaudeProvider(APIKeyReader apiKey, QString reasoningModel, QString fastModel,
                               std::shared_ptr<HTTPTransport> transport, QUrl endpoint,
                               std::chrono::milliseconds retryDelay, QString baseURL)
    : m_apiKey(std::move(apiKey))
    , m_reasoningModel(std::move(reasoningModel))
    , m_fastModel(std::move(fastModel))
    , m_transport(std::move(transport))
    , m_endpoint(std::move(endpoint))
    , m_retryDelay(retryDelay)
    , m_baseURL(std::move(baseURL)) {}

QCoro::Task<std::optional<QString>> ClaudeProvider::readKey() const {
    if (!m_apiKey)
        co_return std::nullopt;
    auto reading = QtConcurrent::run([reader = m_apiKey]() -> std::optional<QString> {
        try {
            return reader();
        } catch (...) {
            // A keyring that cannot be read is, to the user, a key that is not there.
            return std::nullopt;
        }
    });
    co_return co_await reading;
}

HTTPRequest ClaudeProvider::makeRequest(const QString& prompt, const QString& model,
                                        const ordered_json* schema, const std::optional<QString>& key) const {
    if (!key || Text::isBlank(*key))
        throw PemmoError::aiUnavailable(missingKeyMessage());
    if (!m_endpoint.isValid() || m_endpoint.isEmpty()) {
        throw PemmoError::aiUnavailable(u"The Claude address \u201C"_qs + m_baseURL +
                                        u"\u201D in Settings \u2192 AI is not an https address."_qs);
    }
    const bool fallbacks = usesFallbacks(model);

    ordered_json body = ordered_json::object();
    body["model"] = model.toStdString();
    body["max_tokens"] = maxTokens;
    body["system"] = Prompts::system().toStdString();
    body["messages"] = ordered_json::array({{{"role", "user"}, {"content", prompt.toStdString()}}});
    if (schema)
        body["output_config"] = {{"format", {{"type", "json_schema"}, {"schema", *schema}}}};
    if (fallbacks)
        body["fallbacks"] = "default";

    HTTPRequest request;
    request.url = m_endpoint;
    request.method = "POST";
    request.timeout = requestTimeout;
    request.headers = {{"Content-Type", "application/json"},
                       {"x-api-key", Text::trimmed(*key).toUtf8()},
                       {"anthropic-version", "2023-06-01"}};
    if (fallbacks)
        request.headers.emplaceBack("anthropic-beta", "server-side-fallback-2026-07-01");
    request.body = QByteArray::fromStdString(body.dump(-1, ' ', false, json::error_handler_t::replace));
    return request;
}

QString ClaudeProvider::readText(const HTTPResponse& response) {
    return ProviderResponses::messagesText(response.status, response.body);
}

QCoro::Task<HTTPResponse> ClaudeProvider::sendOnce(HTTPRequest request) {
    const std::shared_ptr<HTTPTransport> transport = m_transport;
    std::optional<PemmoError> failure;
    try {
        auto sending = transport->send(std::move(request));
        HTTPResponse response = co_await sending;
        qCInfo(lcAI) << "Claude answered with HTTP" << response.status;
        co_return response;
    } catch (const TransportError& error) {
        failure = PemmoError::network(0, error.description());
    } catch (const PemmoError& error) {
        failure = error;
    } catch (const std::exception& error) {
        failure = PemmoError::network(0, QString::fromUtf8(error.what()));
    }
    qCCritical(lcAI) << "Claude request failed:" << failure->message();
    throw *failure;
}

QCoro::Task<QString> ClaudeProvider::complete(QString prompt, QString model, const ordered_json* schema) {
    auto reading = readKey();
    const std::optional<QString> apiKey = co_await reading;
    const HTTPRequest request = makeRequest(prompt, model, schema, apiKey);
    auto first = sendOnce(request);
    HTTPResponse response = co_await first;
    if (isRetryable(response.status)) {
        auto pause = QCoro::sleepFor(m_retryDelay);
        co_await pause;
        auto second = sendOnce(request);
        response = co_await second;
    }
    const QString key = QString::fromUtf8(request.header("x-api-key"));
    std::optional<PemmoError> failure;
    QString answer;
    try {
        answer = readText(response);
    } catch (const PemmoError& error) {
        failure = withoutKey(error, key);
    }
    if (failure)
        throw *failure;
    co_return withoutKey(answer, key);
}

template <class T>
QCoro::Task<T> ClaudeProvider::structured(QString prompt, QString model, const ordered_json* schema,
                                          Decoder<T> decode) {
    auto first = complete(prompt, model, schema);
    const QString answer = co_await first;
    if (auto decoded = decode(answer.toUtf8()))
        co_return std::move(*decoded);
    qCInfo(lcAI) << "Claude's answer was not the JSON asked for; asking once more";
    auto second = complete(prompt, model, schema);
    const QString again = co_await second;
    if (auto decoded = decode(again.toUtf8()))
        co_return std::move(*decoded);
    throw ProviderResponses::parseFailure(again);
}

QCoro::Task<AIAvailability> ClaudeProvider::availability() {
    auto reading = readKey();
    const std::optional<QString> key = co_await reading;
    if (!key || Text::isBlank(*key))
        co_return AIAvailability::unavailable(missingKeyMessage());
    co_return AIAvailability::available();
}

QCoro::Task<Briefing> ClaudeProvider::briefing(PersonContext context) {
    return structured<Briefing>(Prompts::briefing(PersonContextBuilder::contextJSON(context)),
                                m_reasoningModel, &ResponseSchemas::Cloud::briefing(),
                                [](QByteArrayView json) { return AIRecordCoding::decodeBriefing(json); });
}

QCoro::Task<ExtractedProfile> ClaudeProvider::extract(QString text) {
    return structured<ExtractedProfile>(
        Prompts::extract(text), m_fastModel, &ResponseSchemas::Cloud::extractedProfile(),
        [](QByteArrayView json) { return AIRecordCoding::decodeExtractedProfile(json); });
}

QCoro::Task<CaptureResult> ClaudeProvider::capture(QString note, std::optional<PersonContext> context,
                                                   QString today) {
    std::optional<QString> contextJSON;
    if (context)
        contextJSON = PersonContextBuilder::contextJSON(*context);
    return structured<CaptureResult>(
        Prompts::capture(note, contextJSON, today), m_fastModel, &ResponseSchemas::Cloud::captureResult(),
        [](QByteArrayView json) { return AIRecordCoding::decodeCaptureResult(json); });
}

QCoro::Task<QString> ClaudeProvider::draft(PersonContext context, Channel channel,
                                           std::optional<QString> intent) {
    return complete(Prompts::draft(PersonContextBuilder::contextJSON(context), channel, intent),
                    m_reasoningModel, nullptr);
}

QCoro::Task<QList<RankedCandidate>> ClaudeProvider::rank(QString query, QList<CandidateSummary> candidates) {
    return structured<QList<RankedCandidate>>(
        Prompts::rank(query, candidates), m_reasoningModel, &ResponseSchemas::Cloud::ranking(),
        [](QByteArrayView json) { return AIRecordCoding::decodeRanking(json); });
}

} // namespace pemmo
