#include "Moments/MomentService.h"

#include "Calendar/CalendarRepository.h"
#include "Moments/MomentDiscovery.h"
#include "Moments/MomentError.h"
#include "Moments/MomentStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Profiles/RecordEdits.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QUuid>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcMoments, "com.dorvane.Pemmo.moments", QtInfoMsg)

QSet<QString> asSet(const QStringList& list) {
    return QSet<QString>(list.cbegin(), list.cend());
}

QString describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

} // namespace

MomentService::MomentService(CalendarRepository& repository, MomentStore& local, SettingsStore& settings,
                             ProfileSyncEngine& sync, PemmoStore& store, Clock clock, QObject* parent)
    : QObject(parent)
    , m_repository(repository)
    , m_local(local)
    , m_settings(settings)
    , m_sync(sync)
    , m_store(store)
    , m_clock(std::move(clock)) {}

MomentService::~MomentService() = default;

QCoro::Task<bool> MomentService::refreshAccess() {
    const QPointer<MomentService> self(this);
    const int generation = m_generation;
    CalendarRepository& repository = m_repository;
    CalendarAccess access = CalendarAccess::NotDetermined;
    try {
        auto asking = repository.authorization();
        access = co_await asking;
    } catch (...) {
        // A folder that does not answer in time says nothing about permission: the access
        // and what is shown stay as they were, and the next refresh asks again.
        const QString why = describe(std::current_exception());
        if (!self || generation != m_generation)
            co_return false;
        qCCritical(lcMoments, "Could not check the calendar access: %s", qUtf8Printable(why));
        setError(calendarUnavailableMessage());
        co_return false;
    }
    if (!self || generation != m_generation)
        co_return false;
    setAccess(access);

    if (access == CalendarAccess::FullAccess && m_settings.calendarConnected()) {
        try {
            auto listing = repository.calendars();
            QList<ObservedCalendar> calendars = co_await listing;
            if (!self || generation != m_generation)
                co_return false;
            setCalendars(std::move(calendars));
            co_return true;
        } catch (...) {
            const QString why = describe(std::current_exception());
            if (!self || generation != m_generation)
                co_return false;
            qCCritical(lcMoments, "Could not list the calendars: %s", qUtf8Printable(why));
            setError(calendarUnavailableMessage());
            co_return false;
        }
    }
    if (access == CalendarAccess::FullAccess) {
        setCalendars({});
        co_return false;
    }
    setPending({});
    setCalendars({});
    if (!m_drafts.isEmpty()) {
        m_drafts.clear();
        Q_EMIT draftsChanged();
    }
    co_return false;
}

QCoro::Task<void> MomentService::connect() {
    if (m_isConnecting)
        co_return;
    const QPointer<MomentService> self(this);
    setConnecting(true);
    const int generation = m_generation;
    CalendarAccess access = CalendarAccess::NotDetermined;
    try {
        auto asking = m_repository.requestAccess();
        access = co_await asking;
    } catch (...) {
        const QString why = describe(std::current_exception());
        if (!self)
            co_return;
        qCCritical(lcMoments, "Could not connect the calendar: %s", qUtf8Printable(why));
        setError(connectFailedMessage());
        setConnecting(false);
        co_return;
    }
    if (!self)
        co_return;
    if (generation != m_generation) {
        setConnecting(false);
        co_return;
    }
    setAccess(access);
    if (access == CalendarAccess::FullAccess) {
        m_settings.setCalendarConnected(true);
        m_settings.setMomentsEnabled(true);
        auto listing = refreshAccess();
        co_await listing;
        if (!self)
            co_return;
        auto refreshing = refresh(m_clock());
        co_await refreshing;
        if (!self)
            co_return;
    }
    setConnecting(false);
}

