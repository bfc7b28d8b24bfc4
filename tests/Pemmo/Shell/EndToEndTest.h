// The base of the end-to-end tests: a real `pemmo` on an X server of the test's own with a window
// manager, in a temporary home, driven by synthetic key presses (xdotool, through the X server like
// a keyboard) and observed through its `state` command, the screenshots it leaves in the build tree
// and what a stand-in `xdg-open` first on PATH writes down.
#pragma once

#include "Settings/DefaultsFileStore.h"
#include "Shell/SingleInstance.h"
#include "Store/StoreFile.h"
#include "TestSupport/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>
#include <functional>
#include <memory>

namespace pemmo::test {

class EndToEndTest : public QObject {
public:
    // Screenshots go to test-artifacts/`artifacts` in the build tree.
    explicit EndToEndTest(QString artifacts)
        : m_artifacts(std::move(artifacts)) {}

protected:
    std::unique_ptr<TempDir> m_home;
    QProcessEnvironment m_env;
    QProcess m_xvfb;
    QProcess m_windowManager;
    QProcess m_pemmo;

    // Why the test cannot run here (a missing tool or no pemmo named), or empty.
    static QString missingPrerequisite() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "scrot"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return u"needs "_qs + QString::fromLatin1(tool) + u" (scripts/install-deps)"_qs;
        if (qEnvironmentVariableIsEmpty("PEMMO_BINARY"))
            return u"PEMMO_BINARY names the pemmo under test"_qs;
        return {};
    }
    static QString pemmoBinary() { return qEnvironmentVariable("PEMMO_BINARY"); }

