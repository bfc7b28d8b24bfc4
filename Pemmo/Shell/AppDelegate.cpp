#include "Shell/AppDelegate.h"

#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "App/DataFolder.h"
#include "App/EmbeddingMaintenance.h"
#include "App/ImportCommand.h"
#include "App/SearchCommand.h"
#include "Links/DestinationOpener.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Platform/ColorScheme.h"
#include "Platform/Compositor.h"
#include "Platform/DesktopSearchService.h"
#include "Platform/MemoryRelease.h"
#include "Platform/TerminationSignals.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/FirstRunViewModel.h"
#include "Screens/OnboardingPractice.h"
#include "Search/SearchViewModel.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/KeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/SettingsWindow.h"
#include "Shell/AppRouter.h"
#include "Shell/AppShell.h"
#include "Shell/DesktopSearchBridge.h"
#include "Shell/FirstRunWindow.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelController.h"
#include "Shell/PanelTimings.h"
#include "Shell/PemmoPanel.h"
#include "Shell/PhotoImageProvider.h"
#include "Shell/ShellLogging.h"
#include "Shell/TrayIcon.h"
#include "Store/PemmoStore.h"
#include "Updates/UpdateService.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJSValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

namespace pemmo {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent) {}

AppDelegate::~AppDelegate() {
    // The panel's QML refers to the environment's models: tear the window and the engine down
    // first.
    m_timings.reset();
    m_firstRun.reset();
    if (m_env) {
        m_env->setPanel(nullptr);
        m_env->router().onReset = nullptr;
    }
    m_settingsWindow.reset();
    m_settingsModel.reset();
    m_panel.reset();
    m_window.reset();
    m_engine.reset();
    m_shell.reset();
    if (m_env)
        m_env->sync().stop();
}

QKeySequence AppDelegate::storedShortcut(const KeyValueStore& store) {
    const std::optional<QString> text = store.text(shortcutKey());
    if (!text)
        return defaultShortcut();
    const QKeySequence shortcut = QKeySequence::fromString(*text, QKeySequence::PortableText);
    // One key with modifiers; anything else is not a shortcut this can grab.
    if (shortcut.count() != 1 || shortcut[0].key() == Qt::Key_unknown)
        return defaultShortcut();
    return shortcut;
}

void AppDelegate::setShortcut(const QKeySequence& shortcut) {
    m_env->keyValueStore().set(shortcut.toString(QKeySequence::PortableText), shortcutKey());
    bindShortcut();
}