void MomentService::disconnect(const QDateTime& now) {
    ++m_generation;
    m_settings.setCalendarConnected(false);
    m_settings.setMomentsEnabled(false);
    if (!m_settings.calendarIDs().isEmpty())
        m_settings.setCalendarIDs({});
    setCalendars({});
    m_settings.setCalendarSince(static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0);
    setPending({});
    if (!m_drafts.isEmpty()) {
        m_drafts.clear();
        Q_EMIT draftsChanged();
    }
    setError(std::nullopt);
    m_committed.clear();
    try {
        m_local.reset();
        setExcludedSeriesCount(0);
    } catch (const std::exception& error) {
        qCCritical(lcMoments, "Could not remove the Moments file: %s", error.what());
    }
}

QCoro::Task<void> MomentService::refresh(QDateTime now) {
    if (m_isRefreshing) {
        m_refreshAgain = true;
        co_return;
    }
    const QPointer<MomentService> self(this);
    setRefreshing(true);
    for (;;) {
        m_refreshAgain = false;
        auto once = refreshOnce(now);
        co_await once;
        if (!self)
            co_return;
        if (!m_refreshAgain)
            break;
        now = m_clock();
    }
    setRefreshing(false);
    Q_EMIT refreshFinished();
}

QCoro::Task<void> MomentService::refreshOnce(QDateTime now) {
    const QPointer<MomentService> self(this);
    const int generation = m_generation;
    if (!expire(now)) {
        setError(refreshFailedMessage());
        co_return;
    }
    if (m_access != CalendarAccess::FullAccess || !m_settings.calendarConnected())
        co_return;

    const QSet<QString> calendarIDs = asSet(m_settings.calendarIDs());
    QList<CalendarEventSnapshot> events;
    try {
        auto reading = m_repository.events(now.addSecs(-lookBackSeconds), now, calendarIDs);
        events = co_await reading;
    } catch (...) {
        const QString why = describe(std::current_exception());
        if (!self || generation != m_generation)
            co_return;
        qCCritical(lcMoments, "Could not read the calendar: %s", qUtf8Printable(why));
        setError(refreshFailedMessage());
        co_return;
    }
    // Whatever changed meanwhile (a disconnect, Moments turned off, other calendars chosen) makes
    // this read stale; the change brings its own refresh.
    if (!self || generation != m_generation || !m_settings.momentsEnabled() ||
        asSet(m_settings.calendarIDs()) != calendarIDs)
        co_return;

    const double since = m_settings.calendarSince();
    const QDateTime sinceInstant =
        since != 0 ? QDateTime::fromMSecsSinceEpoch(qint64(since * 1000.0), Qt::UTC) : QDateTime();
    const QList<MomentCandidate> discovered =
        MomentDiscovery::candidates(events, m_sync.profiles(), now, sinceInstant, {},
                                    static_cast<double>(m_settings.momentDelayMinutes()) * 60.0);

    RecordMap records;
    try {
        auto reading = m_store.allRecords();
        records = co_await reading;
    } catch (...) {
        const QString why = describe(std::current_exception());
        if (!self || generation != m_generation)
            co_return;
        qCCritical(lcMoments, "Could not read the records: %s", qUtf8Printable(why));
        setError(refreshFailedMessage());
        co_return;
    }
    if (!self || generation != m_generation)
        co_return;
    QSet<QString> committed;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        for (const Interaction& entry : it.value()->interactions) {
            for (const QString& hash : entry.eventHashes())
                committed.insert(hash);
        }
    }
    m_committed = committed;

    try {
        m_local.reconcile(discovered, committed);
    } catch (const std::exception& error) {
        qCCritical(lcMoments, "Could not store the Moments: %s", error.what());
        setError(refreshFailedMessage());
        co_return;
    }
    setError(std::nullopt);
    publishPending(now);
    setExcludedSeriesCount(static_cast<int>(m_local.state().excludedSeries.size()));
}

