// Turns the signals that ask a process to end (SIGTERM from the session or `kill`, SIGINT from
// Control-C, SIGHUP from a closed terminal) into a Qt signal on the GUI thread, so that the
// application quits the ordinary way and saves what is still waiting to be written.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace pemmo {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; one object per process. Until it is destroyed, the first of each of
    // those signals no longer ends the process by itself; a second one does, as usual.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the handlers could not be installed (the signals keep their default action).
    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void onReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace pemmo