bool AppDelegate::start(QString* error) {
    // The store has one writer: this process, for as long as it runs.
    const QString folder = dataFolder();
    QLockFile::LockError locking = QLockFile::NoError;
    m_dataLock = lockDataFolder(folder, &locking);
    if (!m_dataLock && locking == QLockFile::LockFailedError) {
        *error = u"another Pemmo process is using "_qs + folder + u"; quit it and try again."_qs;
        return false;
    }
    // A folder that cannot be made or written cannot be written by anyone else either: Pemmo
    // starts, and the store says why it can only read.
    if (!m_dataLock)
        qCCritical(lcShell, "cannot lock %s: Pemmo starts, and its records cannot be saved",
                   qUtf8Printable(folder));

    m_env = AppEnvironment::live();
    m_startup = std::make_unique<AppStartup>(*m_env);
    // The update checker reports to the environment's reminder; it checks once the tray is up.
    m_updates = std::make_unique<UpdateService>(m_env->keyValueStore(), m_env->updateReminder(),
                                                m_env->updateNotifications(), QStringLiteral(PEMMO_VERSION));
    m_env->setUpdater(&m_updates->checker());

    buildPanel();

    m_tray = std::make_unique<TrayIcon>();
    connect(m_tray.get(), &TrayIcon::openRequested, this, [this] {
        if (OnboardingPractice* practice = engagedPractice())
            practice->openPracticePanel();
        else
            m_panel->show();
    });
    connect(m_tray.get(), &TrayIcon::quitRequested, qApp, &QCoreApplication::quit);
    m_updates->attachTray(*m_tray->menu(), *m_tray->icon());
    m_updates->attachPanel(*m_panel, m_env->router());
    m_updates->start();
    connect(m_tray.get(), &TrayIcon::settingsRequested, this, [this] { openSettings(); });
    {
        // The tutorial again, placed before the settings.
        QMenu* menu = m_tray->menu();
        QAction* settingsItem = menu->actions().value(1);
        auto* replay = new QAction(QStringLiteral("Replay practice…"), menu);
        menu->insertAction(settingsItem, replay);
        connect(replay, &QAction::triggered, this, &AppDelegate::openFirstRun);
    }
    m_env->openOnboardingAction = [this] { openFirstRun(); };
    m_env->openSettingsAction = [this](const QString& pane) { openSettings(pane); };
    m_env->openWindowAction = [this](const QString& windowID) { openWindow(windowID); };

    // Edits survive quitting: the tray's Quit, `kill`, Control-C and the session's end all come
    // through aboutToQuit, where what waits for the debounced write is written at once.
    m_signals = std::make_unique<TerminationSignals>();
    connect(m_signals.get(), &TerminationSignals::received, qApp, &QCoreApplication::quit);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::saveNow);
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { saveNow(); });
#endif

    // While the store is read-only or the address book cannot be read, the panel and the tray say
    // why for as long as it lasts. A refresh under way changes nothing; its outcome does.
    connect(&m_env->sync(), &ProfileSyncEngine::readOnlyReasonChanged, this, &AppDelegate::showProblems);
    connect(&m_env->sync(), &ProfileSyncEngine::stateChanged, this, [this] {
        const SyncState state = m_env->sync().state();
        if (state.kind == SyncState::Kind::Loading)
            return;
        m_addressBookProblem = state.isError() ? state.message : QString();
        showProblems();
    });
    showProblems();

    bindShortcut();

    // People in the desktop's own search (GNOME Shell, KRunner) for as long as Pemmo runs.
    m_desktopSearchBridge = std::make_unique<DesktopSearchBridge>(*m_env);
    m_desktopSearch = std::make_unique<DesktopSearchService>(*m_desktopSearchBridge);
    if (!m_desktopSearch->start())
        qCInfo(lcShell, "no desktop search: %s", qUtf8Printable(m_desktopSearch->error()));

    // What a load or a search freed goes back to the system once the work settles, so that the
    // application waits in the tray with what it holds, not with the high-water mark of its work.
    m_memory = std::make_unique<MemoryRelease>();
    connect(&m_env->sync(), &ProfileSyncEngine::profilesChanged, m_memory.get(), &MemoryRelease::schedule);
    connect(m_panel.get(), &PanelController::visibleChanged, m_memory.get(), &MemoryRelease::schedule);

    QCoro::connect(m_startup->start(), this, [] {});
    // Coming back to Pemmo is when the user expects fresh data (and, while the store is read-only,
    // when they may have fixed what stood in its way).
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_startup->refreshOnActivation();
    });
    // A panel opened again before the desktop told Pemmo it had lost the focus is no activation;
    // while something is wrong, every opening looks again whether it still is.
    connect(m_panel.get(), &PanelController::shown, this, [this] {
        if (!m_addressBookProblem.isEmpty() || !m_env->sync().readOnlyReason().isEmpty())
            m_startup->refreshOnActivation();
    });
    // The first start (or one after a newer tutorial came out) opens the first-run window, a
    // moment after the tray icon and the shortcut are in place.
    m_firstRunDecided = m_startup->shouldShowOnboarding();
    if (m_firstRunDecided)
        QTimer::singleShot(std::chrono::milliseconds(50), this, &AppDelegate::openFirstRun);
    return true;
}

