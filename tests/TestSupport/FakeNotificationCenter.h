// A notification centre for tests: keeps what it was given, and answers authorisation and adds at
// once or, when told to hold them, only when the test releases them, so every interleaving of a
// reminder's end with the centre's answers can be played.
#pragma once

#include "Updates/NotificationCenter.h"

#include <QList>
#include <QStringList>

namespace pemmo::test {

class FakeNotificationCenter : public NotificationCenter {
public:
    // What the centre answers.
    bool granted = true;
    std::optional<QString> authorizationError;
    std::optional<QString> addError;
    // Hold the answers until released.
    bool holdAuthorization = false;
    bool holdAdds = false;

    NotificationCenterDelegate* delegate = nullptr;
    QList<NotificationCategory> categories;
    QList<NotificationRequest> added;
    QStringList pending;
    QStringList delivered;
    QStringList removedPending;
    QStringList removedDelivered;
    QList<AuthorizationHandler> heldAuthorizations;
    QList<AddHandler> heldAdds;

    void setDelegate(NotificationCenterDelegate* d) override { delegate = d; }
    void setCategories(const QList<NotificationCategory>& c) override { categories = c; }

    void requestAuthorization(AuthorizationHandler handler) override {
        if (holdAuthorization)
            heldAuthorizations.append(std::move(handler));
        else
            handler(granted, authorizationError);
    }

    void add(const NotificationRequest& request, AddHandler handler) override {
        added.append(request);
        if (!addError)
            pending.append(request.identifier);
        if (holdAdds)
            heldAdds.append(std::move(handler));
        else
            handler(addError);
    }

    void deliveredIdentifiers(IdentifiersHandler handler) override { handler(delivered); }
    void pendingIdentifiers(IdentifiersHandler handler) override { handler(pending); }

    void removeDelivered(const QStringList& identifiers) override {
        removedDelivered += identifiers;
        for (const QString& id : identifiers)
            delivered.removeAll(id);
    }
    void removePending(const QStringList& identifiers) override {
        removedPending += identifiers;
        for (const QString& id : identifiers)
            pending.removeAll(id);
    }

    void releaseAuthorization() {
        for (AuthorizationHandler& handler : std::exchange(heldAuthorizations, {}))
            handler(granted, authorizationError);
    }
    void releaseAdds() {
        for (AddHandler& handler : std::exchange(heldAdds, {}))
            handler(addError);
    }

    // The centre moves a pending request to the screen, asking the delegate first. True when it
    // was shown.
    bool deliver(const QString& identifier) {
        if (!pending.contains(identifier))
            return false;
        const PresentationOptions options = delegate->willPresent(identifier);
        pending.removeAll(identifier);
        if (!options)
            return false;
        delivered.append(identifier);
        return true;
    }

    // The user clicks; true when the completion was called.
    bool click(const QString& identifier, const QString& action) {
        bool completed = false;
        delegate->didReceiveResponse(identifier, action, [&completed] { completed = true; });
        return completed;
    }

    // Whether an identifier is anywhere the user could still see or click it.
    bool isUp(const QString& identifier) const {
        return pending.contains(identifier) || delivered.contains(identifier);
    }
};

} // namespace pemmo::test
