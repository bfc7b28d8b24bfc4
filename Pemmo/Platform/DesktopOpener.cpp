#include "Platform/DesktopOpener.h"

#include "Links/DesktopAddress.h"
#include "Settings/SettingsStore.h"

#include <QCoroProcess>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace pemmo {

DesktopOpener::DesktopOpener(SettingsStore& settings, QString launcher, std::chrono::milliseconds answerTime)
    : m_settings(settings)
    , m_launcher(std::move(launcher))
    , m_answerTime(answerTime) {}

QString DesktopOpener::noHandlerMessage(const QString& address) {
    const qsizetype colon = address.indexOf(u':');
    const QString scheme = colon > 0 ? address.left(colon + 1) : address;
    return QStringLiteral(
               "No application on this computer opens \u201C%1\u201D addresses. Choose one in your "
               "desktop's settings.")
        .arg(scheme);
}

QCoro::Task<std::optional<QString>> DesktopOpener::open(QString address, Options options) {
    const DesktopAddress::Result desktop = DesktopAddress::forDesktop(address, m_settings.messagingApp());
    if (!desktop.address)
        co_return desktop.problem;
    const QString target = *desktop.address;

    const QString launcher =
        m_launcher.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("xdg-open")) : m_launcher;
    if (launcher.isEmpty()) {
        if (QDesktopServices::openUrl(QUrl(target)))
            co_return std::nullopt;
        co_return noHandlerMessage(target);
    }

    // Not parented: when the launcher outlives the wait (or Pemmo), it must not be killed with us.
    auto* process = new QProcess;
    process->setProgram(launcher);
    process->setArguments({target});
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    if (options.background) {
        // Without a startup token the new window does not ask to be brought to the front.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
        environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
        process->setProcessEnvironment(environment);
    }
    process->start();
    auto started = qCoro(*process).waitForStarted(m_answerTime);
    if (!co_await started) {
        process->deleteLater();
        co_return noHandlerMessage(target);
    }
    const QPointer<QProcess> guard(process);
    auto finished = qCoro(*process).waitForFinished(m_answerTime);
    const bool ended = co_await finished;
    if (!guard)
        co_return std::nullopt;
    if (!ended) {
        // Still running: some desktops keep it until the application it started quits.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        co_return std::nullopt;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    process->deleteLater();
    if (opened)
        co_return std::nullopt;
    co_return noHandlerMessage(target);
}

} // namespace pemmo