void AppDelegate::buildPanel() {
    m_engine = std::make_unique<QQmlEngine>();
    // The module "Pemmo" is compiled in as resources under qrc:/Pemmo.
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_engine->addImageProvider(QStringLiteral("pemmo"), new PhotoImageProvider(*m_env));
    m_shell = std::make_unique<AppShell>(m_env.get());
    AppShell::attach(*m_engine, *m_shell);
    // Vectors that arrive after the words have shown may add "also matches" rows.
    connect(&m_startup->embeddingMaintenance(), &EmbeddingMaintenance::indexChanged, &m_env->search(),
            &SearchViewModel::refresh);

    m_colorScheme = std::make_unique<ColorScheme>();
    connect(m_colorScheme.get(), &ColorScheme::systemPrefersDarkChanged, this, &AppDelegate::applyAppearance);
    connect(&m_env->settings(), &SettingsStore::appearanceChanged, this, &AppDelegate::applyAppearance);
    applyAppearance();

    m_window = std::make_unique<PemmoPanel>(m_engine.get());
    m_env->keys().install(m_window.get());
    m_panel = std::make_unique<PanelController>(
        m_window.get(), [this] { return SettingsStore::points(m_env->settings().panelWidth()); });
    m_env->setPanel(m_panel.get());
    m_shell->setCompositorCheck(&Compositor::isActive);
    m_shell->setPanel(m_panel.get());
    m_panel->setKeepsOpen([this] { return ownWindowIsUp(); });
    connect(m_panel.get(), &PanelController::hidden, this, [this] {
        if (m_settingsWindow && m_settingsWindow->isVisible() &&
            m_settingsWindow->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
            m_settingsWindow->setWindowFlag(Qt::WindowStaysOnTopHint, false);
            m_settingsWindow->show();
        }
    });
    m_shell->setDiagnosticsSources({[this] { return shortcutState(); }, &m_startup->embeddingMaintenance()});
    m_window->setSource(QUrl(QStringLiteral("qrc:/Pemmo/Main.qml")));
    if (m_window->status() == QQuickView::Error) {
        for (const QQmlError& e : m_window->errors())
            qCCritical(lcShell, "%s", qUtf8Printable(e.toString()));
    }
    connect(m_panel.get(), &PanelController::shown, this, [this] {
        // A query handed over for this showing (a search from elsewhere) fills the field once.
        if (const auto query = m_env->router().takeInitialQuery())
            m_env->search().setQuery(*query);
        m_env->router().focusSearch();
    });
    // Back at the start means a clean search screen too.
    m_env->router().onReset = [this] { m_env->search().setQuery(QString()); };
    m_timings = std::make_unique<PanelTimings>(*m_window, m_env->search(), m_env->router());
    connect(m_panel.get(), &PanelController::aboutToShow, m_timings.get(), &PanelTimings::showRequested);
    m_env->setDestinationOpener(m_timings->timed(m_env->takeDestinationOpener()));
}

void AppDelegate::applyAppearance() {
    switch (m_env->settings().appearance()) {
    case SettingsStore::Appearance::Dark:
        m_shell->setDark(true);
        break;
    case SettingsStore::Appearance::Light:
        m_shell->setDark(false);
        break;
    case SettingsStore::Appearance::System:
        m_shell->setDark(m_colorScheme->systemPrefersDark());
        break;
    }
}

void AppDelegate::bindShortcut() {
    m_shortcut = storedShortcut(m_env->keyValueStore());
    m_toldAboutHotKey = false;
    if (!m_hotKey)
        m_hotKey = GlobalHotKey::forPlatform();
    if (!m_hotKey) {
        m_env->setHotkeyGlyphs(QString());
        m_shell->setHotkeyProblem(u"No global shortcut on this desktop: bind \u201Cpemmo toggle\u201D in its "
                                  u"keyboard settings."_qs);
        return;
    }
    disconnect(m_hotKey.get(), nullptr, this, nullptr);
    connect(m_hotKey.get(), &GlobalHotKey::activated, this, &AppDelegate::onHotKey);
    connect(m_hotKey.get(), &GlobalHotKey::statusChanged, this, &AppDelegate::onHotKeyStatus);
    m_hotKey->bind(m_shortcut);
    onHotKeyStatus();
}

std::optional<QString> AppDelegate::tryShortcut(const QKeySequence& shortcut) {
    // Without a grab there is nothing to refuse it: the desktop's own binding of `pemmo toggle`
    // is the user's to change, and the settings window names the combination to bind it to.
    if (!m_hotKey) {
        m_shortcut = shortcut;
        return std::nullopt;
    }
    const QKeySequence previous = m_shortcut;
    // A refusal here is answered in the settings window, not by the tray's notice.
    const bool told = m_toldAboutHotKey;
    m_toldAboutHotKey = true;
    m_shortcut = shortcut;
    m_hotKey->bind(shortcut);
    if (m_hotKey->status() == GlobalHotKey::Status::Failed) {
        const QString problem = m_hotKey->problem();
        m_shortcut = previous;
        m_hotKey->bind(previous);
        m_toldAboutHotKey = told;
        onHotKeyStatus();
        return problem;
    }
    m_toldAboutHotKey = false;
    onHotKeyStatus();
    return std::nullopt;
}

