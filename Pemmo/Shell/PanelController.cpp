#include "Shell/PanelController.h"

#include "Shell/PanelFrame.h"
#include "Shell/ShellLogging.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace pemmo {

PanelController::PanelController(QWindow* panel, std::function<int()> panelWidth,
                                 std::chrono::milliseconds staleFocusGrace, QObject* parent)
    : QObject(parent)
    , m_panel(panel)
    , m_panelWidth(std::move(panelWidth)) {
    m_staleFocusGrace.setSingleShot(true);
    m_staleFocusGrace.setInterval(staleFocusGrace);
    connect(&m_staleFocusGrace, &QTimer::timeout, this, [this] {
        if (!m_panel || !m_panel->isVisible())
            return;
        if (m_panel->isActive()) {
            m_wasActivated = true;
        } else if (m_focusLeftDuringGrace && m_autoHides && !isHoldingFocus() &&
                   !(m_keepsOpen && m_keepsOpen())) {
            // The focus left and did not come back: not the last showing's news, a real leave.
            qCDebug(lcPanel, "panel %s", "resign key");
            hide();
        }
    });
    connect(panel, &QWindow::activeChanged, this, &PanelController::onActiveChanged);
    connect(panel, &QWindow::visibleChanged, this, &PanelController::visibleChanged);
}

bool PanelController::isVisible() const {
    return m_panel && m_panel->isVisible();
}

void PanelController::setAutoHides(bool autoHides) {
    if (m_autoHides == autoHides)
        return;
    m_autoHides = autoHides;
    Q_EMIT autoHidesChanged();
}

QScreen* PanelController::screen() const {
    // The main screen is where the user is working: the one under the pointer. (Wayland does not
    // tell where the pointer is outside Pemmo's windows; there the primary screen stands in.)
    if (QScreen* working = QGuiApplication::screenAt(QCursor::pos()))
        return working;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    if (m_panel && m_panel->screen())
        return m_panel->screen();
    const auto screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

QRect PanelController::frame(int width) const {
    QScreen* s = screen();
    if (!s)
        return QRect(0, 0, width, PanelFrame::maxHeight);
    return PanelFrame::frame(s->availableGeometry(), width);
}

void PanelController::show() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!m_panel)
        return;
    qCDebug(lcPanel, "panel %s", "show");
    Q_EMIT aboutToShow();
    const int width = m_panelWidth ? m_panelWidth() : defaultWidth;
    m_panel->setGeometry(frame(width));
    // Only an activation after this show arms the hiding: a focus-out still on its way from the
    // last time the panel was up must not close it again.
    m_wasActivated = false;
    m_panel->show();
    m_panel->raise();
    m_panel->requestActivate();
    // When nothing else took the focus while the panel was hidden, the system still counts it as
    // the active window and sends no new activation. It is active all the same, but only once a
    // focus-out still on its way from the last showing had time to arrive (and be ignored).
    m_focusLeftDuringGrace = false;
    if (m_panel->isActive())
        m_staleFocusGrace.start();
    Q_EMIT shown();
}

void PanelController::hide() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!m_panel || !m_panel->isVisible())
        return;
    qCDebug(lcPanel, "panel %s", "hide");
    m_panel->hide();
    m_wasActivated = false;
    m_staleFocusGrace.stop();
    Q_EMIT hidden();
}

void PanelController::toggle() {
    if (isVisible())
        hide();
    else
        show();
}

void PanelController::holdFocus(std::chrono::milliseconds duration) {
    m_hold.setRemainingTime(duration);
}

void PanelController::onActiveChanged() {
    if (!m_panel)
        return;
    if (m_panel->isActive()) {
        m_wasActivated = true;
        m_staleFocusGrace.stop();
        return;
    }
    if (isHoldingFocus() && m_panel->isVisible()) {
        qCDebug(lcPanel, "panel %s", "keeps the focus");
        m_panel->raise();
        m_panel->requestActivate();
        return;
    }
    // A focus-out during the grace may be the last showing's: if the focus comes back before the
    // grace ends, it was; if not, the panel hides then.
    if (m_staleFocusGrace.isActive()) {
        m_focusLeftDuringGrace = true;
        return;
    }
    if (m_keepsOpen && m_keepsOpen()) {
        qCDebug(lcPanel, "panel %s", "stays beside another window of Pemmo");
        return;
    }
    if (m_autoHides && m_wasActivated && m_panel->isVisible()) {
        qCDebug(lcPanel, "panel %s", "resign key");
        hide();
    }
}

} // namespace pemmo
