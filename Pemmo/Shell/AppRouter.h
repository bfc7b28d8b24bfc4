// Everything inside the panel: a stack of screens that always has the search screen at its root,
// at most one overlay (the action panel or a confirmation) and one banner above it, and a
// persistent notice line for conditions that last (the store can only be read, …).
//
// It also answers the keys of what it shows itself: Return and Escape on a confirmation, and a
// banner's action key.
#pragma once

#include "Shell/BannerState.h"
#include "Shell/KeyTarget.h"
#include "Shell/Overlay.h"
#include "Shell/Route.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

namespace pemmo {

class AppRouter : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The router belongs to the environment.")
    Q_PROPERTY(int depth READ depth NOTIFY stackChanged)
    Q_PROPERTY(pemmo::Route top READ topRoute NOTIFY stackChanged)
    Q_PROPERTY(bool hasOverlay READ hasOverlay NOTIFY overlayChanged)
    Q_PROPERTY(bool showsActions READ showsActions NOTIFY overlayChanged)
    Q_PROPERTY(bool showsConfirm READ showsConfirm NOTIFY overlayChanged)
    Q_PROPERTY(pemmo::ConfirmRequest confirmRequest READ confirmRequest NOTIFY overlayChanged)
    // Which of a confirmation card's buttons has the keyboard: Tab and Shift-Tab go between them.
    Q_PROPERTY(bool confirmFocusOnCancel READ confirmFocusOnCancel NOTIFY confirmFocusChanged)
    Q_PROPERTY(bool hasBanner READ hasBanner NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerMessage READ bannerMessage NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerStyle READ bannerStyle NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerActionTitle READ bannerActionTitle NOTIFY bannerChanged)
    Q_PROPERTY(QString bannerActionShortcut READ bannerActionShortcut NOTIFY bannerChanged)
    Q_PROPERTY(int searchFocusRequest READ searchFocusRequest NOTIFY searchFocusRequestChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)

public:
    explicit AppRouter(QObject* parent = nullptr);

    // MARK: Screens
    const QList<Route>& stack() const { return m_stack; }
    const Route& topRoute() const { return m_stack.constLast(); }
    int depth() const { return int(m_stack.size()); }
    Q_INVOKABLE pemmo::Route routeAt(int index) const;

    void push(Route route);
    // Drops every screen about a contact that is gone (the search screen stays).
    void removeRoutesFor(const QString& contactID);

    // MARK: Overlay
    const std::optional<Overlay>& overlay() const { return m_overlay; }
    bool hasOverlay() const { return m_overlay.has_value(); }
    bool showsActions() const { return m_overlay && std::holds_alternative<ActionContext>(*m_overlay); }
    bool showsConfirm() const { return m_overlay && std::holds_alternative<ConfirmRequest>(*m_overlay); }
    // The action panel's context, when the action panel is up.
    std::optional<ActionContext> actionContext() const;
    ConfirmRequest confirmRequest() const;
    // A card opens with its confirming button focused, so Return answers as it always did.
    bool confirmFocusOnCancel() const { return m_confirmFocusOnCancel; }
    void present(Overlay overlay);

    // MARK: Banner
    const std::optional<BannerState>& banner() const { return m_banner; }
    bool hasBanner() const { return m_banner.has_value(); }
    QString bannerMessage() const { return m_banner ? m_banner->message : QString(); }
    QString bannerStyle() const { return m_banner ? BannerState::styleName(m_banner->style) : QString(); }
    QString bannerActionTitle() const {
        return m_banner ? m_banner->actionTitle.value_or(QString()) : QString();
    }
    QString bannerActionShortcut() const {
        return m_banner ? m_banner->actionShortcut.value_or(QString()) : QString();
    }
    // Shows `banner` until its timeout; a newer banner replaces it, and an older banner's timeout
    // never removes a newer one.
    void showBanner(BannerState banner);
    void showError(const QString& message) { showBanner(BannerState::error(message)); }
    void showInfo(const QString& message) { showBanner(BannerState::info(message)); }
    void showSuccess(const QString& message) { showBanner(BannerState::success(message)); }

    // MARK: Notice
    const QString& notice() const { return m_notice; }
    void setNotice(const QString& notice);

    // MARK: Search field
    int searchFocusRequest() const { return m_searchFocusRequest; }
    // Text for the search field the next time the search screen shows; taken once.
    const std::optional<QString>& initialQuery() const { return m_initialQuery; }
    void setInitialQuery(std::optional<QString> query) { m_initialQuery = std::move(query); }
    std::optional<QString> takeInitialQuery() { return std::exchange(m_initialQuery, std::nullopt); }
    // The name a new contact's form starts with (the query the user searched for).
    const std::optional<QString>& pendingSuggestedName() const { return m_pendingSuggestedName; }
    void setPendingSuggestedName(std::optional<QString> name) { m_pendingSuggestedName = std::move(name); }
    std::optional<QString> takePendingSuggestedName() {
        return std::exchange(m_pendingSuggestedName, std::nullopt);
    }

    // Run after the router went back to its start (the search screen alone, nothing on top).
    std::function<void()> onReset;

    KeyResult handleKey(const KeyEvent& event) override;

public Q_SLOTS:
    // Back one screen; the search screen stays.
    void pop();
    // Back to the search screen with no overlay and no banner.
    void reset();
    void dismissOverlay();
    // Runs the confirmation's action after taking the card away.
    void confirm();
    void dismissBanner();
    // A failure is old news once the next command starts: it either works or says so itself.
    void dismissErrorBanner();
    // Runs the shown banner's action, if it has one, and dismisses the banner.
    void performBannerAction();
    void focusSearch();

Q_SIGNALS:
    void stackChanged();
    void overlayChanged();
    void confirmFocusChanged();
    void bannerChanged();
    void searchFocusRequestChanged();
    void noticeChanged();

private:
    void setConfirmFocusOnCancel(bool onCancel);

    QList<Route> m_stack{Route::search()};
    int m_nextKey = 1;
    std::optional<Overlay> m_overlay;
    bool m_confirmFocusOnCancel = false;
    std::optional<BannerState> m_banner;
    QTimer m_bannerTimer;
    QString m_notice;
    int m_searchFocusRequest = 0;
    std::optional<QString> m_initialQuery;
    std::optional<QString> m_pendingSuggestedName;
};

} // namespace pemmo