QString AppDelegate::shortcutState() const {
    const QString glyphs = m_shortcut.toString(QKeySequence::NativeText);
    if (!m_hotKey)
        return u"Global shortcut: none on this desktop; bind \u201Cpemmo toggle\u201D to "_qs + glyphs +
               u" in its keyboard settings"_qs;
    switch (m_hotKey->status()) {
    case GlobalHotKey::Status::Active:
        return u"Global shortcut: "_qs + glyphs + u", active ("_qs + m_hotKey->mechanism() + u')';
    case GlobalHotKey::Status::Pending:
        return u"Global shortcut: "_qs + glyphs + u", waiting for the desktop to confirm it ("_qs +
               m_hotKey->mechanism() + u')';
    case GlobalHotKey::Status::Failed:
        return u"Global shortcut: "_qs + glyphs + u", not active: "_qs + m_hotKey->problem();
    case GlobalHotKey::Status::Inactive:
        break;
    }
    return u"Global shortcut: "_qs + glyphs + u", not bound ("_qs + m_hotKey->mechanism() + u')';
}

bool AppDelegate::ownWindowIsUp() const {
    if (m_settingsWindow && m_settingsWindow->isVisible())
        return true;
    // A file or message dialog of Pemmo's, or any other window of this process that has the focus.
    if (QApplication::activeModalWidget())
        return true;
    QWindow* focus = QGuiApplication::focusWindow();
    return focus && focus != m_window.get();
}

