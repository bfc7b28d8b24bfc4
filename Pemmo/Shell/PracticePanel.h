// The practice environment's own panel: the same QML panel as the live one, in an engine of its
// own whose `Shell` is the practice environment, so nothing typed there reaches the user's people.
#pragma once

#include <QObject>
#include <memory>

class QQmlEngine;

namespace pemmo {

class AppEnvironment;
class AppShell;
class PanelController;
class PemmoPanel;

class PracticePanel : public QObject {
    Q_OBJECT

public:
    // Installs itself as the environment's panel; the environment must outlive it. `dark` is the
    // look of the live panel at the time.
    PracticePanel(AppEnvironment& environment, bool dark, QObject* parent = nullptr);
    ~PracticePanel() override;

    PemmoPanel* window() const { return m_window.get(); }
    PanelController* controller() const { return m_controller.get(); }
    void setDark(bool dark);

private:
    AppEnvironment& m_env;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<AppShell> m_shell;
    std::unique_ptr<PemmoPanel> m_window;
    std::unique_ptr<PanelController> m_controller;
};

} // namespace pemmo
