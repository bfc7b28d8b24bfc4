#include "AI/NetworkTransport.h"

#include "AI/TransportError.h"

#include <QCoroSignal>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace pemmo {

NetworkTransport::NetworkTransport()
    : m_manager(std::make_shared<QNetworkAccessManager>()) {
    // Answers are read once and thrown away; a disk cache would only keep personal data around.
    m_manager->setCache(nullptr);
}

NetworkTransport::~NetworkTransport() = default;

QCoro::Task<HTTPResponse> NetworkTransport::send(HTTPRequest request) {
    const std::shared_ptr<QNetworkAccessManager> manager = m_manager;

    QNetworkRequest outgoing(request.url);
    for (const auto& [name, value] : std::as_const(request.headers))
        outgoing.setRawHeader(name, value);
    // The limit covers the whole exchange, not only silence on the line: a local model that
    // thinks for minutes sends nothing until it is done.
    outgoing.setTransferTimeout(0);
    outgoing.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkReply* reply = manager->sendCustomRequest(outgoing, request.method, request.body);
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [reply, &timedOut] {
        timedOut = true;
        reply->abort();
    });
    deadline.start(request.timeout);

    if (!reply->isFinished()) {
        auto finished = qCoro(reply, &QNetworkReply::finished);
        co_await finished;
    }
    deadline.stop();
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (timedOut)
        throw TransportError(TransportError::Kind::TimedOut, QStringLiteral("The request timed out."));
    if (!status.isValid()) {
        const auto kind = reply->error() == QNetworkReply::ConnectionRefusedError
                              ? TransportError::Kind::ConnectionRefused
                              : TransportError::Kind::Other;
        throw TransportError(kind, reply->errorString());
    }

    HTTPResponse response;
    response.status = status.toInt();
    response.body = reply->readAll();
    response.url = reply->url();
    response.version =
        reply->attribute(QNetworkRequest::Http2WasUsedAttribute).toBool() ? "HTTP/2" : "HTTP/1.1";
    co_return response;
}

} // namespace pemmo