bool MomentService::expire(const QDateTime& now) {
    try {
        m_local.update([&now](MomentStore::State& state) {
            QList<MomentCandidate> kept;
            for (const MomentCandidate& moment : std::as_const(state.pending)) {
                if (moment.expiresAt > now) {
                    kept.append(moment);
                    continue;
                }
                for (const QString& alias : moment.aliases)
                    state.suppressed.insert(alias, MomentStatus::Expired);
            }
            state.pending = std::move(kept);
        });
    } catch (const std::exception& error) {
        qCCritical(lcMoments, "Could not expire Moments: %s", error.what());
        return false;
    }
    publishPending(now);
    return true;
}

QCoro::Task<void> MomentService::save(MomentCandidate candidate, QString text, bool justLog) {
    if (m_isSaving)
        throw MomentError::busy();
    const QString memory = text.trimmed();
    if (memory.isEmpty() && !justLog)
        throw MomentError::empty();
    const bool stillPending =
        std::any_of(m_pending.cbegin(), m_pending.cend(),
                    [&candidate](const MomentCandidate& p) { return p.id == candidate.id; });
    if (!stillPending || !m_sync.profile(candidate.profileID))
        throw MomentError::unavailable();

    const QPointer<MomentService> self(this);
    setSaving(true);
    try {
        Interaction entry;
        entry.id = QUuid::createUuid();
        entry.kind = Interaction::Kind::Met;
        entry.date = candidate.endDate;
        entry.text = memory;
        entry.calendarEventHash = candidate.id;
        QStringList others = candidate.sortedAliases();
        others.removeAll(candidate.id);
        entry.calendarEventAliases = others;
        entry.source = Interaction::Source::user();
        auto committing = m_sync.commitRecord(candidate.profileID, [entry](PemmoRecord& record) {
            RecordEdits::addInteraction(record, entry);
        });
        co_await committing;
        if (!self)
            co_return;

        QSet<QString> hashes = candidate.aliases;
        m_local.update([&hashes](MomentStore::State& state) {
            QList<MomentCandidate> kept;
            for (const MomentCandidate& p : std::as_const(state.pending)) {
                if (p.aliases.intersects(hashes))
                    hashes.unite(p.aliases);
                else
                    kept.append(p);
            }
            for (const QString& hash : std::as_const(hashes))
                state.suppressed.insert(hash, MomentStatus::Saved);
            state.pending = std::move(kept);
        });
        m_committed.unite(hashes);
        publishPending(m_clock());
    } catch (...) {
        if (self)
            setSaving(false);
        throw;
    }
    setSaving(false);
}

void MomentService::dismiss(const MomentCandidate& candidate) {
    m_local.update([&candidate](MomentStore::State& state) {
        QSet<QString> hashes = candidate.aliases;
        QList<MomentCandidate> kept;
        for (const MomentCandidate& p : std::as_const(state.pending)) {
            if (p.id == candidate.id || p.aliases.intersects(candidate.aliases))
                hashes.unite(p.aliases);
            else
                kept.append(p);
        }
        for (const QString& hash : std::as_const(hashes))
            state.suppressed.insert(hash, MomentStatus::Dismissed);
        state.pending = std::move(kept);
    });
    publishPending(m_clock());
}

void MomentService::stopSuggesting(const MomentCandidate& candidate) {
    if (candidate.seriesAliases.isEmpty())
        return;
    m_local.update([&candidate](MomentStore::State& state) {
        state.excludedSeries.append(candidate.seriesAliases);
        QList<MomentCandidate> kept;
        for (const MomentCandidate& p : std::as_const(state.pending)) {
            if (!p.seriesAliases.intersects(candidate.seriesAliases))
                kept.append(p);
        }
        state.pending = std::move(kept);
    });
    publishPending(m_clock());
    setExcludedSeriesCount(static_cast<int>(m_local.state().excludedSeries.size()));
}

void MomentService::allowAllSeries() {
    m_local.clearExcludedSeries();
    setExcludedSeriesCount(0);
}

