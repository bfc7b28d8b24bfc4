#include "App/RunningPemmo.h"

#include <QJsonDocument>

namespace pemmo::RunningPemmo {
namespace {

const QString kOutput = QStringLiteral("out");
const QString kDeclined = QStringLiteral("declined");

} // namespace

QByteArray request(QByteArrayView name, const QJsonObject& arguments) {
    return name.toByteArray() + ' ' + QJsonDocument(arguments).toJson(QJsonDocument::Compact);
}

std::optional<QJsonObject> parseRequest(QByteArrayView line, QByteArrayView name) {
    if (!line.startsWith(name) || line.size() <= name.size() || line[name.size()] != ' ')
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(line.sliced(name.size() + 1).toByteArray());
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray answer(const QByteArray& output) {
    // Base64 keeps the printed bytes exactly as they are, and the answer on one line.
    return QJsonDocument(QJsonObject{{kOutput, QString::fromLatin1(output.toBase64())}})
        .toJson(QJsonDocument::Compact);
}

QByteArray declined(const QString& reason) {
    return QJsonDocument(QJsonObject{{kDeclined, reason}}).toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> parseAnswer(QByteArrayView answer) {
    const QJsonDocument document = QJsonDocument::fromJson(answer.toByteArray());
    const QJsonValue output = document.object().value(kOutput);
    if (!document.isObject() || !output.isString())
        return std::nullopt;
    QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(output.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(decoded.decoded);
}

std::optional<QByteArray> ask(const QByteArray& request, std::chrono::milliseconds timeout,
                              const QString& folder) {
    const std::optional<QByteArray> reply = SingleInstance(folder).send(request, timeout);
    return reply ? parseAnswer(*reply) : std::nullopt;
}

} // namespace pemmo::RunningPemmo
