// The panel's navigation: a stack of screens that always has the search screen at its root, and
// at most one banner on top.
#pragma once

#include "Shell/BannerState.h"
#include "Shell/Route.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace pemmo {

class AppRouter : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList stack READ stackVariant NOTIFY stackChanged)
    Q_PROPERTY(QVariantMap top READ topVariant NOTIFY stackChanged)
    Q_PROPERTY(int depth READ depth NOTIFY stackChanged)
    Q_PROPERTY(QVariantMap banner READ bannerVariant NOTIFY bannerChanged)
    Q_PROPERTY(bool hasBanner READ hasBanner NOTIFY bannerChanged)
    Q_PROPERTY(bool hasOverlay READ hasOverlay NOTIFY overlayChanged)
    Q_PROPERTY(int searchFocusRequest READ searchFocusRequest NOTIFY searchFocusRequestChanged)

public:
    explicit AppRouter(QObject* parent = nullptr);

    const QList<Route>& stack() const { return m_stack; }
    const Route& topRoute() const { return m_stack.constLast(); }
    int depth() const { return int(m_stack.size()); }
    const std::optional<BannerState>& banner() const { return m_banner; }
    bool hasBanner() const { return m_banner.has_value(); }
    // The action panel and confirmation cards arrive with the screens that use them.
    bool hasOverlay() const { return false; }
    int searchFocusRequest() const { return m_searchFocusRequest; }

    QVariantList stackVariant() const;
    QVariantMap topVariant() const { return topRoute().toVariant(); }
    QVariantMap bannerVariant() const { return m_banner ? m_banner->toVariant() : QVariantMap(); }

    void push(const Route& route);
    void showBanner(BannerState banner);

    // Run when the router resets (after its own state is back at the root).
    std::function<void()> onReset;

public Q_SLOTS:
    // Back one screen; the search screen stays.
    void pop();
    // Back to the search screen with nothing on top.
    void reset();
    void pushProfile(const QString& contactID) { push(Route::profile(contactID)); }
    void dismissOverlay() {}
    void dismissBanner();
    // Runs the shown banner's action, if it has one, and dismisses the banner.
    void performBannerAction();
    void focusSearch();
    // An informational banner, for QML and the shell.
    void showMessage(const QString& message, const QString& style = QStringLiteral("info"));

Q_SIGNALS:
    void stackChanged();
    void bannerChanged();
    void overlayChanged();
    void searchFocusRequestChanged();

private:
    QList<Route> m_stack{Route::search()};
    std::optional<BannerState> m_banner;
    QTimer m_bannerTimer;
    int m_searchFocusRequest = 0;
};

} // namespace pemmo
