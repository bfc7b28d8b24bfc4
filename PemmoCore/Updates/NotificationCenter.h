// The desktop's notification service as the update reminder sees it: requests with identifiers,
// one category of actions, and a delegate that decides about presentation and hears the clicks.
// The application talks to freedesktop notifications over D-Bus; tests use a scripted centre.
#pragma once

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace pemmo {

struct NotificationAction {
    QString identifier;
    QString title;

    bool operator==(const NotificationAction&) const = default;
};

struct NotificationCategory {
    QString identifier;
    QList<NotificationAction> actions;

    bool operator==(const NotificationCategory&) const = default;
};

struct NotificationRequest {
    QString identifier;
    QString title;
    QString body;
    QString categoryIdentifier;

    bool operator==(const NotificationRequest&) const = default;
};

enum class PresentationOption { Banner = 0x1, List = 0x2 };
Q_DECLARE_FLAGS(PresentationOptions, PresentationOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(PresentationOptions)

class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;

    // A request is about to be shown; no options means it is not shown at all.
    virtual PresentationOptions willPresent(const QString& identifier) = 0;
    // The user clicked the notification or one of its actions. `completion` is always called.
    virtual void didReceiveResponse(const QString& identifier, const QString& actionIdentifier,
                                    std::function<void()> completion) = 0;
};

class NotificationCenter {
public:
    // Why the centre would not take notifications, or absent when nobody said.
    using AuthorizationHandler = std::function<void(bool granted, std::optional<QString> error)>;
    // The error's description, or absent when the request was taken.
    using AddHandler = std::function<void(std::optional<QString> error)>;
    using IdentifiersHandler = std::function<void(QStringList)>;

    virtual ~NotificationCenter() = default;

    virtual void setDelegate(NotificationCenterDelegate* delegate) = 0;
    virtual void setCategories(const QList<NotificationCategory>& categories) = 0;

    // Handlers may run on any thread and may run before the call returns.
    virtual void requestAuthorization(AuthorizationHandler handler) = 0;
    virtual void add(const NotificationRequest& request, AddHandler handler) = 0;
    virtual void deliveredIdentifiers(IdentifiersHandler handler) = 0;
    virtual void pendingIdentifiers(IdentifiersHandler handler) = 0;
    virtual void removeDelivered(const QStringList& identifiers) = 0;
    virtual void removePending(const QStringList& identifiers) = 0;
};

} // namespace pemmo
