#include "AI/LocalModelProvider.h"

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

#include <nlohmann/json.hpp>

namespace pemmo {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

QString duration(std::chrono::milliseconds limit) {
    if (limit < std::chrono::seconds(1))
        return QString::number(limit.count()) + QStringLiteral(" milliseconds");
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    if (seconds >= 120 && seconds % 60 == 0)
        return QString::number(seconds / 60) + QStringLiteral(" minutes");
    return QString::number(seconds) + (seconds == 1 ? QStringLiteral(" second") : QStringLiteral(" seconds"));
}

} // namespace

LocalModelProvider::LocalModelProvider(QString server, QString model,
                                       std::shared_ptr<HTTPTransport> transport, Timeouts timeouts)
    : m_serverText(Text::isBlank(server) ? defaultServer() : Text::trimmed(server))
    , m_server(ServerAddress::parseLocal(m_serverText))
    , m_model(Text::isBlank(model) ? defaultModel() : Text::trimmed(model))
    , m_transport(std::move(transport))
    , m_timeouts(timeouts) {}

QString LocalModelProvider::notRunningMessage() const {
    return QStringLiteral("No local model server is running at ") + m_serverText +
           u". Start it (\u201Collama serve\u201D) or change the address in Settings \u2192 AI."_qs;
}

QString LocalModelProvider::notInstalledMessage() const {
    return QStringLiteral("The model ") + m_model +
           QStringLiteral(" is not installed on the local model server. Install it with: ollama pull ") +
           m_model;
}

QString LocalModelProvider::invalidAddressMessage() const {
    return u"\u201C"_qs + m_serverText +
           u"\u201D in Settings \u2192 AI is not an address of this computer\u2019s model server "
           u"(for example http://127.0.0.1:11434)."_qs;
}

QString LocalModelProvider::notAModelServerMessage() const {
    return QStringLiteral("The server at ") + m_serverText +
           QStringLiteral(" does not answer like a local model server (the Ollama API).");
}

HTTPRequest LocalModelProvider::makeRequest(const QString& prompt, const ordered_json* schema) const {
    if (!m_server)
        throw PemmoError::aiUnavailable(invalidAddressMessage());
    ordered_json body = ordered_json::object();
    body["model"] = m_model.toStdString();
    body["messages"] =
        ordered_json::array({{{"role", "system"}, {"content", Prompts::system().toStdString()}},
                             {{"role", "user"}, {"content", prompt.toStdString()}}});
    body["stream"] = false;
    if (schema)
        body["format"] = *schema;
    body["options"] = {{"num_ctx", contextWindow}};

    HTTPRequest request;
    request.url = ServerAddress::withPath(*m_server, QStringLiteral("/api/chat"));
    request.method = "POST";
    request.timeout = m_timeouts.answer;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = QByteArray::fromStdString(body.dump(-1, ' ', false, json::error_handler_t::replace));
    return request;
}

QString LocalModelProvider::readText(const HTTPResponse& response) const {
    return ProviderResponses::chatText(response.status, response.body, m_serverText, notInstalledMessage());
}

QCoro::Task<QString> LocalModelProvider::complete(QString prompt, const ordered_json* schema) {
    const HTTPRequest request = makeRequest(prompt, schema);
    const std::shared_ptr<HTTPTransport> transport = m_transport;
    const std::chrono::milliseconds limit = m_timeouts.answer;
    std::optional<PemmoError> failure;
    HTTPResponse response;
    try {
        auto sending = transport->send(request);
        response = co_await sending;
    } catch (const TransportError& error) {
        switch (error.kind()) {
        case TransportError::Kind::ConnectionRefused:
            failure = PemmoError::aiUnavailable(notRunningMessage());
            break;
        case TransportError::Kind::TimedOut:
            failure = PemmoError::network(0, QStringLiteral("The local model did not answer within ") +
                                                 duration(limit) + u'.');
            break;
        case TransportError::Kind::Other:
            failure = PemmoError::network(0, error.description());
            break;
        }
    }
    if (failure) {
        qCCritical(lcAI) << "Local model request failed:" << failure->message();
        throw *failure;
    }
    qCInfo(lcAI) << "Local model answered with HTTP" << response.status;
    co_return readText(response);
}

