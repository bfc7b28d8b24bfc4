#include "AI/ProviderResponses.h"

#include "Records/PemmoError.h"
#include "Records/Text.h"

#include <nlohmann/json.hpp>

namespace pemmo::ProviderResponses {
namespace {

using nlohmann::json;

const QString kParseFailure = QStringLiteral("Couldn't parse the model's response");

// The `error.message` of an error body, when it is one.
std::optional<QString> errorMessage(const QByteArray& body) {
    const json root = json::parse(body.begin(), body.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return std::nullopt;
    const auto error = root.find("error");
    if (error == root.end() || error->is_null())
        return std::nullopt;
    if (!error->is_object())
        return std::nullopt;
    for (const char* key : {"type", "message"}) {
        const auto value = error->find(key);
        if (value != error->end() && !value->is_null() && !value->is_string())
            return std::nullopt;
    }
    const auto message = error->find("message");
    if (message == error->end() || message->is_null())
        return std::nullopt;
    return QString::fromStdString(message->get_ref<const std::string&>());
}

PemmoError httpFailure(int status, const QByteArray& body) {
    if (status == 401)
        return PemmoError::network(status, QStringLiteral("Invalid API key"));
    if (status == 429)
        return PemmoError::network(status, u"Rate limited \u2014 try again shortly"_qs);
    if (const auto message = errorMessage(body); message && !Text::isBlank(*message))
        return PemmoError::network(status, Text::trimmed(*message));
    const QString prefix = Text::trimmed(QString::fromUtf8(body.left(200)));
    if (!prefix.isEmpty())
        return PemmoError::network(status, prefix);
    return PemmoError::network(status, QStringLiteral("Request failed (") + QString::number(status) + u')');
}

json parseObject(const QByteArray& body) {
    json root = json::parse(body.begin(), body.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return json();
    return root;
}

// The server's own "error" text, when the body carries one.
std::optional<QString> serverError(const QByteArray& body) {
    const json root = parseObject(body);
    if (!root.is_object())
        return std::nullopt;
    const auto error = root.find("error");
    if (error == root.end() || !error->is_string())
        return std::nullopt;
    const QString text = QString::fromStdString(error->get<std::string>());
    if (Text::isBlank(text))
        return std::nullopt;
    return Text::trimmed(text);
}

} // namespace

QString messagesText(int status, const QByteArray& body) {
    if (status < 200 || status > 299)
        throw httpFailure(status, body);

    const json root = json::parse(body.begin(), body.end(), nullptr, false);
    const auto malformed = [&] { return parseFailure(QString::fromUtf8(body)); };
    if (root.is_discarded() || !root.is_object())
        throw malformed();
    const auto content = root.find("content");
    if (content == root.end() || !content->is_array())
        throw malformed();
    std::optional<QString> stopReason;
    if (const auto stop = root.find("stop_reason"); stop != root.end() && !stop->is_null()) {
        if (!stop->is_string())
            throw malformed();
        stopReason = QString::fromStdString(stop->get_ref<const std::string&>());
    }
    std::optional<QString> text;
    for (const json& block : *content) {
        if (!block.is_object())
            throw malformed();
        const auto type = block.find("type");
        if (type == block.end() || !type->is_string())
            throw malformed();
        const auto value = block.find("text");
        if (value != block.end() && !value->is_null() && !value->is_string())
            throw malformed();
        if (!text && type->get_ref<const std::string&>() == "text")
            text = value != block.end() && value->is_string()
                       ? QString::fromStdString(value->get_ref<const std::string&>())
                       : QString();
    }

    if (stopReason == u"refusal")
        throw PemmoError::aiResponseInvalid(QStringLiteral("The model declined this request"));
    if (stopReason == u"max_tokens")
        throw PemmoError::aiResponseInvalid(QStringLiteral("Response was cut off"));
    const QString answer = text ? Text::trimmed(*text) : QString();
    if (answer.isEmpty())
        throw PemmoError::aiResponseInvalid(kParseFailure);
    return answer;
}

QString chatText(int status, const QByteArray& body, const QString& server, const QString& notInstalled) {
    if (status < 200 || status > 299) {
        const auto error = serverError(body);
        if (status == 404 && error && error->contains(u"not found", Qt::CaseInsensitive))
            throw PemmoError::aiUnavailable(notInstalled);
        // Say whose answer it is: "out of memory" alone does not tell the user where to look.
        const QString who = QStringLiteral("The local model server at ") + server;
        if (error)
            throw PemmoError::network(status, who + QStringLiteral(" reported: ") + *error);
        // A plain-text body says what went wrong in its first line; a web page says nothing useful.
        const QString firstLine = Text::trimmed(QString::fromUtf8(body.left(300)).section(u'\n', 0, 0));
        QString message = who + QStringLiteral(" answered with status ") + QString::number(status);
        if (!firstLine.isEmpty() && !firstLine.startsWith(u'<'))
            message += QStringLiteral(": ") + firstLine.left(160);
        throw PemmoError::network(status, message + u'.');
    }
    const json root = parseObject(body);
    const auto malformed = [&] { return parseFailure(QString::fromUtf8(body)); };
    if (!root.is_object())
        throw malformed();
    const auto message = root.find("message");
    if (message == root.end() || !message->is_object())
        throw malformed();
    const auto content = message->find("content");
    if (content == message->end() || !content->is_string())
        throw malformed();
    if (const auto reason = root.find("done_reason"); reason != root.end() && *reason == "length")
        throw PemmoError::aiResponseInvalid(QStringLiteral("Response was cut off"));
    const QString text = Text::trimmed(QString::fromStdString(content->get_ref<const std::string&>()));
    if (text.isEmpty())
        throw PemmoError::aiResponseInvalid(kParseFailure);
    return text;
}

std::optional<QStringList> installedModels(int status, const QByteArray& body) {
    const json root = parseObject(body);
    const auto models = root.is_object() ? root.find("models") : root.end();
    if (status != 200 || !root.is_object() || models == root.end() || !models->is_array())
        return std::nullopt;
    QStringList names;
    for (const json& entry : *models) {
        if (!entry.is_object())
            continue;
        // Ollama gives both; servers that copy its API may give only one of them.
        for (const char* key : {"name", "model"}) {
            const auto name = entry.find(key);
            if (name == entry.end() || !name->is_string())
                continue;
            const QString text = Text::trimmed(QString::fromStdString(name->get_ref<const std::string&>()));
            if (!text.isEmpty() && !names.contains(text))
                names.append(text);
            break;
        }
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

PemmoError parseFailure(const QString& shown) {
    const QString prefix = Text::firstCharacters(shown, 200);
    return PemmoError::aiResponseInvalid(prefix.isEmpty() ? kParseFailure
                                                          : kParseFailure + u": "_qs + prefix);
}

} // namespace pemmo::ProviderResponses
