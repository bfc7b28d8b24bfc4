// A desktop of an end-to-end test's own for the real pemmo: a free X display, an X server and a
// window manager on it, and the environment that points pemmo at the test's temporary home.
#pragma once

#include "TestSupport/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace pemmo::test {

// The first display from `first` up to `last` with no X server on it; empty when all are taken.
inline QString freeDisplay(int first, int last) {
    for (int n = first; n < last; ++n)
        if (!QFile::exists(u"/tmp/.X11-unix/X"_qs + QString::number(n)) &&
            !QFile::exists(u"/tmp/.X"_qs + QString::number(n) + u"-lock"_qs))
            return u':' + QString::number(n);
    return {};
}

// This process's environment for programs on `display`, with the XDG folders in `home`, its bin/
// first on PATH (for stand-ins such as xdg-open) and no leak report from pemmo at exit.
inline QProcessEnvironment desktopEnvironment(const QString& display, const TempDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_qs);
    env.remove(u"WAYLAND_DISPLAY"_qs);
    env.insert(u"DISPLAY"_qs, display);
    env.insert(u"XDG_DATA_HOME"_qs, home.filePath(u"data"_qs));
    env.insert(u"XDG_CONFIG_HOME"_qs, home.filePath(u"config"_qs));
    env.insert(u"XDG_CACHE_HOME"_qs, home.filePath(u"cache"_qs));
    env.insert(u"XDG_RUNTIME_DIR"_qs, home.filePath(u"runtime"_qs));
    env.insert(u"ASAN_OPTIONS"_qs, u"detect_leaks=0"_qs);
    env.insert(u"PATH"_qs, home.filePath(u"bin"_qs) + u':' + env.value(u"PATH"_qs));
    return env;
}

// Starts an X server on `env`'s display with a screen of `screen` ("1920x1080x24") and openbox on
// it; a failure fails the calling test function.
inline void startDesktop(const QProcessEnvironment& env, const QString& screen, QProcess& xServer,
                         QProcess& windowManager) {
    const QString display = env.value(u"DISPLAY"_qs);
    xServer.start(u"Xvfb"_qs, {display, u"-screen"_qs, u"0"_qs, screen, u"-nolisten"_qs, u"tcp"_qs});
    QVERIFY(xServer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(u"/tmp/.X11-unix/X"_qs + display.mid(1)), 10000);
    windowManager.setProcessEnvironment(env);
    windowManager.start(u"openbox"_qs, {});
    QVERIFY(windowManager.waitForStarted());
}

} // namespace pemmo::test
