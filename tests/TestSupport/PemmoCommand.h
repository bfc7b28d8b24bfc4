// Runs the `pemmo` under test (named by PEMMO_BINARY) as a user runs it from a terminal, with the
// XDG folders in a temporary home so that nothing of the user's, nor a Pemmo they run, is reached.
#pragma once

#include "TestSupport/TempDir.h"

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <functional>
#include <optional>

namespace pemmo::test {

struct CommandResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// `pemmo arguments` with its data in `home` itself and its configuration, runtime and cache
// folders under it; `adjust` changes the environment further, `input` is written to its standard
// input. The event loop turns while it runs, so that servers in this process (a stand-in model
// server) can answer it.
inline CommandResult runPemmo(
    const TempDir& home, const QStringList& arguments,
    const std::function<void(QProcessEnvironment&)>& adjust = [](QProcessEnvironment&) {},
    const std::optional<QByteArray>& input = std::nullopt) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_DATA_HOME"_qs, home.path());
    env.insert(u"XDG_CONFIG_HOME"_qs, home.filePath(u"config"_qs));
    env.insert(u"XDG_RUNTIME_DIR"_qs, home.filePath(u"runtime"_qs));
    env.insert(u"XDG_CACHE_HOME"_qs, home.filePath(u"cache"_qs));
    adjust(env);
    QProcess process;
    process.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    process.start(qEnvironmentVariable("PEMMO_BINARY"), arguments);
    if (process.waitForStarted()) {
        if (input) {
            process.write(*input);
            process.closeWriteChannel();
        }
        loop.exec();
    }
    if (process.state() != QProcess::NotRunning)
        qFatal("pemmo did not finish");
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace pemmo::test
