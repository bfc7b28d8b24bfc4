// The tray application's launch and life: takes the data folder, builds the panel, the tray icon
// and the global shortcut around the people Pemmo knows, and answers the commands that later
// `pemmo` processes send.
#pragma once

#include "Platform/GlobalHotKey.h"

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QLockFile;
class QQmlEngine;

namespace pemmo {

class AppEnvironment;
class AppShell;
class AppStartup;
class ColorScheme;
class DesktopSearchBridge;
class DesktopSearchService;
class FirstRunWindow;
class OnboardingPractice;
class KeyValueStore;
class MemoryRelease;
class PanelController;
class PanelTimings;
class PemmoPanel;
class SettingsViewModel;
class SettingsWindow;
class TerminationSignals;
class TrayIcon;
class UpdateService;

class AppDelegate : public QObject {
    Q_OBJECT

public:
    // The shortcut when the user has chosen none.
    static QKeySequence defaultShortcut() { return QKeySequence(Qt::ControlModifier | Qt::Key_K); }
    // Where the chosen shortcut is kept, as Qt's portable text ("Ctrl+K").
    static QString shortcutKey() { return QStringLiteral("KeyboardShortcuts_togglePemmo"); }
    // The stored shortcut, or the default when none (or nothing readable) is stored.
    static QKeySequence storedShortcut(const KeyValueStore& store);

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Runs the launch sequence. False, with `error` set, when Pemmo cannot start.
    bool start(QString* error);

    // A command from another `pemmo` process: "show", "toggle", "hide", "state", "quit", and
    // "import" with its request (ImportCommand), which this process carries out as the data
    // folder's one writer.
    QCoro::Task<QByteArray> handleCommand(QByteArray command);

    // What the panel shows, read from the window and its items (for `state`).
    QJsonObject state() const;

    PanelController* panel() const { return m_panel.get(); }

    // Records a new shortcut and binds it at once, so the panel shows it without a restart.
    void setShortcut(const QKeySequence& shortcut);

    // Opens the settings window (made on first use) on the pane `pane` ("general", "ai", …; empty:
    // the pane it was left on) and brings it to the front.
    void openSettings(const QString& pane = {});
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }

    // The first-run window: a fresh practice run, its window in front ("Replay practice…").
    void openFirstRun();

    // Opens the window named by one of the environment's window ids ("settings", "first-run").
    void openWindow(const QString& windowID);

private:
    QByteArray handlePanelCommand(const QByteArray& command);
    QCoro::Task<QByteArray> importFile(QByteArray arguments);
    // The people, the records and the semantic index are current: a command that only reads may
    // be answered from memory.
    bool answersFromMemory() const;
    // Writes what still waits for the store's debounced write: at quit, and when the session ends.
    void saveNow();
    // The panel's notice and the tray's tooltip say what keeps Pemmo from working fully, for as
    // long as it lasts: records it can only read, an address book it cannot read.
    void showProblems();
    void onHotKey();
    // While the panel is in front, the shortcut is first a key like any other for its screens
    // (Control-K opens the action panel there). True when a screen took it.
    bool offerShortcutToPanel();
    void bindShortcut();
    void onHotKeyStatus();
    void buildPanel();
    void applyAppearance();
    // Binds `shortcut` in place of the current one; when the desktop refuses it, binds the old one
    // again and says why.
    std::optional<QString> tryShortcut(const QKeySequence& shortcut);
    // The global shortcut's state, one line for the diagnostics.
    QString shortcutState() const;
    // The panel stays up while one of Pemmo's own windows (the settings, a file dialog) is.
    bool ownWindowIsUp() const;
    // The practice run while it takes the shortcut and the panel's requests, else null.
    OnboardingPractice* engagedPractice() const;

    std::unique_ptr<QLockFile> m_dataLock;
    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<AppStartup> m_startup;

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<AppShell> m_shell;
    std::unique_ptr<PemmoPanel> m_window;
    std::unique_ptr<PanelController> m_panel;
    std::unique_ptr<PanelTimings> m_timings;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<UpdateService> m_updates;
    std::unique_ptr<ColorScheme> m_colorScheme;
    std::unique_ptr<MemoryRelease> m_memory;
    std::unique_ptr<GlobalHotKey> m_hotKey;
    std::unique_ptr<TerminationSignals> m_signals;
    std::unique_ptr<SettingsViewModel> m_settingsModel;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    QKeySequence m_shortcut;
    bool m_toldAboutHotKey = false;
    std::unique_ptr<DesktopSearchBridge> m_desktopSearchBridge;
    std::unique_ptr<DesktopSearchService> m_desktopSearch;
    std::unique_ptr<FirstRunWindow> m_firstRun;
    bool m_firstRunDecided = false; // this start opened the first-run window by itself
    QString m_addressBookProblem;   // the last failed refresh's status text, until one succeeds
    int m_hotKeyPresses = 0;        // how often the global shortcut arrived, for `state`
};

} // namespace pemmo
