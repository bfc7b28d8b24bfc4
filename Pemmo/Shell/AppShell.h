// What the panel's QML reaches as the singleton `Shell`: the environment's router and key routing,
// the search screen's rows and commands, the models of the screens the router shows, and how the
// panel looks. The application sets its environment before the first QML loads.
#pragma once

#include "Screens/DiagnosticsViewModel.h"
#include "Shell/ActionContext.h"
#include "Shell/KeyTarget.h"
#include "Shell/Route.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>
#include <optional>

class QJSEngine;
class QQmlEngine;

namespace pemmo {

class ActionPanelViewModel;
class AppEnvironment;
class AppRouter;
class ContactFormViewModel;
class InteractionFormViewModel;
class KeyEventRouter;
class ManageTagsViewModel;
class MomentCaptureViewModel;
class PanelController;
class ProfileViewModel;
class QuickLinkFormViewModel;
class SearchCommands;
class SearchResultsModel;
class SettingsStore;
class CaptureFormViewModel;
class ReviewViewModel;

class AppShell : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_NAMED_ELEMENT(Shell)
    QML_SINGLETON
    Q_MOC_INCLUDE("Shell/ActionPanelViewModel.h")
    Q_MOC_INCLUDE("Shell/AppRouter.h")
    Q_MOC_INCLUDE("Shell/KeyEventRouter.h")
    Q_MOC_INCLUDE("Shell/SearchCommands.h")
    Q_MOC_INCLUDE("Shell/SearchResultsModel.h")
    Q_MOC_INCLUDE("Screens/ProfileViewModel.h")
    Q_MOC_INCLUDE("Screens/InteractionFormViewModel.h")
    Q_MOC_INCLUDE("Screens/QuickLinkFormViewModel.h")
    Q_MOC_INCLUDE("Screens/ContactFormViewModel.h")
    Q_MOC_INCLUDE("Screens/ManageTagsViewModel.h")
    Q_MOC_INCLUDE("Screens/MomentCaptureViewModel.h")
    Q_MOC_INCLUDE("Settings/SettingsStore.h")
    Q_MOC_INCLUDE("Screens/CaptureFormViewModel.h")
    Q_MOC_INCLUDE("Screens/ReviewViewModel.h")
    Q_PROPERTY(pemmo::AppRouter* router READ router NOTIFY environmentChanged)
    Q_PROPERTY(pemmo::KeyEventRouter* keys READ keys NOTIFY environmentChanged)
    Q_PROPERTY(pemmo::SearchResultsModel* results READ results NOTIFY environmentChanged)
    Q_PROPERTY(pemmo::SearchCommands* searchCommands READ searchCommands NOTIFY environmentChanged)
    Q_PROPERTY(pemmo::SettingsStore* settings READ settings NOTIFY environmentChanged)
    Q_PROPERTY(pemmo::ActionPanelViewModel* actionPanel READ actionPanel NOTIFY actionPanelChanged)
    Q_PROPERTY(int changeCount READ changeCount NOTIFY changeCountChanged)
    Q_PROPERTY(bool dark READ dark NOTIFY darkChanged)
    Q_PROPERTY(bool translucent READ translucent NOTIFY translucentChanged)
    Q_PROPERTY(QString hotkeyGlyphs READ hotkeyGlyphs NOTIFY hotkeyChanged)
    Q_PROPERTY(QString hotkeyProblem READ hotkeyProblem NOTIFY hotkeyChanged)
    Q_PROPERTY(bool panelVisible READ panelVisible NOTIFY panelVisibleChanged)

public:
    // Not default-constructible on purpose: QML then gets the shell through `create`.
    explicit AppShell(AppEnvironment* environment, QObject* parent = nullptr);
    ~AppShell() override;

    // Makes `shell` the `Shell` QML sees in `engine`; the shell is not owned by the engine and must
    // outlive what the engine shows. Call before the first QML that uses it loads.
    static void attach(QQmlEngine& engine, AppShell& shell);
    // How QML gets the singleton: the attached shell (or, without one, an empty shell of its own).
    static AppShell* create(QQmlEngine* engine, QJSEngine* scriptEngine);

    // The environment is not owned and must outlive the shell (or be replaced first).
    void setEnvironment(AppEnvironment* environment);
    AppEnvironment* environment() const;

