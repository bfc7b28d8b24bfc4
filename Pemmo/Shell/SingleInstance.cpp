#include "Shell/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <csignal>

namespace pemmo {
namespace {

// A command or an answer is one line; a peer that sends more than this is not Pemmo.
constexpr qint64 kMaxMessage = 1 << 20;

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

QString SingleInstance::defaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("pemmo"));
}

QString SingleInstance::lockPath() const {
    return QDir(m_folder).filePath(QStringLiteral("pemmo.lock"));
}

QString SingleInstance::socketPath() const {
    return QDir(m_folder).filePath(QStringLiteral("pemmo.socket"));
}

bool SingleInstance::becomePrimary(Handler handler) {
    if (m_server)
        return true;
    if (!QDir().mkpath(m_folder)) {
        m_error = u"cannot create "_qs + m_folder;
        return false;
    }
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto lock = std::make_unique<QLockFile>(lockPath());
    // The lock of a process that died is recognised by its pid and taken over at once.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(100)) {
        m_error = u"another Pemmo is running"_qs;
        return false;
    }
    // Holding the lock, any socket file left behind is a dead primary's. Qt 6.4 happens to replace
    // it when listening with an access option (it binds aside and renames over the path), but
    // that is not documented, so the file is removed first.
    QLocalServer::removeServer(socketPath());
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath())) {
        m_error = server->errorString();
        delete server;
        return false;
    }
    m_lock = std::move(lock);
    m_server = server;
    m_handler = std::move(handler);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxMessage)
                    socket->abort();
                return;
            }
            const QByteArray command = socket->readLine().trimmed();
            // One command per connection: whatever else the peer sends is not read.
            disconnect(socket, &QLocalSocket::readyRead, socket, nullptr);
            const auto reply = [socket](QByteArray answer) {
                if (!answer.endsWith('\n'))
                    answer.append('\n');
                socket->write(answer);
                socket->disconnectFromServer();
            };
            if (!m_handler) {
                reply({});
                return;
            }
            // The answer may come later; a peer that hung up meanwhile gets none.
            QCoro::connect(m_handler(command), socket, reply);
        });
    }
}

bool SingleInstance::lockIsHeld() const {
    // The lock is only looked at, never taken: a client that took it even for a moment could turn
    // away a primary starting at that very moment ("another Pemmo is running").
    const QLockFile lock(lockPath());
    qint64 pid = 0;
    QString hostName, appName;
    if (!lock.getLockInfo(&pid, &hostName, &appName) || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::optional<QByteArray> SingleInstance::send(const QByteArray& command,
                                               std::chrono::milliseconds timeout) const {
    const QDeadlineTimer deadline(timeout);
    // Without the socket file nobody is listening, and nobody is about to unless the lock is held.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(command + '\n');
            socket.flush();
            QByteArray answer;
            while (!answer.endsWith('\n') && !deadline.hasExpired() &&
                   socket.state() == QLocalSocket::ConnectedState) {
                if (socket.bytesAvailable() == 0)
                    socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
                answer += socket.readAll();
            }
            answer += socket.readAll();
            if (answer.endsWith('\n'))
                return answer.chopped(1);
            return std::nullopt;
        }
        // A primary that holds the lock but does not listen yet is starting up: wait for it.
        if (!lockIsHeld() || deadline.hasExpired())
            return std::nullopt;
        QThread::msleep(20);
    }
}

} // namespace pemmo
