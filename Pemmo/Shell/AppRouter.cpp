#include "Shell/AppRouter.h"

#include <QThread>

namespace pemmo {

namespace {

// A Control-key command, or Return on a row: a key that runs something, not one that moves or
// types.
bool startsACommand(const KeyEvent& event) {
    static const QList<int> modifiersAlone = {Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Meta,
                                              Qt::Key_AltGr};
    if (modifiersAlone.contains(event.key))
        return false;
    return event.hasControl() || event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter);
}

} // namespace

AppRouter::AppRouter(QObject* parent)
    : QObject(parent) {
    m_bannerTimer.setSingleShot(true);
    // One timer for whichever banner is shown: a new banner restarts it, so an older banner's
    // timeout can never remove a newer one.
    connect(&m_bannerTimer, &QTimer::timeout, this, &AppRouter::dismissBanner);
}

Route AppRouter::routeAt(int index) const {
    return index >= 0 && index < m_stack.size() ? m_stack.at(index) : Route();
}

void AppRouter::push(Route route) {
    Q_ASSERT(thread() == QThread::currentThread());
    route.setKey(m_nextKey++);
    m_stack.append(std::move(route));
    // A banner speaks of the screen it came up on; the screen's own banner (a form's "Saved")
    // comes after the change.
    dismissBanner();
    Q_EMIT stackChanged();
}

void AppRouter::pop() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (m_stack.size() <= 1)
        return;
    m_stack.removeLast();
    dismissBanner();
    Q_EMIT stackChanged();
}

void AppRouter::removeRoutesFor(const QString& contactID) {
    const auto removed = m_stack.removeIf(
        [&](const Route& r) { return r.routeKind() != Route::Kind::Search && r.contactID() == contactID; });
    if (removed > 0)
        Q_EMIT stackChanged();
    if (const auto context = actionContext(); context && context->contactID == contactID)
        dismissOverlay();
}

void AppRouter::reset() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (m_stack.size() != 1) {
        m_stack = {m_stack.constFirst()};
        Q_EMIT stackChanged();
    }
    dismissOverlay();
    dismissBanner();
    if (onReset)
        onReset();
}

std::optional<ActionContext> AppRouter::actionContext() const {
    if (!showsActions())
        return std::nullopt;
    return std::get<ActionContext>(*m_overlay);
}

ConfirmRequest AppRouter::confirmRequest() const {
    return showsConfirm() ? std::get<ConfirmRequest>(*m_overlay) : ConfirmRequest();
}

void AppRouter::present(Overlay overlay) {
    Q_ASSERT(thread() == QThread::currentThread());
    m_overlay = std::move(overlay);
    setConfirmFocusOnCancel(false);
    Q_EMIT overlayChanged();
}

void AppRouter::dismissOverlay() {
    if (!m_overlay)
        return;
    m_overlay.reset();
    setConfirmFocusOnCancel(false);
    Q_EMIT overlayChanged();
}

void AppRouter::confirm() {
    if (!showsConfirm())
        return;
    const auto run = std::get<ConfirmRequest>(*m_overlay).onConfirm;
    dismissOverlay();
    if (run)
        run();
}

void AppRouter::setConfirmFocusOnCancel(bool onCancel) {
    if (m_confirmFocusOnCancel == onCancel)
        return;
    m_confirmFocusOnCancel = onCancel;
    Q_EMIT confirmFocusChanged();
}

void AppRouter::showBanner(BannerState banner) {
    Q_ASSERT(thread() == QThread::currentThread());
    const auto timeout = banner.timeout;
    m_banner = std::move(banner);
    m_bannerTimer.start(timeout);
    Q_EMIT bannerChanged();
}

void AppRouter::dismissBanner() {
    m_bannerTimer.stop();
    if (!m_banner)
        return;
    m_banner.reset();
    Q_EMIT bannerChanged();
}

void AppRouter::dismissErrorBanner() {
    if (m_banner && m_banner->style == BannerState::Style::Error)
        dismissBanner();
}

void AppRouter::performBannerAction() {
    if (!m_banner)
        return;
    auto action = m_banner->action;
    dismissBanner();
    if (action)
        action();
}

void AppRouter::setNotice(const QString& notice) {
    if (m_notice == notice)
        return;
    m_notice = notice;
    Q_EMIT noticeChanged();
}

void AppRouter::focusSearch() {
    ++m_searchFocusRequest;
    Q_EMIT searchFocusRequestChanged();
}

KeyResult AppRouter::handleKey(const KeyEvent& event) {
    if (showsConfirm()) {
        // The card is modal: Return or Space presses the focused button (the confirming one until
        // Tab moves to Cancel), Escape declines, Tab and Shift-Tab go between the two buttons, and
        // nothing else goes past it (not to a field behind the scrim either).
        const bool press =
            event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter) || event.isPlain(Qt::Key_Space);
        if (press && m_confirmFocusOnCancel)
            dismissOverlay();
        else if (press)
            confirm();
        else if (event.isPlain(Qt::Key_Escape))
            dismissOverlay();
        else if (event.isPlain(Qt::Key_Tab) || event.isPlain(Qt::Key_Backtab))
            setConfirmFocusOnCancel(!m_confirmFocusOnCancel);
        return KeyResult::Handled;
    }
    if (m_banner && m_banner->actionKey && m_banner->action && event.combination() == *m_banner->actionKey) {
        performBannerAction();
        return KeyResult::Handled;
    }
    if (startsACommand(event))
        dismissErrorBanner();
    return KeyResult::Pass;
}

} // namespace pemmo