template <class T>
QCoro::Task<T> LocalModelProvider::structured(QString prompt, const ordered_json* schema, Decoder<T> decode) {
    auto asking = complete(prompt, schema);
    const QString answer = co_await asking;
    if (auto decoded = decode(answer.toUtf8()))
        co_return std::move(*decoded);
    throw ProviderResponses::parseFailure(answer);
}

QCoro::Task<LocalModelList> LocalModelProvider::installedModels() {
    LocalModelList list;
    if (!m_server) {
        list.problem = LocalModelList::Problem::InvalidAddress;
        list.message = invalidAddressMessage();
        co_return list;
    }
    HTTPRequest request;
    request.url = ServerAddress::withPath(*m_server, QStringLiteral("/api/tags"));
    request.method = "GET";
    request.timeout = m_timeouts.probe;
    const std::shared_ptr<HTTPTransport> transport = m_transport;
    HTTPResponse response;
    try {
        auto asking = transport->send(request);
        response = co_await asking;
    } catch (const std::exception&) {
        list.problem = LocalModelList::Problem::NotRunning;
        list.message = notRunningMessage();
        co_return list;
    }
    std::optional<QStringList> models = ProviderResponses::installedModels(response.status, response.body);
    if (!models) {
        list.problem = LocalModelList::Problem::NotAModelServer;
        list.message = notAModelServerMessage();
        co_return list;
    }
    list.models = std::move(*models);
    co_return list;
}

QCoro::Task<AIAvailability> LocalModelProvider::availability() {
    auto listing = installedModels();
    const LocalModelList list = co_await listing;
    if (!list.reached())
        co_return AIAvailability::unavailable(list.message);
    if (!list.lists(m_model))
        co_return AIAvailability::unavailable(notInstalledMessage());
    co_return AIAvailability::available();
}

QCoro::Task<Briefing> LocalModelProvider::briefing(PersonContext context) {
    return structured<Briefing>(Prompts::briefing(PersonContextBuilder::contextJSON(context)),
                                &ResponseSchemas::Generable::briefing(),
                                [](QByteArrayView json) { return AIRecordCoding::decodeBriefing(json); });
}

QCoro::Task<ExtractedProfile> LocalModelProvider::extract(QString text) {
    return structured<ExtractedProfile>(
        Prompts::extract(text), &ResponseSchemas::Generable::extractedProfile(), [](QByteArrayView json) {
            return AIRecordCoding::decodeExtractedProfile(json, AIRecordCoding::Lists::MayBeAbsent);
        });
}

QCoro::Task<CaptureResult> LocalModelProvider::capture(QString note, std::optional<PersonContext> context,
                                                       QString today) {
    std::optional<QString> contextJSON;
    if (context)
        contextJSON = PersonContextBuilder::contextJSON(*context);
    return structured<CaptureResult>(Prompts::capture(note, contextJSON, today),
                                     &ResponseSchemas::Generable::captureResult(), [](QByteArrayView json) {
                                         return AIRecordCoding::decodeCaptureResult(
                                             json, AIRecordCoding::Lists::MayBeAbsent);
                                     });
}

QCoro::Task<QString> LocalModelProvider::draft(PersonContext context, Channel channel,
                                               std::optional<QString> intent) {
    return complete(Prompts::draft(PersonContextBuilder::contextJSON(context), channel, intent), nullptr);
}

QCoro::Task<QList<RankedCandidate>> LocalModelProvider::rank(QString query,
                                                             QList<CandidateSummary> candidates) {
    return structured<QList<RankedCandidate>>(
        Prompts::rank(query, candidates), &ResponseSchemas::Generable::ranking(), [](QByteArrayView json) {
            return AIRecordCoding::decodeRanking(json, AIRecordCoding::Lists::MayBeAbsent);
        });
}

} // namespace pemmo
