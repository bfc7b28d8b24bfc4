#include "AI/NetworkTransport.h"

#include "AI/ServerAddress.h"
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
                          QNetworkRequest::UserVerifiedRedirectPolicy);

    QNetworkReply* reply = manager->sendCustomRequest(outgoing, request.method, request.body);
    // A redirect is followed unless it leads somewhere less safe: to plain http from https, or
    // from this computer to another, which would hand a local model's prompts to a stranger.
    // (The reply's own url() is already the new address when it asks.)
    std::optional<QUrl> refusedRedirect;
    QUrl current = request.url;
    QObject::connect(reply, &QNetworkReply::redirected, reply,
                     [reply, &refusedRedirect, &current](const QUrl& to) {
                         if (ServerAddress::mayRedirect(current, to)) {
                             current = to;
                             Q_EMIT reply->redirectAllowed();
                             return;
                         }
                         refusedRedirect = to;
                         reply->abort();
                     });
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
    if (refusedRedirect) {
        throw TransportError(TransportError::Kind::Other,
                             QStringLiteral("The server sent the request on to ") +
                                 refusedRedirect->toDisplayString(QUrl::RemoveUserInfo) +
                                 QStringLiteral(", which Pemmo does not follow."));
    }
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
