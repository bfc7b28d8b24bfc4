// A small HTTP/1.1 server on 127.0.0.1 for tests: answers from a script and keeps every request it
// received, so that a client can be tried over a real socket with its real network stack.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <utility>

class QTcpSocket;

namespace pemmo::test {

class LoopbackHTTPServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QByteArray path;
        // As received, in order.
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray header(const QByteArray& name) const;
        // The header names in the order they came, lower-cased.
        QList<QByteArray> headerNames() const;
    };

    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        // Sent after the content type, "Name: value" each.
        QList<QByteArray> headers;
        // Keep the connection open and never answer (for time-outs).
        bool silent = false;
    };

    // Listens on 127.0.0.1 on a free port.
    LoopbackHTTPServer();
    ~LoopbackHTTPServer() override;

    QUrl url() const;
    quint16 port() const { return m_server.serverPort(); }

    // Answers for requests to `path` (empty: any path without answers of its own). With two or more
    // queued, each request takes the first; the last one left answers every later request. With
    // none, the answer is 404.
    void enqueue(const Response& response, const QByteArray& path = {});
    void enqueue(int status, const QByteArray& body, const QByteArray& path = {});

    const QList<Request>& requests() const { return m_requests; }
    void clear();

Q_SIGNALS:
    void received();

private:
    void accept();
    void read(QTcpSocket* socket);
    Response answerFor(const QByteArray& path);

    QTcpServer m_server;
    QHash<QByteArray, QList<Response>> m_queued;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<Request> m_requests;
};

} // namespace pemmo::test
