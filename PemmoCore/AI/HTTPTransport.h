// How the AI providers reach a server: one request in, one answer out. The application sends
// through Qt Network; tests script the answers or run a server on the loopback address.
#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QUrl>
#include <chrono>
#include <utility>

namespace pemmo {

struct HTTPRequest {
    QUrl url;
    QByteArray method = "POST";
    // Sent in this order.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // How long the answer may take, from the start of the request.
    std::chrono::milliseconds timeout{60'000};

    QByteArray header(const QByteArray& name) const {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }

    bool operator==(const HTTPRequest&) const = default;
};

struct HTTPResponse {
    int status = 0;
    QByteArray body;
    QUrl url;
    QByteArray version = "HTTP/1.1";

    bool operator==(const HTTPResponse&) const = default;
};

class HTTPTransport {
public:
    virtual ~HTTPTransport() = default;

    // The server's answer, whatever its status. Throws TransportError when no answer came (no
    // connection, a time-out, a broken TLS handshake).
    virtual QCoro::Task<HTTPResponse> send(HTTPRequest request) = 0;
};

} // namespace pemmo
