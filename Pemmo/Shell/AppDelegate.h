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

class QLockFile;
class QQmlEngine;

namespace pemmo {

class AppEnvironment;
class AppRouter;
class AppStartup;
class ColorScheme;
class KeyEventRouter;
class KeyValueStore;
class PanelContext;
class PanelController;
class PanelTimings;
class PemmoPanel;
class SearchResultsModel;
class SearchViewModel;
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

private:
    QByteArray handlePanelCommand(const QByteArray& command);
    QCoro::Task<QByteArray> importFile(QByteArray arguments);
    // Writes what still waits for the store's debounced write: at quit, and when the session ends.
    void saveNow();
    void showStoreProblem();
    void onHotKey();
    void bindShortcut();
    void onHotKeyStatus();
    void buildPanel();
    void applyAppearance();

    std::unique_ptr<QLockFile> m_dataLock;
    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<AppStartup> m_startup;

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<KeyEventRouter> m_keys;
    std::unique_ptr<AppRouter> m_router;
    std::unique_ptr<SearchViewModel> m_search;
    std::unique_ptr<SearchResultsModel> m_results;
    std::unique_ptr<PanelContext> m_context;
    std::unique_ptr<PemmoPanel> m_window;
    std::unique_ptr<PanelController> m_panel;
    std::unique_ptr<PanelTimings> m_timings;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<UpdateService> m_updates;
    std::unique_ptr<ColorScheme> m_colorScheme;
    std::unique_ptr<GlobalHotKey> m_hotKey;
    std::unique_ptr<TerminationSignals> m_signals;
    QKeySequence m_shortcut;
    bool m_toldAboutHotKey = false;
};

} // namespace pemmo
