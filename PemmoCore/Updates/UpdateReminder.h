// The persistent face of an update reminder: the version that waits (shown as the tray menu's
// "Update" item and a dot on the icon), and the one notification per version that it asks for.
// The update checker reports to it as the update framework reports to its user driver.
#pragma once

#include "Updates/UpdateNotifying.h"

#include <QObject>
#include <QString>
#include <optional>

namespace pemmo {

class UpdateReminder : public QObject {
    Q_OBJECT
    // Empty while no version waits.
    Q_PROPERTY(QString pendingVersion READ pendingVersionText NOTIFY pendingVersionChanged)

public:
    explicit UpdateReminder(UpdateNotifying& notifier, QObject* parent = nullptr);

    std::optional<QString> pendingVersion() const { return m_pendingVersion; }
    QString pendingVersionText() const { return m_pendingVersion.value_or(QString()); }
    std::optional<QString> notifiedFor() const { return m_notifiedFor; }

    // The in-panel banner is shown once per waiting version.
    bool shouldShowBanner() const { return m_pendingVersion && m_bannerShownFor != m_pendingVersion; }
    void markBannerShown() { m_bannerShownFor = m_pendingVersion; }

    // What the update checker asks and tells, in the order it does.
    bool supportsGentleScheduledUpdateReminders() const { return true; }
    // Whether the checker shows a version it found on a scheduled check itself; otherwise the
    // version is held back and the reminder carries it.
    bool shouldHandleShowingScheduledUpdate(bool immediateFocus) const { return immediateFocus; }
    void willHandleShowingUpdate(bool handleShowing, const QString& displayVersion);
    void didReceiveUserAttention() { endReminder(); }
    void willFinishUpdateSession() { endReminder(); }

Q_SIGNALS:
    void pendingVersionChanged();

private:
    void heldBack(const QString& version);
    void postFailed(const QString& version);
    void endReminder();
    void setPendingVersion(std::optional<QString> version);

    UpdateNotifying& m_notifier;
    std::optional<QString> m_pendingVersion;
    std::optional<QString> m_bannerShownFor;
    std::optional<QString> m_notifiedFor;
};

} // namespace pemmo
