#include "Shell/PracticePanel.h"

#include "App/AppEnvironment.h"
#include "Search/SearchViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/AppShell.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelController.h"
#include "Shell/PemmoPanel.h"
#include "Shell/PhotoImageProvider.h"
#include "Shell/ShellLogging.h"

#include <QGuiApplication>
#include <QQmlEngine>

namespace pemmo {

PracticePanel::PracticePanel(AppEnvironment& environment, bool dark, QObject* parent)
    : QObject(parent)
    , m_env(environment) {
    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_engine->addImageProvider(QStringLiteral("pemmo"), new PhotoImageProvider(environment));
    m_shell = std::make_unique<AppShell>(&environment);
    AppShell::attach(*m_engine, *m_shell);
    m_shell->setDark(dark);
    m_window = std::make_unique<PemmoPanel>(m_engine.get());
    m_window->setTitle(QStringLiteral("Pemmo practice"));
    environment.keys().install(m_window.get());
    m_controller = std::make_unique<PanelController>(m_window.get(), [&environment] {
        return SettingsStore::points(environment.settings().panelWidth());
    });
    // Like the live panel, it stays up beside another window of Pemmo's: the first-run window,
    // which had the focus when the shortcut opened the panel, may take it back for a moment (when
    // the shortcut's key grab ends), and the practice must not vanish under the user's hands.
    m_controller->setKeepsOpen([window = m_window.get()] {
        QWindow* focus = QGuiApplication::focusWindow();
        return focus && focus != window;
    });
    environment.setPanel(m_controller.get());
    m_shell->setPanel(m_controller.get());
    m_window->setSource(QUrl(QStringLiteral("qrc:/Pemmo/Main.qml")));
    if (m_window->status() == QQuickView::Error) {
        for (const QQmlError& e : m_window->errors())
            qCCritical(lcShell, "%s", qUtf8Printable(e.toString()));
    }
    connect(m_controller.get(), &PanelController::shown, this,
            [&environment] { environment.router().focusSearch(); });
    environment.router().onReset = [&environment] { environment.search().setQuery(QString()); };
}

PracticePanel::~PracticePanel() {
    m_env.router().onReset = nullptr;
    if (m_env.panel() == m_controller.get())
        m_env.setPanel(nullptr);
    m_controller.reset();
    m_window.reset();
    m_engine.reset();
    m_shell.reset();
}

void PracticePanel::setDark(bool dark) {
    m_shell->setDark(dark);
}

} // namespace pemmo
