#include "Shell/FirstRunWindow.h"

#include "App/AppEnvironment.h"
#include "Platform/ContactFolderDiscovery.h"
#include "Screens/FirstRunViewModel.h"
#include "Screens/OnboardingPractice.h"
#include "Shell/PanelController.h"
#include "Shell/PracticePanel.h"
#include "Shell/ShellLogging.h"
#include "Shell/WindowSize.h"

#include <QDir>
#include <QFileDialog>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QStandardPaths>
#include <QTimer>

namespace pemmo {

FirstRunWindow::FirstRunWindow(AppEnvironment& live, QQmlEngine& engine, std::function<bool()> dark,
                               QObject* parent)
    : QObject(parent)
    , m_live(live)
    , m_engine(engine)
    , m_dark(std::move(dark)) {}

FirstRunWindow::~FirstRunWindow() {
    teardown();
}

bool FirstRunWindow::isOpen() const {
    return m_view && m_view->isVisible();
}

void FirstRunWindow::open() {
    if (!m_practice) {
        m_practice = std::make_unique<OnboardingPractice>([this](AppEnvironment& demo) {
            demo.setHotkeyGlyphs(m_live.hotkeyGlyphs());
            return std::make_unique<PracticePanel>(demo, m_dark && m_dark());
        });
        QList<FirstRunViewModel::Candidate> found;
        const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        for (const auto& f : ContactFolderDiscovery::find(QDir::homePath(), configHome))
            found.append({f.path, f.source, true});
        m_model = std::make_unique<FirstRunViewModel>(m_live, *m_practice, found);
        m_model->askForFolder = [this] {
            return QFileDialog::getExistingDirectory(nullptr, tr("Choose an address book folder"),
                                                     QDir::homePath());
        };
        m_model->onDone = [this](bool openPanel) { done(openPanel); };
        // Messaging Alex opens nothing: the practice panel steps aside for the window's next step,
        // as it would for the messaging app.
        connect(m_practice.get(), &OnboardingPractice::messagedAlex, this, [this] {
            if (AppEnvironment* demo = m_practice->demo(); demo && demo->panel())
                demo->panel()->hide();
            if (m_view) {
                m_view->raise();
                m_view->requestActivate();
            }
        });

        m_view = std::make_unique<QQuickView>(&m_engine, nullptr);
        m_view->setTitle(tr("Welcome to Pemmo"));
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->setInitialProperties({{QStringLiteral("model"), QVariant::fromValue(m_model.get())}});
        m_view->setSource(QUrl(QStringLiteral("qrc:/Pemmo/FirstRun.qml")));
        if (m_view->status() == QQuickView::Error) {
            for (const QQmlError& e : m_view->errors())
                qCCritical(lcShell, "%s", qUtf8Printable(e.toString()));
        }
        if (QQuickItem* root = m_view->rootObject()) {
            const QSize wanted(qRound(root->implicitWidth()), qRound(root->implicitHeight()));
            const QSize size = boundedToScreen(wanted, m_view->screen());
            m_view->resize(size);
            m_view->setMinimumSize(size * 3 / 4);
        }
        // Closed by the window manager: the window is hidden without the model having ended it
        // (ending it hides the window too, and a second end does nothing).
        connect(m_view.get(), &QWindow::visibleChanged, this, [this](bool visible) {
            if (!visible && m_model)
                m_model->closed();
        });
        // The live panel makes way: from now on the shortcut opens the practice panel.
        if (PanelController* panel = m_live.panel())
            panel->hide();
        m_practice->start(m_live);
    }
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

void FirstRunWindow::tell(const QString& text) {
    if (!m_model)
        return;
    m_model->setNotice(text);
    m_view->raise();
    m_view->requestActivate();
}

void FirstRunWindow::done(bool openPanel) {
    if (m_view)
        m_view->hide();
    // Called from the window's own button: the QML goes once its handler has returned.
    QTimer::singleShot(0, this, [this, openPanel] {
        teardown();
        if (onDone)
            onDone(openPanel);
    });
}

void FirstRunWindow::teardown() {
    m_view.reset();
    if (m_practice)
        m_practice->stop();
    m_model.reset();
    m_practice.reset();
}

} // namespace pemmo
