// The front door of calendar Moments: connects to and disconnects from the calendar, keeps the
// list of pending Moments current, and turns a Moment into a "met" timeline entry, dismisses it,
// or stops offering its series. GUI thread only; the calendar and the record store are awaited,
// and a result that comes back after a disconnect is dropped (the generation counter).
#pragma once

#include "Calendar/CalendarAccess.h"
#include "Calendar/ObservedCalendar.h"
#include "Moments/MomentCandidate.h"
#include "Support/Clock.h"

#include <QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <optional>

namespace pemmo {

class CalendarRepository;
class MomentStore;
class PemmoStore;
class ProfileSyncEngine;
class SettingsStore;

class MomentService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList pending READ pendingForView NOTIFY pendingChanged)
    Q_PROPERTY(QString access READ accessForView NOTIFY accessChanged)
    Q_PROPERTY(QVariantList calendars READ calendarsForView NOTIFY calendarsChanged)
    Q_PROPERTY(QString error READ errorForView NOTIFY errorChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(int excludedSeriesCount READ excludedSeriesCount NOTIFY excludedSeriesCountChanged)

public:
    // How far back a refresh reads: a Moment is offered for 48 hours after its event ended.
    static constexpr qint64 lookBackSeconds = 172'800;

    static QString calendarUnavailableMessage() {
        return QStringLiteral("Calendar is temporarily unavailable. Try again.");
    }
    static QString connectFailedMessage() {
        return QStringLiteral("Calendar could not be connected. Try again.");
    }
    static QString refreshFailedMessage() {
        return QStringLiteral("Moments could not be refreshed. Your saved memories are safe. Try again.");
    }
    // What a Moment saved with "Just log that we met" says.
    static QString justLogText() { return QStringLiteral("Spent time together."); }

    // The collaborators are not owned and must outlive the service.
    MomentService(CalendarRepository& repository, MomentStore& local, SettingsStore& settings,
                  ProfileSyncEngine& sync, PemmoStore& store, Clock clock = systemClock(),
                  QObject* parent = nullptr);
    ~MomentService() override;

    // Pending Moments, latest end first.
    const QList<MomentCandidate>& pending() const { return m_pending; }
    CalendarAccess access() const { return m_access; }
    const QList<ObservedCalendar>& calendars() const { return m_calendars; }
    const std::optional<QString>& error() const { return m_error; }
    bool isRefreshing() const { return m_isRefreshing; }
    bool isSaving() const { return m_isSaving; }
    bool isConnecting() const { return m_isConnecting; }
    // The text typed so far for each pending Moment, by Moment id.
    const QHash<QString, QString>& drafts() const { return m_drafts; }
    int excludedSeriesCount() const { return m_excludedSeriesCount; }

    // Every event hash known to be on a timeline entry, as of the last refresh and save.
    const QSet<QString>& committed() const { return m_committed; }
    int generation() const { return m_generation; }

    // Reads the permission and, when connected, the calendars. True when calendars were listed.
    QCoro::Task<bool> refreshAccess();
    // Asks for access; with it, turns Moments on and refreshes.
    QCoro::Task<void> connect();
    // Stops reading, forgets pending Moments, calendar choices and decisions; saved memories stay.
    // From `now` on, only events that end later can become Moments after a reconnection.
    void disconnect(const QDateTime& now);
    // Reads the last 48 hours of the chosen calendars and updates the pending Moments. A refresh
    // asked for while one runs makes that one run once more.
    QCoro::Task<void> refresh(QDateTime now);
    // Moments whose time is over leave the list, recorded as expired. False when the file could
    // not be written.
    bool expire(const QDateTime& now);
    // Adds a "met" entry for the Moment to the contact's timeline. Throws MomentError (busy,
    // empty, unavailable) or the store's error.
    QCoro::Task<void> save(MomentCandidate candidate, QString text, bool justLog);
    // Throws the file's error.
    void dismiss(const MomentCandidate& candidate);
    // No more Moments from the candidate's series. Throws the file's error.
    void stopSuggesting(const MomentCandidate& candidate);
    // Offers every series again (occurrences already decided stay decided). Throws the file's error.
    void allowAllSeries();

    void setDraft(const QString& momentID, const QString& text);

Q_SIGNALS:
    void pendingChanged();
    void accessChanged();
    void calendarsChanged();
    void errorChanged();
    void isRefreshingChanged();
    void isSavingChanged();
    void isConnectingChanged();
    void draftsChanged();
    void excludedSeriesCountChanged();
    // A refresh run ended (with the runs coalesced into it), whatever it found.
    void refreshFinished();

private:
    QCoro::Task<void> refreshOnce(QDateTime now);
    void publishPending(const QDateTime& now);
    void setPending(QList<MomentCandidate> pending);
    void setAccess(CalendarAccess access);
    void setCalendars(QList<ObservedCalendar> calendars);
    void setError(std::optional<QString> error);
    void setRefreshing(bool value);
    void setSaving(bool value);
    void setConnecting(bool value);
    void setExcludedSeriesCount(int count);
    void dropDraftsNotPending();

    QVariantList pendingForView() const;
    QString accessForView() const;
    QVariantList calendarsForView() const;
    QString errorForView() const { return m_error.value_or(QString()); }

    CalendarRepository& m_repository;
    MomentStore& m_local;
    SettingsStore& m_settings;
    ProfileSyncEngine& m_sync;
    PemmoStore& m_store;
    const Clock m_clock;

    QList<MomentCandidate> m_pending;
    CalendarAccess m_access = CalendarAccess::NotDetermined;
    QList<ObservedCalendar> m_calendars;
    std::optional<QString> m_error;
    bool m_isRefreshing = false;
    bool m_isSaving = false;
    bool m_isConnecting = false;
    QHash<QString, QString> m_drafts;
    int m_excludedSeriesCount = 0;

    int m_generation = 0;
    bool m_refreshAgain = false;
    QSet<QString> m_committed;
};

} // namespace pemmo