void MomentService::setDraft(const QString& momentID, const QString& text) {
    const bool pending = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                     [&momentID](const MomentCandidate& p) { return p.id == momentID; });
    if (!pending || m_drafts.value(momentID) == text)
        return;
    m_drafts.insert(momentID, text);
    Q_EMIT draftsChanged();
}

// What the screens show: the stored Moments still in time, of contacts that still exist. Without
// access to the calendar nothing is shown, whatever the file still holds.
void MomentService::publishPending(const QDateTime& now) {
    QList<MomentCandidate> shown;
    if (m_access != CalendarAccess::FullAccess || !m_settings.calendarConnected()) {
        setPending({});
        return;
    }
    for (const MomentCandidate& moment : m_local.state().pending) {
        if (moment.expiresAt > now && m_sync.profile(moment.profileID))
            shown.append(moment);
    }
    setPending(std::move(shown));
}

void MomentService::setPending(QList<MomentCandidate> pending) {
    if (pending == m_pending)
        return;
    m_pending = std::move(pending);
    Q_EMIT pendingChanged();
    dropDraftsNotPending();
}

// A draft lives as long as its Moment is offered.
void MomentService::dropDraftsNotPending() {
    if (m_drafts.isEmpty())
        return;
    QSet<QString> ids;
    for (const MomentCandidate& p : std::as_const(m_pending))
        ids.insert(p.id);
    bool dropped = false;
    for (auto it = m_drafts.begin(); it != m_drafts.end();) {
        if (ids.contains(it.key())) {
            ++it;
        } else {
            it = m_drafts.erase(it);
            dropped = true;
        }
    }
    if (dropped)
        Q_EMIT draftsChanged();
}

void MomentService::setAccess(CalendarAccess access) {
    if (access == m_access)
        return;
    m_access = access;
    Q_EMIT accessChanged();
}

void MomentService::setCalendars(QList<ObservedCalendar> calendars) {
    if (calendars == m_calendars)
        return;
    m_calendars = std::move(calendars);
    Q_EMIT calendarsChanged();
}

void MomentService::setError(std::optional<QString> error) {
    if (error == m_error)
        return;
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void MomentService::setRefreshing(bool value) {
    if (value == m_isRefreshing)
        return;
    m_isRefreshing = value;
    Q_EMIT isRefreshingChanged();
}

void MomentService::setSaving(bool value) {
    if (value == m_isSaving)
        return;
    m_isSaving = value;
    Q_EMIT isSavingChanged();
}

void MomentService::setConnecting(bool value) {
    if (value == m_isConnecting)
        return;
    m_isConnecting = value;
    Q_EMIT isConnectingChanged();
}

void MomentService::setExcludedSeriesCount(int count) {
    if (count == m_excludedSeriesCount)
        return;
    m_excludedSeriesCount = count;
    Q_EMIT excludedSeriesCountChanged();
}

QVariantList MomentService::pendingForView() const {
    QVariantList list;
    for (const MomentCandidate& p : m_pending) {
        list.append(QVariantMap{{QStringLiteral("id"), p.id},
                                {QStringLiteral("profileID"), p.profileID},
                                {QStringLiteral("eventTitle"), p.eventTitle},
                                {QStringLiteral("startDate"), p.startDate},
                                {QStringLiteral("endDate"), p.endDate},
                                {QStringLiteral("expiresAt"), p.expiresAt},
                                {QStringLiteral("recurring"), p.isRecurring()}});
    }
    return list;
}

QString MomentService::accessForView() const {
    return CalendarAccesses::rawValue(m_access);
}

QVariantList MomentService::calendarsForView() const {
    QVariantList list;
    for (const ObservedCalendar& c : m_calendars)
        list.append(QVariantMap{{QStringLiteral("id"), c.id}, {QStringLiteral("title"), c.title}});
    return list;
}

} // namespace pemmo
