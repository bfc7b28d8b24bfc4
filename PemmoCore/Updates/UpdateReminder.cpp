#include "Updates/UpdateReminder.h"

#include "Updates/UpdateLogging.h"

namespace pemmo {

UpdateReminder::UpdateReminder(UpdateNotifying& notifier, QObject* parent)
    : QObject(parent)
    , m_notifier(notifier) {
    m_notifier.setOnPostFailed([this](const QString& version) { postFailed(version); });
}

void UpdateReminder::willHandleShowingUpdate(bool handleShowing, const QString& displayVersion) {
    if (!handleShowing)
        heldBack(displayVersion);
}

void UpdateReminder::heldBack(const QString& version) {
    setPendingVersion(version);
    if (m_notifiedFor == version) {
        qCInfo(lcUpdates, "Pemmo %s is held back again; menu item and dot only", qUtf8Printable(version));
        return;
    }
    m_notifiedFor = version;
    qCInfo(lcUpdates, "Pemmo %s is held back; posting the notification", qUtf8Printable(version));
    m_notifier.post(version);
}

void UpdateReminder::postFailed(const QString& version) {
    qCInfo(lcUpdates, "Pemmo %s never reached Notification Center; the next check will try again",
           qUtf8Printable(version));
    // The next scheduled check may post again.
    if (m_notifiedFor == version)
        m_notifiedFor.reset();
}

void UpdateReminder::endReminder() {
    setPendingVersion(std::nullopt);
    m_bannerShownFor.reset();
    m_notifier.end();
}

void UpdateReminder::setPendingVersion(std::optional<QString> version) {
    if (m_pendingVersion == version)
        return;
    m_pendingVersion = std::move(version);
    Q_EMIT pendingVersionChanged();
}

} // namespace pemmo
