// One Pemmo per user: the first process holds a lock in the runtime folder and listens on a local
// socket beside it; later ones hand it their command and exit.
#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace pemmo {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // Answers one command line ("toggle", "show", "state") with the bytes sent back, at once or
    // when the work it asks for is done (an import).
    using Handler = std::function<QCoro::Task<QByteArray>(QByteArray command)>;

    static constexpr std::chrono::milliseconds defaultConnectTimeout{2000};

    // `folder` holds "pemmo.lock" and "pemmo.socket"; by default the user's runtime folder.
    explicit SingleInstance(QString folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/pemmo (Qt's fallback when the variable is unset).
    static QString defaultFolder();

    QString lockPath() const;
    QString socketPath() const;

    // Takes the lock and starts listening. False when another process is the primary one, or when
    // the socket cannot be opened (`errorString` says why).
    bool becomePrimary(Handler handler);
    bool isPrimary() const { return m_server != nullptr; }
    QString errorString() const { return m_error; }

    // Sends `command` to the primary instance and returns its answer; absent when none answers.
    // Retries for a moment, so that a primary still starting up is reached.
    std::optional<QByteArray> send(const QByteArray& command,
                                   std::chrono::milliseconds timeout = defaultConnectTimeout) const;

private:
    void onNewConnection();
    // Whether a live process holds the lock (a primary, or one about to be).
    bool lockIsHeld() const;

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
    QString m_error;
};

} // namespace pemmo