void AppDelegate::openSettings(const QString& pane) {
    if (OnboardingPractice* practice = m_firstRun ? m_firstRun->practice() : nullptr) {
        if (const auto refusal = practice->refuseSettings()) {
            m_firstRun->tell(*refusal);
            return;
        }
    }
    if (!m_settingsWindow) {
        m_settingsModel = std::make_unique<SettingsViewModel>(*m_env);
        m_settingsModel->setShortcutBinder(
            [this](const QKeySequence& shortcut) { return tryShortcut(shortcut); });
        m_settingsWindow = std::make_unique<SettingsWindow>(*m_settingsModel);
        m_settingsWindow->setDark(m_shell->dark());
        connect(m_shell.get(), &AppShell::darkChanged, m_settingsWindow.get(),
                [this] { m_settingsWindow->setDark(m_shell->dark()); });
        m_settingsWindow->setIndexMaintenance(&m_startup->embeddingMaintenance());
    }
    if (!pane.isEmpty())
        m_settingsWindow->showPane(pane);
    // The panel stays on top of ordinary windows: opened over it, the window joins it there (and
    // leaves again once the panel is gone), so the panel never covers it.
    const bool overPanel = m_window && m_window->isVisible();
    if (m_settingsWindow->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != overPanel)
        m_settingsWindow->setWindowFlag(Qt::WindowStaysOnTopHint, overPanel);
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void AppDelegate::onHotKeyStatus() {
    const QString glyphs = m_shortcut.toString(QKeySequence::NativeText);
    const bool failed = m_hotKey->status() == GlobalHotKey::Status::Failed;
    m_env->setHotkeyGlyphs(glyphs);
    m_shell->setHotkeyProblem(failed ? m_hotKey->problem() : QString());
    if (failed && !m_toldAboutHotKey) {
        // Said once, where the user will see it: the tray's notice, else the terminal.
        m_toldAboutHotKey = true;
        if (!m_tray || !m_tray->notify(QStringLiteral("Pemmo shortcut unavailable"), m_hotKey->problem()))
            std::fprintf(stderr, "pemmo: %s\n", qUtf8Printable(m_hotKey->problem()));
    }
}

bool AppDelegate::offerShortcutToPanel() {
    if (!m_window->isActive() || !m_window->isVisible())
        return false;
    KeyEvent event;
    event.key = m_shortcut[0].key();
    event.modifiers = m_shortcut[0].keyboardModifiers();
    event.characters = QKeySequence(m_shortcut[0].key()).toString().toLower();
    m_timings->keyArrived();
    return m_env->keys().dispatch(event) == KeyResult::Handled;
}

void AppDelegate::onHotKey() {
    ++m_hotKeyPresses;
    if (OnboardingPractice* practice = engagedPractice(); practice && practice->handleShortcut())
        return;
    if (offerShortcutToPanel())
        return;
    m_panel->toggle();
}

OnboardingPractice* AppDelegate::engagedPractice() const {
    OnboardingPractice* practice = m_firstRun ? m_firstRun->practice() : nullptr;
    return practice && practice->isEngaged() ? practice : nullptr;
}

void AppDelegate::openWindow(const QString& windowID) {
    if (windowID == AppEnvironment::settingsWindowID())
        openSettings();
    else if (windowID == AppEnvironment::firstRunWindowID())
        openFirstRun();
    else
        qCCritical(lcShell, "no window \"%s\" to open", qUtf8Printable(windowID));
}

void AppDelegate::openFirstRun() {
    if (!m_firstRun) {
        m_firstRun = std::make_unique<FirstRunWindow>(*m_env, *m_engine, [this] { return m_shell->dark(); });
        m_firstRun->onDone = [this](bool openPanel) {
            if (openPanel)
                m_panel->show();
        };
    }
    m_firstRun->open();
}

void AppDelegate::saveNow() {
    try {
        m_env->store().flushPendingAndWait();
    } catch (const std::exception& error) {
        qCCritical(lcShell, "could not save the last changes: %s", error.what());
    }
}

void AppDelegate::showProblems() {
    QStringList lines;
    for (const QString& line : {m_env->sync().readOnlyReason(), m_addressBookProblem})
        if (!line.isEmpty() && !lines.contains(line))
            lines.append(line);
    const QString problem = lines.join(u'\n');
    m_env->router().setNotice(problem);
    if (m_tray)
        m_tray->setProblem(problem);
}

QCoro::Task<QByteArray> AppDelegate::handleCommand(QByteArray command) {
    static constexpr QByteArrayView importCommand = "import ";
    if (command.startsWith(importCommand)) {
        auto importing = importFile(command.mid(importCommand.size()));
        co_return co_await importing;
    }
    if (command.startsWith("search ")) {
        auto searching =
            SearchCommand::serve(m_env->search(), m_env->directory(), answersFromMemory(), command);
        co_return co_await searching;
    }
    co_return handlePanelCommand(command);
}

bool AppDelegate::answersFromMemory() const {
    // A command answered from memory must print what it would print alone, which reads the files
    // as they are now: not while they are being read again or the semantic index catches up.
    const ProfileSyncEngine& sync = m_env->sync();
    return sync.hasLoaded() && !sync.isRefreshing() && sync.state().kind != SyncState::Kind::Error &&
           !m_startup->embeddingMaintenance().isUpdating();
}

QCoro::Task<QByteArray> AppDelegate::importFile(QByteArray arguments) {
    const auto request = ImportCommand::parseRequest(arguments);
    if (!request)
        co_return ImportCommand::answer(
            {Console::usage, {}, u"pemmo: the import request was not understood\n"_qs, 0});
    // The user means the records of the folder their command would use; this process may use
    // another (a different XDG_DATA_HOME).
    if (QDir::cleanPath(request->dataFolder) != QDir::cleanPath(m_env->directory()))
        co_return ImportCommand::answer({Console::failure,
                                         {},
                                         u"pemmo: the running Pemmo keeps its records in "_qs +
                                             m_env->directory() + u", not in "_qs + request->dataFolder +
                                             u"; nothing was imported.\n"_qs,
                                         0});
    const QPointer<AppDelegate> self(this);
    auto merging = ImportCommand::run(m_env->store(), *request, false);
    const ImportCommand::Outcome outcome = co_await merging;
    // The panel shows what was merged at once; an import is also a moment to read the book again.
    if (self && outcome.exitCode == Console::success)
        m_env->sync().refresh();
    co_return ImportCommand::answer(outcome);
}

QByteArray AppDelegate::handlePanelCommand(const QByteArray& command) {
    if (command == "toggle") {
        if (OnboardingPractice* practice = engagedPractice(); practice && practice->handleShortcut())
            return practice->isPracticePanelVisible() ? "shown" : "hidden";
        // `pemmo toggle` is the shortcut of desktops without a grab: it behaves as the grab does.
        if (!offerShortcutToPanel())
            m_panel->toggle();
        return m_panel->isVisible() ? "shown" : "hidden";
    }
    if (command == "show" || command.isEmpty()) {
        if (OnboardingPractice* practice = engagedPractice()) {
            practice->openPracticePanel();
            return "shown";
        }
        m_panel->show();
        return "shown";
    }
    if (command == "hide") {
        m_panel->hide();
        return "hidden";
    }
    if (command == "state")
        return QJsonDocument(state()).toJson(QJsonDocument::Compact);
    if (command == "quit") {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return "quitting";
    }
    return "unknown command";
}

QJsonObject AppDelegate::state() const {
    QJsonObject result;
    result[u"visible"_qs] = m_window->isVisible();
    result[u"active"_qs] = m_window->isActive();
    result[u"exposed"_qs] = m_window->isExposed();
    const QRect g = m_window->geometry();
    result[u"geometry"_qs] = QJsonArray{g.x(), g.y(), g.width(), g.height()};
    if (QScreen* screen = m_window->screen()) {
        const QRect a = screen->availableGeometry();
        result[u"available"_qs] = QJsonArray{a.x(), a.y(), a.width(), a.height()};
    }
    result[u"hotkey"_qs] = m_hotKey ? m_hotKey->mechanism() : QString();
    result[u"hotkeyActive"_qs] = m_hotKey && m_hotKey->status() == GlobalHotKey::Status::Active;
    result[u"hotkeyPresses"_qs] = m_hotKeyPresses;
    result[u"profiles"_qs] = int(m_env->sync().profiles().size());
    result[u"publishCount"_qs] = m_env->sync().publishCount();
    result[u"timings"_qs] = m_timings->toJson();
    result[u"recents"_qs] = QJsonArray::fromStringList(m_env->recents().ids());
    result[u"trayToolTip"_qs] = m_tray ? m_tray->toolTip() : QString();
    result[u"starred"_qs] = QJsonArray::fromStringList(m_env->starred().ids());
    result[u"settingsWindow"_qs] =
        QJsonObject{{u"visible"_qs, m_settingsWindow && m_settingsWindow->isVisible()},
                    {u"active"_qs, m_settingsWindow && m_settingsWindow->isActiveWindow()},
                    {u"pane"_qs, m_settingsWindow ? m_settingsWindow->currentPane() : QString()}};
    {
        // The first-run window and the practice panel, while there is one.
        QJsonObject firstRun{{u"open"_qs, m_firstRun && m_firstRun->isOpen()}};
        if (OnboardingPractice* practice = m_firstRun ? m_firstRun->practice() : nullptr) {
            firstRun[u"engaged"_qs] = practice->isEngaged();
            firstRun[u"practicePanelVisible"_qs] = practice->isPracticePanelVisible();
            if (QQuickItem* root = m_firstRun->view()->rootObject()) {
                QVariant described;
                QMetaObject::invokeMethod(root, "describe", Q_RETURN_ARG(QVariant, described));
                if (described.userType() == qMetaTypeId<QJSValue>())
                    described = described.value<QJSValue>().toVariant();
                firstRun[u"window"_qs] = QJsonObject::fromVariantMap(described.toMap());
            }
            AppEnvironment* demo = practice->demo();
            auto* panelWindow =
                demo && demo->panel() ? qobject_cast<QQuickView*>(demo->panel()->panel()) : nullptr;
            if (QQuickItem* root = panelWindow ? panelWindow->rootObject() : nullptr) {
                QVariant described;
                QMetaObject::invokeMethod(root, "describe", Q_RETURN_ARG(QVariant, described));
                if (described.userType() == qMetaTypeId<QJSValue>())
                    described = described.value<QJSValue>().toVariant();
                firstRun[u"practicePanel"_qs] = QJsonObject::fromVariantMap(described.toMap());
            }
        }
        result[u"firstRun"_qs] = firstRun;
        result[u"firstRunDecided"_qs] = m_firstRunDecided;
    }
    if (QQuickItem* root = m_window->rootObject()) {
        QVariant described;
        QMetaObject::invokeMethod(root, "describe", Q_RETURN_ARG(QVariant, described));
        if (described.userType() == qMetaTypeId<QJSValue>())
            described = described.value<QJSValue>().toVariant();
        result[u"panel"_qs] = QJsonObject::fromVariantMap(described.toMap());
    }
    return result;
}

} // namespace pemmo