    // A fresh home with the private runtime folder the single-instance socket lives in.
    void makeHome() {
        m_home = std::make_unique<TempDir>();
        QVERIFY(QDir().mkpath(m_home->filePath(u"runtime"_qs)));
        QFile::setPermissions(m_home->filePath(u"runtime"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The desktop's opener, replaced by one that writes down what it is given, then runs `more`.
    void installOpener(const QString& more = {}) {
        QVERIFY(QDir().mkpath(m_home->filePath(u"bin"_qs)));
        QFile opener(m_home->filePath(u"bin/xdg-open"_qs));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write(
            QString(u"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '"_qs + openedLog() + u"'\n"_qs + more).toUtf8());
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // An X server on the first free display from `first` up to `last` with a screen of `screen`
    // ("1920x1080x24"), openbox on it, and `m_env` pointing programs there and at the home.
    void startDesktop(int first, int last, const QString& screen) {
        QString display;
        for (int n = first; n < last && display.isEmpty(); ++n)
            if (!QFile::exists(u"/tmp/.X11-unix/X"_qs + QString::number(n)) &&
                !QFile::exists(u"/tmp/.X"_qs + QString::number(n) + u"-lock"_qs))
                display = u':' + QString::number(n);
        QVERIFY(!display.isEmpty());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove(u"QT_QPA_PLATFORM"_qs);
        m_env.remove(u"WAYLAND_DISPLAY"_qs);
        m_env.insert(u"DISPLAY"_qs, display);
        m_env.insert(u"HOME"_qs, m_home->path());
        m_env.insert(u"XDG_DATA_HOME"_qs, m_home->filePath(u"data"_qs));
        m_env.insert(u"XDG_CONFIG_HOME"_qs, m_home->filePath(u"config"_qs));
        m_env.insert(u"XDG_CACHE_HOME"_qs, m_home->filePath(u"cache"_qs));
        m_env.insert(u"XDG_RUNTIME_DIR"_qs, m_home->filePath(u"runtime"_qs));
        m_env.insert(u"ASAN_OPTIONS"_qs, u"detect_leaks=0"_qs);
        m_env.insert(u"PATH"_qs, m_home->filePath(u"bin"_qs) + u':' + m_env.value(u"PATH"_qs));
        m_xvfb.start(u"Xvfb"_qs, {display, u"-screen"_qs, u"0"_qs, screen, u"-nolisten"_qs, u"tcp"_qs});
        QVERIFY(m_xvfb.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(u"/tmp/.X11-unix/X"_qs + display.mid(1)), 10000);
        m_windowManager.setProcessEnvironment(m_env);
        m_windowManager.start(u"openbox"_qs, {});
        QVERIFY(m_windowManager.waitForStarted());
    }
    // Ends whatever is still running; for cleanupTestCase.
    void stopAll() {
        if (m_pemmo.state() != QProcess::NotRunning) {
            m_pemmo.terminate();
            if (!m_pemmo.waitForFinished(5000))
                m_pemmo.kill();
        }
        for (QProcess* p : {&m_windowManager, &m_xvfb}) {
            p->terminate();
            p->waitForFinished(3000);
        }
    }

    // Starts `pemmo args` and waits until its state satisfies `ready` and its grab of Control-K
    // has taken.
    void startPemmo(const std::function<bool(const QJsonObject&)>& ready, const QStringList& args = {}) {
        m_pemmo.setProcessEnvironment(m_env);
        m_pemmo.setProcessChannelMode(QProcess::ForwardedChannels);
        m_pemmo.start(pemmoBinary(), args);
        QVERIFY(m_pemmo.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ready(state()), 30000);
        QVERIFY2(state()[u"hotkeyActive"_qs].toBool(), "the X11 grab of Control-K did not take");
    }
    // Quitting is part of every run: a fault while tearing down (the sanitizers report it and
    // fail the exit status) counts as much as one while running.
    void quitPemmo() {
        QVERIFY(SingleInstance(runtimeFolder()).send("quit"));
        QVERIFY(m_pemmo.waitForFinished(10000));
        QCOMPARE(m_pemmo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_pemmo.exitCode(), 0);
    }

    void openPanel() {
        keys({u"ctrl+k"_qs});
        QTRY_VERIFY2_WITH_TIMEOUT(state()[u"visible"_qs].toBool() && state()[u"active"_qs].toBool(),
                                  stateDump().constData(), 5000);
    }
    // Control-K in the panel: the action panel.
    void openActions() {
        keys({u"ctrl+k"_qs});
        QTRY_COMPARE(panel()[u"overlay"_qs].toString(), u"actions"_qs);
    }
    // In the open action panel: typing `filter` selects the command `title`, and Return runs it.
    void chooseAction(const QString& filter, const QString& title) {
        type(filter);
        QTRY_COMPARE(panel()[u"actions"_qs][u"selected"_qs].toString(), title);
        keys({u"Return"_qs});
    }
    void waitForRoute(const QString& name) { QTRY_COMPARE(route(), name); }
    // Gives the panel the focus back from a window that took it.
    void activatePanel() {
        run(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--name"_qs, u"^Pemmo$"_qs, u"windowactivate"_qs});
    }
    // `keys`, after which the panel shows `route`.
    void keysTo(const QString& route, const QStringList& keys) {
        this->keys(keys);
        waitForRoute(route);
    }
    // `keys`, after which the panel is hidden.
    void keysHidingThePanel(const QStringList& keys) {
        this->keys(keys);
        QTRY_VERIFY(!state()[u"visible"_qs].toBool());
    }
    // Writes one setting to the settings file Pemmo reads when it starts.
    void setDefault(const QString& key, std::optional<StoredValue> value) {
        DefaultsFileStore(defaultsPath()).set(std::move(value), key);
    }
    // A user who has been through the tutorial: no first-run window in the way.
    void markTutorialDone() {
        setDefault(u"pemmo.settings.hasCompletedOnboarding"_qs, true);
        setDefault(u"pemmo.settings.onboardingVersion"_qs, qint64(3));
    }
    void setAppearance(const QString& look) { setDefault(u"pemmo.settings.appearance"_qs, look); }

    QJsonObject state() const {
        const auto answer = SingleInstance(runtimeFolder()).send("state", std::chrono::milliseconds(3000));
        return answer ? QJsonDocument::fromJson(*answer).object() : QJsonObject();
    }
    // The whole state on one line, for a failure's message: whether the shortcut arrived at all
    // ("hotkeyPresses") and what was on screen.
    QByteArray stateDump() const { return QJsonDocument(state()).toJson(QJsonDocument::Compact); }
    QJsonObject panel() const { return state()[u"panel"_qs].toObject(); }
    QJsonObject screen() const { return panel()[u"screen"_qs].toObject(); }
    QString route() const { return panel()[u"route"_qs].toString(); }

    // Runs `program args` in the test's environment; its exit code, or -1 when it did not finish.
    int run(const QString& program, const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        if (!p.waitForFinished(30000))
            return -1;
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
    void keys(const QStringList& keys) {
        QCOMPARE(run(u"xdotool"_qs, QStringList{u"key"_qs, u"--delay"_qs, u"40"_qs} + keys), 0);
    }
    void type(const QString& text) {
        QCOMPARE(run(u"xdotool"_qs, {u"type"_qs, u"--delay"_qs, u"60"_qs, text}), 0);
    }
    // Types `text` and waits until the screen's `field` holds it.
    void typeInto(const QString& field, const QString& text) {
        type(text);
        QTRY_COMPARE(screen()[field].toString(), text);
    }
    // Waits until the panel has drawn no new frame for a moment, so that the picture shows the
    // state just checked rather than the frame before it.
    void settle() {
        int frames = -1;
        for (int i = 0; i < 30; ++i) {
            const int now = state()[u"timings"_qs][u"frames"_qs].toInt();
            if (now == frames)
                return;
            frames = now;
            QTest::qWait(150);
        }
    }
    void screenshot(const QString& name) {
        settle();
        const QString dir = QCoreApplication::applicationDirPath() + u"/../test-artifacts/"_qs + m_artifacts;
        QDir().mkpath(dir);
        const QString path = QDir(dir).absoluteFilePath(name + u".png"_qs);
        QFile::remove(path);
        QCOMPARE(run(u"scrot"_qs, {u"--overwrite"_qs, path}), 0);
        qInfo("screenshot: %s", qPrintable(path));
    }

    QString runtimeFolder() const { return m_home->filePath(u"runtime/pemmo"_qs); }
    QString openedLog() const { return m_home->filePath(u"opened.txt"_qs); }
    QString defaultsPath() const { return m_home->filePath(u"config/Pemmo/defaults.json"_qs); }
    QString storePath() const { return m_home->filePath(u"data/Pemmo/pemmo-store.json"_qs); }
    // What the stand-in xdg-open was given, one address a line.
    QStringList opened() const {
        QFile f(openedLog());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    RecordMap storedRecords() const {
        QFile file(storePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        try {
            return StoreFile::decode(file.readAll(), QDateTime::currentDateTimeUtc());
        } catch (...) {
            return {}; // caught between two writes: read again
        }
    }

private:
    QString m_artifacts;
};

} // namespace pemmo::test