    AppRouter* router() const;
    KeyEventRouter* keys() const;
    SearchResultsModel* results() const { return m_results.get(); }
    SearchCommands* searchCommands() const { return m_searchCommands.get(); }
    SettingsStore* settings() const;
    ActionPanelViewModel* actionPanel() const { return m_actionPanel.get(); }
    int changeCount() const;
    bool dark() const { return m_dark; }
    void setDark(bool dark);
    bool translucent() const { return m_translucent; }
    QString hotkeyGlyphs() const;
    const QString& hotkeyProblem() const { return m_hotkeyProblem; }
    void setHotkeyProblem(const QString& problem);
    bool panelVisible() const;
    void setPanel(PanelController* panel);
    // How the panel learns whether the desktop composites (the default says it does not).
    void setCompositorCheck(std::function<bool()> check);

    // The card model of a person (kept by the environment).
    Q_INVOKABLE pemmo::ProfileViewModel* profileModel(const QString& contactID) const;
    // A new form for the screen that shows it; the screen's QML owns it.
    Q_INVOKABLE pemmo::InteractionFormViewModel* interactionForm(const QString& contactID,
                                                                 const QString& entryID = QString());
    Q_INVOKABLE pemmo::QuickLinkFormViewModel* quickLinkForm(const QString& contactID,
                                                             const QString& linkID = QString());
    // The AI forms: Quick capture (about `contactID`, or nobody yet when empty) and Enrich from text.
    Q_INVOKABLE pemmo::CaptureFormViewModel* captureForm(const QString& contactID, const QString& text);
    Q_INVOKABLE pemmo::CaptureFormViewModel* enrichForm(const QString& contactID);
    // The review of the proposal the route with `routeKey` carries; null when no route has that key.
    Q_INVOKABLE pemmo::ReviewViewModel* review(int routeKey);
    // The contact form: editing `contactID`, or, without one, a new contact named after the
    // pending suggested name (taken).
    Q_INVOKABLE pemmo::ContactFormViewModel* contactForm(const QString& contactID = QString());
    // The circles screen, with `selectedTagID` selected when given.
    Q_INVOKABLE pemmo::ManageTagsViewModel* manageTags(const QString& selectedTagID = QString());
    // The capture screen's model for the Moment a `momentCapture` route carries (null for another).
    Q_INVOKABLE pemmo::MomentCaptureViewModel* momentCapture(const pemmo::Route& route);
    // A new diagnostics report for the screen that shows it; the screen's QML owns it.
    Q_INVOKABLE pemmo::DiagnosticsViewModel* diagnostics();
    // What the diagnostics know only from the running application (the shortcut, the index).
    void setDiagnosticsSources(DiagnosticsViewModel::Sources sources) {
        m_diagnosticsSources = std::move(sources);
    }
    // The display name of a person, for screens that only need that.
    Q_INVOKABLE QString displayName(const QString& contactID) const;
    // Takes the name a new contact's form starts with.
    Q_INVOKABLE QString takePendingSuggestedName() const;
    Q_INVOKABLE void hidePanel();
    // Asks for an image file with a file dialog over the panel (which stays up meanwhile); the
    // path, or empty when the user cancels. Needs the widgets application.
    QString choosePhotoFile();

    // The panel's last word on a key no screen took: Escape closes the panel.
    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void environmentChanged();
    void actionPanelChanged();
    void changeCountChanged();
    void darkChanged();
    void translucentChanged();
    void hotkeyChanged();
    void panelVisibleChanged();

private:
    void onOverlayChanged();
    void checkCompositor();

    QPointer<AppEnvironment> m_env;
    std::unique_ptr<SearchResultsModel> m_results;
    std::unique_ptr<SearchCommands> m_searchCommands;
    std::unique_ptr<ActionPanelViewModel> m_actionPanel;
    // The context the open panel shows; none while it is closed.
    std::optional<ActionContext> m_openContext;
    QPointer<PanelController> m_panel;
    std::function<bool()> m_compositorCheck;
    bool m_dark = false;
    bool m_translucent = false;
    QString m_hotkeyProblem;
    DiagnosticsViewModel::Sources m_diagnosticsSources;
};

} // namespace pemmo
