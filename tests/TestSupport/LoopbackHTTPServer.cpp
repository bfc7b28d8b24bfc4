#include "TestSupport/LoopbackHTTPServer.h"

#include "Support/HandOver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#ifdef PEMMO_THREAD_SANITIZER
// Qt Core's hook table for tools that follow QObjects (qhooks_p.h, a private header Debian does not
// ship): slots 3 and 4 are called with every QObject made and destroyed, on the thread doing it.
extern quintptr qtHookData[];
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace pemmo::test {
namespace {

#ifdef PEMMO_THREAD_SANITIZER
// The clients of this server are Qt Network's: each QNetworkAccessManager runs its requests on a
// thread of its own, where only Qt's code ever runs. Qt builds a request's objects and signal
// connections on the calling thread, often from its event loop, and frees them on its own thread,
// ordered by Qt's mutexes, which ThreadSanitizer cannot see; the functions doing it are internal to
// Qt, so no suppression can name them. ThreadSanitizer therefore ignores that thread's reads and
// writes while its event dispatcher lives (its first QObject and nearly its last). What the
// calling thread does is still checked.
enum QtHook { AddQObject = 3, RemoveQObject = 4 };
using QObjectHook = void (*)(QObject*);
QObjectHook previousAddHook = nullptr;
QObjectHook previousRemoveHook = nullptr;
thread_local const QObject* ignoredWhileAlive = nullptr;

void objectAdded(QObject* object) {
    // Not QThread::currentThread(): the first QObject of a thread Qt did not start is the very
    // QThread that call would return, still under construction.
    thread_local bool seen = false;
    if (!seen) {
        seen = true;
        const QThread* thread = object->thread();
        if (thread && thread->objectName() == u"QNetworkAccessManager thread") {
            ignoredWhileAlive = object;
            __tsan_ignore_thread_begin();
        }
    }
    if (previousAddHook)
        previousAddHook(object);
}

void objectRemoved(QObject* object) {
    if (object == ignoredWhileAlive) {
        ignoredWhileAlive = nullptr;
        __tsan_ignore_thread_end();
    }
    if (previousRemoveHook)
        previousRemoveHook(object);
}

const bool qtNetworkThreadIgnored = [] {
    previousAddHook = reinterpret_cast<QObjectHook>(qtHookData[AddQObject]);
    previousRemoveHook = reinterpret_cast<QObjectHook>(qtHookData[RemoveQObject]);
    qtHookData[AddQObject] = reinterpret_cast<quintptr>(&objectAdded);
    qtHookData[RemoveQObject] = reinterpret_cast<quintptr>(&objectRemoved);
    return true;
}();
#endif

} // namespace

QByteArray LoopbackHTTPServer::Request::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QList<QByteArray> LoopbackHTTPServer::Request::headerNames() const {
    QList<QByteArray> names;
    for (const auto& header : headers)
        names.append(header.first.toLower());
    return names;
}

LoopbackHTTPServer::LoopbackHTTPServer() {
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHTTPServer::accept);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("The loopback test server cannot listen: %s", qPrintable(m_server.errorString()));
}

LoopbackHTTPServer::~LoopbackHTTPServer() {
    // The sockets go with the listening server, after this object's own members: they must not
    // call back into it while they do.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
    m_server.close();
}

QUrl LoopbackHTTPServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(port()));
}

void LoopbackHTTPServer::enqueue(const Response& response, const QByteArray& path) {
    m_queued[path].append(response);
}

void LoopbackHTTPServer::enqueue(int status, const QByteArray& body, const QByteArray& path) {
    Response response;
    response.status = status;
    response.body = body;
    enqueue(response, path);
}

void LoopbackHTTPServer::clear() {
    m_queued.clear();
    m_requests.clear();
}

void LoopbackHTTPServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

LoopbackHTTPServer::Response LoopbackHTTPServer::answerFor(const QByteArray& path) {
    QList<Response>* queue = nullptr;
    if (m_queued.contains(path) && !m_queued[path].isEmpty())
        queue = &m_queued[path];
    else if (m_queued.contains(QByteArray()) && !m_queued[QByteArray()].isEmpty())
        queue = &m_queued[QByteArray()];
    if (!queue) {
        Response missing;
        missing.status = 404;
        missing.body = R"({"error":"nothing scripted for this path"})";
        return missing;
    }
    return queue->size() >= 2 ? queue->takeFirst() : queue->first();
}

void LoopbackHTTPServer::read(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = first.value(1);
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("content-length", Qt::CaseInsensitive) == 0)
                length = value.toLongLong();
        }
        if (buffer.size() < end + 4 + length)
            return;
        request.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        m_requests.append(request);

        const Response response = answerFor(request.path);
        Q_EMIT received();
        if (response.silent)
            continue;
        // Clients read the status code; the text after it is free.
        QByteArray reply =
            "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted" +
            "\r\nContent-Type: " + response.contentType +
            (response.headers.isEmpty() ? QByteArray() : "\r\n" + response.headers.join("\r\n")) +
            "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
            "\r\nConnection: keep-alive\r\n\r\n" + response.body;
        socket->write(reply);
    }
}

} // namespace pemmo::test
