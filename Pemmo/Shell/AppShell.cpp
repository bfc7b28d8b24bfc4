#include "Shell/AppShell.h"

#include "AI/Proposal.h"
#include "App/AppEnvironment.h"
#include "Avatars/AvatarImageProvider.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/CaptureFormViewModel.h"
#include "Screens/ContactFormViewModel.h"
#include "Screens/InteractionFormViewModel.h"
#include "Screens/ManageTagsViewModel.h"
#include "Screens/MomentCaptureViewModel.h"
#include "Screens/ProfileViewModel.h"
#include "Screens/QuickLinkFormViewModel.h"
#include "Screens/ReviewViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/ActionPanelViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelController.h"
#include "Shell/SearchCommands.h"
#include "Shell/SearchResultsModel.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QQmlEngine>
#include <QStandardPaths>

// The module's type registration, generated into this library; the object that holds it is only
// linked in when something refers to it.
void qml_register_types_Pemmo();

namespace pemmo {

AppShell::AppShell(AppEnvironment* environment, QObject* parent)
    : QObject(parent) {
    setEnvironment(environment);
}

AppShell::~AppShell() = default;

namespace {
const char* const kShellProperty = "pemmoShell";
}

void AppShell::attach(QQmlEngine& engine, AppShell& shell) {
    // Refer to the registration so the linker keeps it; the engine runs it when QML imports Pemmo.
    volatile auto registration = &::qml_register_types_Pemmo;
    Q_UNUSED(registration);
    QQmlEngine::setObjectOwnership(&shell, QQmlEngine::CppOwnership);
    engine.setProperty(kShellProperty, QVariant::fromValue(&shell));
    // Every panel draws the generated avatars of people without a photo.
    if (!engine.imageProvider(AvatarImageProvider::providerID()))
        engine.addImageProvider(AvatarImageProvider::providerID(), new AvatarImageProvider);
}

AppShell* AppShell::create(QQmlEngine* engine, QJSEngine*) {
    if (auto* shell = engine->property(kShellProperty).value<AppShell*>())
        return shell;
    return new AppShell(nullptr); // owned by the engine
}

void AppShell::setEnvironment(AppEnvironment* environment) {
    if (m_env == environment)
        return;
    if (m_env) {
        disconnect(m_env, nullptr, this, nullptr);
        disconnect(&m_env->router(), nullptr, this, nullptr);
    }
    m_actionPanel.reset();
    m_openContext.reset();
    m_searchCommands.reset();
    m_results.reset();
    m_env = environment;
    if (environment) {
        m_results = std::make_unique<SearchResultsModel>(environment->search());
        m_searchCommands = std::make_unique<SearchCommands>(*environment);
        connect(environment, &AppEnvironment::changeCountChanged, this, &AppShell::changeCountChanged);
        connect(environment, &AppEnvironment::hotkeyGlyphsChanged, this, &AppShell::hotkeyChanged);
        connect(&environment->router(), &AppRouter::overlayChanged, this, &AppShell::onOverlayChanged);
    }
    Q_EMIT environmentChanged();
    Q_EMIT actionPanelChanged();
    Q_EMIT changeCountChanged();
    Q_EMIT hotkeyChanged();
}

AppEnvironment* AppShell::environment() const {
    return m_env;
}

AppRouter* AppShell::router() const {
    return m_env ? &m_env->router() : nullptr;
}

KeyEventRouter* AppShell::keys() const {
    return m_env ? &m_env->keys() : nullptr;
}

SettingsStore* AppShell::settings() const {
    return m_env ? &m_env->settings() : nullptr;
}

int AppShell::changeCount() const {
    return m_env ? m_env->changeCount() : 0;
}

QString AppShell::hotkeyGlyphs() const {
    return m_env ? m_env->hotkeyGlyphs() : QString();
}

void AppShell::onOverlayChanged() {
    // One model serves every opening: it is built again for each context, but its rows model
    // and the list's delegates stay, which keeps Control-K on a card within a frame. While the
    // panel is closed the model stays, idle (its key handler is off with the panel).
    const auto context = m_env->router().actionContext();
    if (!context) {
        m_openContext.reset();
        return;
    }
    if (m_openContext && *m_openContext == *context)
        return;
    m_openContext = context;
    if (m_actionPanel) {
        m_actionPanel->reopen(*context);
        return;
    }
    m_actionPanel = std::make_unique<ActionPanelViewModel>(*context, *m_env);
    Q_EMIT actionPanelChanged();
}

void AppShell::setDark(bool dark) {
    if (m_dark == dark)
        return;
    m_dark = dark;
    Q_EMIT darkChanged();
}

void AppShell::setHotkeyProblem(const QString& problem) {
    if (m_hotkeyProblem == problem)
        return;
    m_hotkeyProblem = problem;
    Q_EMIT hotkeyChanged();
}

bool AppShell::panelVisible() const {
    return m_panel && m_panel->isVisible();
}

void AppShell::setPanel(PanelController* panel) {
    if (m_panel)
        disconnect(m_panel, nullptr, this, nullptr);
    m_panel = panel;
    if (panel) {
        connect(panel, &PanelController::visibleChanged, this, &AppShell::checkCompositor);
        connect(panel, &PanelController::visibleChanged, this, &AppShell::panelVisibleChanged);
    }
    checkCompositor();
    Q_EMIT panelVisibleChanged();
}

void AppShell::setCompositorCheck(std::function<bool()> check) {
    m_compositorCheck = std::move(check);
    checkCompositor();
}

void AppShell::checkCompositor() {
    const bool translucent = m_compositorCheck && m_compositorCheck();
    if (m_translucent == translucent)
        return;
    m_translucent = translucent;
    Q_EMIT translucentChanged();
}

ProfileViewModel* AppShell::profileModel(const QString& contactID) const {
    if (!m_env || contactID.isEmpty())
        return nullptr;
    ProfileViewModel* model = &m_env->profileModel(contactID);
    QQmlEngine::setObjectOwnership(model, QQmlEngine::CppOwnership);
    return model;
}

InteractionFormViewModel* AppShell::interactionForm(const QString& contactID, const QString& entryID) {
    if (!m_env)
        return nullptr;
    const QUuid entry(entryID);
    auto* form =
        new InteractionFormViewModel(*m_env, contactID, entry.isNull() ? std::nullopt : std::optional(entry));
    QQmlEngine::setObjectOwnership(form, QQmlEngine::JavaScriptOwnership);
    return form;
}

MomentCaptureViewModel* AppShell::momentCapture(const Route& route) {
    if (!m_env || route.routeKind() != Route::Kind::MomentCapture || !route.moment())
        return nullptr;
    auto* model = new MomentCaptureViewModel(*m_env, *route.moment());
    QQmlEngine::setObjectOwnership(model, QQmlEngine::JavaScriptOwnership);
    return model;
}

DiagnosticsViewModel* AppShell::diagnostics() {
    if (!m_env)
        return nullptr;
    auto* report = new DiagnosticsViewModel(*m_env, m_diagnosticsSources);
    QQmlEngine::setObjectOwnership(report, QQmlEngine::JavaScriptOwnership);
    return report;
}

QuickLinkFormViewModel* AppShell::quickLinkForm(const QString& contactID, const QString& linkID) {
    if (!m_env)
        return nullptr;
    const QUuid link(linkID);
    auto* form =
        new QuickLinkFormViewModel(*m_env, contactID, link.isNull() ? std::nullopt : std::optional(link));
    QQmlEngine::setObjectOwnership(form, QQmlEngine::JavaScriptOwnership);
    return form;
}

CaptureFormViewModel* AppShell::captureForm(const QString& contactID, const QString& text) {
    if (!m_env)
        return nullptr;
    auto* form =
        new CaptureFormViewModel(*m_env, CaptureFormViewModel::Mode::Capture,
                                 contactID.isEmpty() ? std::nullopt : std::optional(contactID), text);
    QQmlEngine::setObjectOwnership(form, QQmlEngine::JavaScriptOwnership);
    return form;
}

QString AppShell::choosePhotoFile() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return {};
    QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (start.isEmpty() || !QDir(start).exists())
        start = QDir::homePath();
    QFileDialog dialog(nullptr, tr("Choose a photo"), start);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Every picture type Qt reads, as one choice, so that the list shows only images.
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(u"*."_qs + QString::fromLatin1(format));
    dialog.setNameFilter(tr("Images (%1)").arg(patterns.join(u' ')));
    // Above the panel, which floats over other windows; the panel stays up while the dialog is
    // Pemmo's active modal window.
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (m_panel && m_panel->panel()) {
        dialog.winId();
        if (QWindow* handle = dialog.windowHandle())
            handle->setTransientParent(m_panel->panel());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

ContactFormViewModel* AppShell::contactForm(const QString& contactID) {
    if (!m_env)
        return nullptr;
    const QString suggested =
        contactID.isEmpty() ? m_env->router().takePendingSuggestedName().value_or(QString()) : QString();
    auto* form = new ContactFormViewModel(*m_env, contactID, suggested);
    form->setPhotoChooser(
        [shell = QPointer<AppShell>(this)] { return shell ? shell->choosePhotoFile() : QString(); });
    QQmlEngine::setObjectOwnership(form, QQmlEngine::JavaScriptOwnership);
    return form;
}

CaptureFormViewModel* AppShell::enrichForm(const QString& contactID) {
    if (!m_env)
        return nullptr;
    auto* form = new CaptureFormViewModel(*m_env, CaptureFormViewModel::Mode::Enrich, contactID);
    QQmlEngine::setObjectOwnership(form, QQmlEngine::JavaScriptOwnership);
    return form;
}

ReviewViewModel* AppShell::review(int routeKey) {
    if (!m_env)
        return nullptr;
    for (const Route& route : m_env->router().stack()) {
        if (route.key() != routeKey)
            continue;
        // A route without a proposal shows an empty review, which the user can still leave.
        Proposal empty;
        empty.personID = QString();
        auto* review =
            new ReviewViewModel(*m_env, route.proposal() ? *route.proposal() : empty, route.textValue());
        QQmlEngine::setObjectOwnership(review, QQmlEngine::JavaScriptOwnership);
        return review;
    }
    return nullptr;
}

ManageTagsViewModel* AppShell::manageTags(const QString& selectedTagID) {
    if (!m_env)
        return nullptr;
    auto* model = new ManageTagsViewModel(*m_env);
    if (!selectedTagID.isEmpty())
        model->setSelectedID(selectedTagID);
    QQmlEngine::setObjectOwnership(model, QQmlEngine::JavaScriptOwnership);
    return model;
}

QString AppShell::displayName(const QString& contactID) const {
    if (!m_env)
        return {};
    const auto profile = m_env->sync().profile(contactID);
    return profile ? profile->person->displayName() : QString();
}

QString AppShell::takePendingSuggestedName() const {
    return m_env ? m_env->router().takePendingSuggestedName().value_or(QString()) : QString();
}

void AppShell::hidePanel() {
    if (m_panel)
        m_panel->hide();
}

KeyResult AppShell::handleKey(const KeyEvent& event) {
    if (event.isPlain(Qt::Key_Escape)) {
        hidePanel();
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
