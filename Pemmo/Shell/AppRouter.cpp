#include "Shell/AppRouter.h"

#include <QThread>

namespace pemmo {

AppRouter::AppRouter(QObject* parent)
    : QObject(parent) {
    m_bannerTimer.setSingleShot(true);
    // One timer for whichever banner is shown: a new banner restarts it, so an older banner's
    // timeout can never remove a newer one.
    connect(&m_bannerTimer, &QTimer::timeout, this, &AppRouter::dismissBanner);
}

QVariantList AppRouter::stackVariant() const {
    QVariantList list;
    for (const Route& route : m_stack)
        list.append(route.toVariant());
    return list;
}

void AppRouter::push(const Route& route) {
    Q_ASSERT(thread() == QThread::currentThread());
    m_stack.append(route);
    Q_EMIT stackChanged();
}

void AppRouter::pop() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (m_stack.size() <= 1)
        return;
    m_stack.removeLast();
    Q_EMIT stackChanged();
}

void AppRouter::reset() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (m_stack.size() != 1 || m_stack.constFirst() != Route::search()) {
        m_stack = {Route::search()};
        Q_EMIT stackChanged();
    }
    dismissBanner();
    if (onReset)
        onReset();
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

void AppRouter::performBannerAction() {
    if (!m_banner)
        return;
    auto action = m_banner->action;
    dismissBanner();
    if (action)
        action();
}

void AppRouter::focusSearch() {
    ++m_searchFocusRequest;
    Q_EMIT searchFocusRequestChanged();
}

void AppRouter::showMessage(const QString& message, const QString& style) {
    BannerState banner;
    banner.message = message;
    if (style == u"success")
        banner.style = BannerState::Style::Success;
    else if (style == u"warning")
        banner.style = BannerState::Style::Warning;
    else if (style == u"error")
        banner.style = BannerState::Style::Error;
    showBanner(std::move(banner));
}

} // namespace pemmo
