// Shows, hides and places the panel; hides it again when the user clicks elsewhere.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <functional>
class QScreen;

namespace pemmo {

class PanelController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool visible READ isVisible NOTIFY visibleChanged)
    Q_PROPERTY(bool autoHides READ autoHides WRITE setAutoHides NOTIFY autoHidesChanged)

public:
    static constexpr int defaultWidth = 640;
    // How long the panel holds on to the keyboard after opening a link in the background.
    static constexpr std::chrono::milliseconds defaultHoldTime{2000};
    // How long a panel that is shown while the system still counts it as active waits before it
    // takes that for its activation: a focus-out of its last showing may still be on its way.
    static constexpr std::chrono::milliseconds defaultStaleFocusGrace{250};

    // `panelWidth` reads the width setting each time the panel is shown. The panel is not owned.
    explicit PanelController(QWindow* panel, std::function<int()> panelWidth = {},
                             std::chrono::milliseconds staleFocusGrace = defaultStaleFocusGrace,
                             QObject* parent = nullptr);

    QWindow* panel() const { return m_panel; }
    bool isVisible() const;
    bool autoHides() const { return m_autoHides; }
    void setAutoHides(bool autoHides);

    // The panel's rectangle for `width` on the primary screen (else the panel's own, else any).
    QRect frame(int width) const;

    // For a while the panel neither hides nor lets the keyboard go when another window comes up
    // (a browser opening a link "in the background"): it asks for the focus back instead.
    void holdFocus(std::chrono::milliseconds duration = defaultHoldTime);
    bool isHoldingFocus() const { return !m_hold.hasExpired(); }
    // Whether the panel hides when the focus leaves it now: it was activated since it was shown.
    bool hidesWhenFocusLeaves() const { return m_autoHides && m_wasActivated; }
    // Asked when the focus leaves: while it answers true (one of Pemmo's own windows is up, say the
    // settings), the panel stays.
    void setKeepsOpen(std::function<bool()> keepsOpen) { m_keepsOpen = std::move(keepsOpen); }

public Q_SLOTS:
    void show();
    void hide();
    void toggle();

Q_SIGNALS:
    void visibleChanged();
    void autoHidesChanged();
    // Just before the panel appears: screens reset their state here.
    void aboutToShow();
    void shown();
    void hidden();

private:
    void onActiveChanged();
    QScreen* screen() const;

    QPointer<QWindow> m_panel;
    std::function<int()> m_panelWidth;
    bool m_autoHides = true;
    // Set between show() and the window manager's activation, so the deactivation of the window
    // shown before that is not taken for the user clicking away.
    bool m_wasActivated = false;
    // Runs while a panel shown already active waits out focus-outs of its last showing.
    QTimer m_staleFocusGrace;
    bool m_focusLeftDuringGrace = false;
    QDeadlineTimer m_hold{0};
    std::function<bool()> m_keepsOpen;
};

} // namespace pemmo
