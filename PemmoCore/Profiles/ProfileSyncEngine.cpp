#include "Profiles/ProfileSyncEngine.h"

#include "Profiles/ProfileOrder.h"
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Support/FileError.h"
#include "Support/Logging.h"
#include "Support/Race.h"

#include <QPointer>

namespace pemmo {

// Every coroutine below may outlive the engine (the store or the address book answers after the
// engine is gone), so each one checks `self` after every suspension before touching a member, and
// keeps what it needs afterwards (the store, the lock) in locals.

ProfileSyncEngine::ProfileSyncEngine(ContactRepository& contacts, PemmoStore& store, PhotoStore& photos,
                                     std::chrono::milliseconds pollInterval,
                                     std::chrono::milliseconds fetchTimeout, Clock clock, QObject* parent)
    : QObject(parent)
    , m_contacts(contacts)
    , m_store(store)
    , m_photos(photos)
    , m_pollInterval(pollInterval)
    , m_fetchTimeout(fetchTimeout)
    , m_clock(std::move(clock))
    , m_recordMutation(std::make_shared<AsyncMutex>()) {
    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { poll(m_generation); });
}

ProfileSyncEngine::~ProfileSyncEngine() {
    stop();
}

QString ProfileSyncEngine::errorMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return errorMessage(e);
    } catch (...) {
        return QStringLiteral("Something went wrong.");
    }
}

QString ProfileSyncEngine::errorMessage(const std::exception& error) {
    if (const auto* pemmoError = dynamic_cast<const PemmoError*>(&error)) {
        switch (pemmoError->errorCase()) {
        case PemmoError::Case::ContactsDenied:
            return QStringLiteral("Contacts access denied");
        case PemmoError::Case::ContactsRestricted:
            return QStringLiteral("Contacts access is restricted");
        case PemmoError::Case::TimedOut:
            return QStringLiteral("Contacts took too long to respond");
        default:
            return pemmoError->message();
        }
    }
    if (const auto* fileError = dynamic_cast<const FileError*>(&error))
        return fileError->description();
    return QString::fromUtf8(error.what());
}

std::optional<Profile> ProfileSyncEngine::profile(const QString& id) const {
    for (const Profile& p : m_profiles) {
        if (p.id() == id)
            return p;
    }
    return std::nullopt;
}

// MARK: Start and stop

QCoro::Task<void> ProfileSyncEngine::start() {
    stop();
    m_started = true;
    const int generation = m_generation;
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;

    std::exception_ptr loadError;
    try {
        co_await store.load();
    } catch (...) {
        loadError = std::current_exception();
    }
    if (!self)
        co_return;
    m_loadError = loadError ? errorMessage(loadError) : QString();
    if (loadError)
        setState(SyncState::error(m_loadError));
    auto asking = store.readOnlyReason();
    auto reason = co_await asking;
    if (!self)
        co_return;
    setReadOnlyReason(std::move(reason));

    co_await refresh();
    if (!self || generation != m_generation)
        co_return; // stopped or started again meanwhile

    m_running = true;
    m_changesConnection =
        connect(&m_contacts, &ContactRepository::changes, this, &ProfileSyncEngine::onContactsChanged);
    m_pollTimer.start(m_pollInterval);
}

void ProfileSyncEngine::stop() {
    ++m_generation;
    m_running = false;
    m_pollTimer.stop();
    disconnect(m_changesConnection);
}

void ProfileSyncEngine::onContactsChanged() {
    // Coalescing merges a burst of change signals into at most one more refresh.
    refresh();
}

QCoro::Task<void> ProfileSyncEngine::poll(int generation) {
    const QPointer<ProfileSyncEngine> self(this);
    co_await refresh();
    // The next period starts when this refresh is done, so a slow address book is not piled up.
    if (self && m_running && generation == m_generation)
        m_pollTimer.start(m_pollInterval);
}

QCoro::Task<void> ProfileSyncEngine::retryStoreLoad() {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;
    if (!m_readOnlyReason.isEmpty()) {
        // Under the mutation lock, so that no edit sees the records replaced beneath it.
        auto guard = co_await lock->scopedLock();
        if (!self)
            co_return;
        try {
            auto retrying = store.retryLoad();
            co_await retrying;
        } catch (const std::exception&) {
            // Still unreadable: the reason says so.
        }
        auto asking = store.readOnlyReason();
        auto reason = co_await asking;
        if (!self)
            co_return;
        setReadOnlyReason(std::move(reason));
    }
    auto refreshing = refresh();
    co_await refreshing;
}

// MARK: Refresh

QCoro::Task<void> ProfileSyncEngine::refresh() {
    if (m_isRefreshing) {
        m_pendingRefresh = true;
        co_return;
    }
    m_isRefreshing = true;
    const QPointer<ProfileSyncEngine> self(this);
    do {
        m_pendingRefresh = false;
        co_await refreshOnce();
        if (!self)
            co_return;
    } while (m_pendingRefresh);
    m_isRefreshing = false;
    Q_EMIT refreshFinished();
    for (const std::coroutine_handle<> waiter : std::exchange(m_refreshWaiters, {}))
        waiter.resume();
}

QCoro::Task<void> ProfileSyncEngine::refreshAndWait() {
    if (!m_isRefreshing) {
        co_await refresh();
        co_return;
    }
    // The running refresh fetched before our change: make it run once more and wait for that.
    m_pendingRefresh = true;
    co_await RefreshWaiter{this};
}

void ProfileSyncEngine::RefreshWaiter::await_suspend(std::coroutine_handle<> handle) {
    engine->m_refreshWaiters.push_back(handle);
}

QCoro::Task<void> ProfileSyncEngine::refreshOnce() {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;

    // Once something is published it stays on screen, so only the very first load shows loading.
    if (!m_hasLoaded)
        setState(SyncState::loading());

    QList<Shared<Person>> people;
    std::exception_ptr failure;
    const auto abandoned = std::make_shared<bool>(false);
    try {
        auto reading = raceWithTimeout(readAddressBook(abandoned), m_fetchTimeout, PemmoError::timedOut());
        people = co_await reading;
    } catch (...) {
        failure = std::current_exception();
        *abandoned = true;
    }
    if (!self)
        co_return;
    if (failure) {
        setState(SyncState::error(errorMessage(failure)));
        co_return;
    }

    // Reading the records and publishing them happens under the mutation lock: a mutation either
    // lands before the read or waits for the publish, so a refresh never shows an older record
    // than one a mutation has just published.
    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return;
    RecordMap records;
    try {
        records = co_await store.allRecords();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        setState(SyncState::error(errorMessage(failure)));
        co_return;
    }

    QHash<QString, Shared<PemmoRecord>> previous;
    for (const Profile& p : std::as_const(m_profiles))
        previous.insert(p.id(), p.record);

    // The profiles take the address book's and the store's bodies as they are: no copies.
    // People with no record yet share one fresh record: most of an address book never gets one.
    const Shared<PemmoRecord> fresh = PemmoRecord::fresh(m_clock());
    QList<Profile> joined;
    joined.reserve(people.size());
    QSet<QString> ids;
    ids.reserve(people.size());
    for (Shared<Person>& person : people) {
        ids.insert(person->id);
        Shared<PemmoRecord> record;
        if (const auto stored = records.constFind(person->id); stored != records.cend())
            record = *stored;
        else if (const auto shown = previous.constFind(person->id); shown != previous.cend())
            record = *shown; // still unstored: keep the fresh record already shown, stamp and all
        else
            record = fresh;
        joined.append(Profile{std::move(person), std::move(record)});
    }
    publish(ProfileOrder::sorted(std::move(joined)), std::move(ids));
}

QCoro::Task<QList<Shared<Person>>> ProfileSyncEngine::readAddressBook(std::shared_ptr<bool> abandoned) {
    const QPointer<ProfileSyncEngine> self(this);
    ContactRepository& contacts = m_contacts;
    // Asking for access belongs to onboarding; a refresh only reads the state. Reading it opens
    // every address-book folder, which a hung network mount can stall: it runs off the GUI thread
    // and counts against the same time limit as the fetch.
    auto checking = contacts.checkAuthorization();
    const ContactsAuthorization status = co_await std::move(checking);
    // The engine (and with it the repository) may be gone, or the time limit may have won: then
    // nobody waits for the people any more.
    if (!self)
        co_return QList<Shared<Person>>{};
    setAuthorization(status);
    if (*abandoned)
        co_return QList<Shared<Person>>{};
    auto fetching = contacts.fetchPeople();
    co_return co_await std::move(fetching);
}

void ProfileSyncEngine::publish(QList<Profile> profiles, QSet<QString> fetchedIDs) {
    setProfiles(std::move(profiles));
    m_lastFetchedIDs = std::move(fetchedIDs);
    const QDateTime now = m_clock();
    if (m_lastRefresh != now) {
        m_lastRefresh = now;
        Q_EMIT lastRefreshChanged();
    }
    if (!m_hasLoaded) {
        m_hasLoaded = true;
        Q_EMIT hasLoadedChanged();
    }
    ++m_publishCount;
    Q_EMIT publishCountChanged();
    setState(SyncState::idle());
}

// MARK: Record mutations

QCoro::Task<void> ProfileSyncEngine::acquireRecordMutation() {
    co_await m_recordMutation->lock();
}

void ProfileSyncEngine::releaseRecordMutation() {
    m_recordMutation->unlock();
}

QCoro::Task<void> ProfileSyncEngine::updateRecord(QString id, RecordChange change) {
    return mutateRecord(std::move(id), std::move(change), WriteMode::Always);
}

QCoro::Task<void> ProfileSyncEngine::updateRecords(QStringList ids, RecordChange change) {
    return mutateRecords(std::move(ids), std::move(change), WriteMode::Always);
}

QCoro::Task<void> ProfileSyncEngine::mutateRecord(QString id, RecordChange change, WriteMode mode) {
    return mutateRecords(QStringList{std::move(id)}, std::move(change), mode);
}

QCoro::Task<void> ProfileSyncEngine::mutateRecords(QStringList ids, RecordChange change, WriteMode mode) {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;

    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return;
    QHash<QString, PemmoRecord> saved;
    std::exception_ptr failure;
    for (const QString& id : std::as_const(ids)) {
        try {
            auto reading = store.record(id);
            const std::optional<PemmoRecord> stored = co_await reading;
            if (!self)
                co_return;
            PemmoRecord record = stored ? *stored : PemmoRecord::fresh(m_clock());
            const PemmoRecord before = record;
            change(record);
            if (mode == WriteMode::OnlyIfChanged && record == before)
                continue;
            auto putting = store.put(std::move(record), id);
            PemmoRecord put = co_await putting;
            if (!self)
                co_return;
            saved.insert(id, std::move(put));
        } catch (...) {
            failure = std::current_exception();
            break;
        }
    }
    // Published first: whoever follows dataVersion reads the new records, not the ones they replace.
    if (!saved.isEmpty()) {
        replaceRecords(saved);
        bumpDataVersion();
    }
    if (failure)
        std::rethrow_exception(failure);
}

QCoro::Task<void> ProfileSyncEngine::commitRecord(QString id, RecordChange change) {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;

    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return;
    const std::optional<Profile> published = profile(id);
    if (!published)
        throw PemmoError::notFound(id);
    PemmoRecord record = *published->record;
    change(record);
    if (published->record == record)
        co_return;
    co_await store.commit(record, id); // on failure the store has undone it; we have changed nothing
    const std::optional<PemmoRecord> committed = co_await store.record(id);
    if (!self)
        co_return;
    replaceRecord(id, committed.value_or(record));
    bumpDataVersion();
}

// The edits below hand back mutateRecord's task instead of awaiting it: g++ 12 destroys a lambda
// temporary that sits inside a co_await expression twice.

QCoro::Task<void> ProfileSyncEngine::setField(QString id, WritableField field, std::optional<QString> value,
                                              Interaction::Source source) {
    const Clock clock = m_clock;
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::setField(r, field, value, source, clock()); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::addTag(QString id, QString tagID) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::addTag(r, tagID); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::removeTag(QString id, QString tagID) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::removeTag(r, tagID); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::addLink(QString id, QuickLink link) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::addLink(r, link); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::updateLink(QString id, QuickLink link) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::updateLink(r, link); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::removeLink(QString id, QUuid linkID) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::removeLink(r, linkID); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::addInteraction(QString id, Interaction interaction) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::addInteraction(r, interaction); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::updateInteraction(QString id, Interaction interaction) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::updateInteraction(r, interaction); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::removeInteraction(QString id, QUuid interactionID) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::removeInteraction(r, interactionID); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::appendAbout(QString id, QString text) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::appendAbout(r, text); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::setAbout(QString id, QString text) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::setAbout(r, text); }, WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::setAICloudOptOut(QString id, bool optOut) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::setAICloudOptOut(r, optOut); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::setBirthday(QString id, std::optional<DateComponents> birthday) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::setBirthday(r, birthday); },
        WriteMode::OnlyIfChanged);
}

QCoro::Task<void> ProfileSyncEngine::setBriefing(QString id, std::optional<BriefingCache> briefing) {
    return mutateRecord(
        std::move(id), [=](PemmoRecord& r) { RecordEdits::setBriefing(r, briefing); },
        WriteMode::OnlyIfChanged);
}

// MARK: Photos

QCoro::Task<std::optional<QByteArray>> ProfileSyncEngine::replacementPhoto(QString id) {
    co_return co_await m_photos.photo(std::move(id));
}

QCoro::Task<void> ProfileSyncEngine::setPhoto(QString id, QByteArray jpeg) {
    const QPointer<ProfileSyncEngine> self(this);
    co_await m_photos.save(std::move(jpeg), std::move(id));
    if (self)
        bumpPhotoVersion();
}

QCoro::Task<void> ProfileSyncEngine::resetPhoto(QString id) {
    const QPointer<ProfileSyncEngine> self(this);
    co_await m_photos.removePhoto(std::move(id));
    if (self)
        bumpPhotoVersion();
}

QCoro::Task<void> ProfileSyncEngine::pruneUnusedPhotos() {
    if (!m_lastFetchedIDs)
        co_return;
    const QPointer<ProfileSyncEngine> self(this);
    QSet<QString> keeping = *m_lastFetchedIDs;
    try {
        const RecordMap records = co_await m_store.allRecords();
        // The photo store goes with the environment, just after this engine.
        if (!self)
            co_return;
        for (auto it = records.cbegin(); it != records.cend(); ++it)
            keeping.insert(it.key());
        auto pruning = keepOnlyPhotosOf(std::move(keeping));
        co_await pruning;
    } catch (const std::exception& error) {
        // Tidying up only: the photos wait for the next start.
        qCCritical(lcStore, "Could not prune unused photos: %s", error.what());
    }
}

QCoro::Task<void> ProfileSyncEngine::removeAllPhotos() {
    auto pruning = keepOnlyPhotosOf({});
    co_await pruning;
}

QCoro::Task<void> ProfileSyncEngine::keepOnlyPhotosOf(QSet<QString> keeping) {
    const QPointer<ProfileSyncEngine> self(this);
    auto pruning = m_photos.prune(std::move(keeping));
    const int deleted = co_await pruning;
    // Nearly every start has nothing to prune.
    if (self && deleted > 0)
        bumpPhotoVersion();
}

// MARK: Contacts

QCoro::Task<void> ProfileSyncEngine::deleteContact(QString id) {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    PhotoStore& photos = m_photos;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;
    // Refused before the address book is touched: half a deletion would leave the record behind.
    if (!m_readOnlyReason.isEmpty())
        throw PemmoError::storeReadOnly(m_readOnlyReason);

    co_await m_contacts.deleteContact(id);
    if (!self)
        co_return;
    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return;
    co_await store.remove(id);
    if (!self)
        co_return;
    try {
        co_await photos.removePhoto(id);
    } catch (const std::exception&) {
        // A photo left behind costs nothing; the next prune takes it.
    }
    if (!self)
        co_return;
    QList<Profile> remaining = m_profiles;
    remaining.removeIf([&id](const Profile& p) { return p.id() == id; });
    setProfiles(std::move(remaining));
    if (m_lastFetchedIDs)
        m_lastFetchedIDs->remove(id);
    bumpDataVersion();
    // A refresh that fetched before the deletion would bring the person back for a while.
    if (m_isRefreshing)
        m_pendingRefresh = true;
}

QCoro::Task<void> ProfileSyncEngine::removeData(QString id) {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    PhotoStore& photos = m_photos;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;

    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return;
    co_await store.remove(id);
    if (!self)
        co_return;
    try {
        co_await photos.removePhoto(id);
    } catch (const std::exception&) {
        // The record is gone either way; a stale photo is pruned later.
    }
    if (!self)
        co_return;
    replaceRecord(id, PemmoRecord::fresh(m_clock()));
    bumpDataVersion();
    bumpPhotoVersion();
}

QCoro::Task<QString> ProfileSyncEngine::createContact(ContactDraft draft, PemmoRecord record) {
    const QPointer<ProfileSyncEngine> self(this);
    PemmoStore& store = m_store;
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;
    if (!record.isEmpty() && !m_readOnlyReason.isEmpty())
        throw PemmoError::storeReadOnly(m_readOnlyReason);

    const QString id = co_await m_contacts.create(std::move(draft));
    if (!self)
        co_return id;
    if (!record.isEmpty()) {
        auto guard = co_await lock->scopedLock();
        co_await store.put(std::move(record), id);
    }
    if (!self)
        co_return id;
    co_await refreshAndWait();
    if (self)
        bumpDataVersion();
    co_return id;
}

QCoro::Task<void> ProfileSyncEngine::updateContact(QString id, ContactDraft draft) {
    const QPointer<ProfileSyncEngine> self(this);
    co_await m_contacts.update(std::move(id), std::move(draft));
    if (!self)
        co_return;
    co_await refreshAndWait();
    if (self)
        bumpDataVersion();
}

// MARK: Orphans

QCoro::Task<QStringList> ProfileSyncEngine::orphanIDs() {
    if (!m_lastFetchedIDs)
        co_return QStringList{};
    const QSet<QString> fetched = *m_lastFetchedIDs;
    const RecordMap records = co_await m_store.allRecords();
    QStringList orphans;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        if (!fetched.contains(it.key()))
            orphans.append(it.key());
    }
    orphans.sort();
    co_return orphans;
}

QCoro::Task<QStringList> ProfileSyncEngine::removeOrphanedData() {
    // Before the first fetch every record would look orphaned.
    if (!m_lastFetchedIDs)
        co_return QStringList{};
    const QPointer<ProfileSyncEngine> self(this);
    const std::shared_ptr<AsyncMutex> lock = m_recordMutation;
    PemmoStore& store = m_store;
    auto guard = co_await lock->scopedLock();
    if (!self)
        co_return QStringList{};
    QSet<QString> keep;
    for (const Profile& p : std::as_const(m_profiles))
        keep.insert(p.id());
    QStringList removed = co_await store.removeAll(keep);
    if (!self)
        co_return removed;
    // Their photos go too: only the people in the book keep theirs, as they keep their records.
    if (!removed.isEmpty()) {
        auto pruning = keepOnlyPhotosOf(std::move(keep));
        co_await pruning;
    }
    removed.sort();
    co_return removed;
}

// MARK: Published state

void ProfileSyncEngine::replaceRecord(const QString& id, const PemmoRecord& record) {
    for (qsizetype i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles[i].id() != id)
            continue;
        if (m_profiles[i].record == record)
            return;
        m_profiles[i].record = record;
        Q_EMIT profilesChanged();
        return;
    }
}

void ProfileSyncEngine::replaceRecords(const QHash<QString, PemmoRecord>& records) {
    bool changed = false;
    for (Profile& profile : m_profiles) {
        const auto record = records.constFind(profile.id());
        if (record == records.cend() || profile.record == *record)
            continue;
        profile.record = *record;
        changed = true;
    }
    if (changed)
        Q_EMIT profilesChanged();
}

void ProfileSyncEngine::bumpDataVersion() {
    ++m_dataVersion;
    Q_EMIT dataVersionChanged();
}

void ProfileSyncEngine::bumpPhotoVersion() {
    ++m_photoVersion;
    Q_EMIT photoVersionChanged();
}

void ProfileSyncEngine::setProfiles(QList<Profile> profiles) {
    const bool changed = profiles != m_profiles;
    // Taken even when equal: the new list holds the bodies the address book and the store hold
    // now, while the old one may hold bodies they have since let go of (a file read again).
    m_profiles = std::move(profiles);
    if (changed)
        Q_EMIT profilesChanged();
}

void ProfileSyncEngine::setState(SyncState state) {
    if (state == m_state)
        return;
    m_state = std::move(state);
    Q_EMIT stateChanged();
}

void ProfileSyncEngine::setReadOnlyReason(std::optional<QString> reason) {
    QString text = reason.value_or(QString());
    if (text == m_readOnlyReason)
        return;
    m_readOnlyReason = std::move(text);
    Q_EMIT readOnlyReasonChanged();
}

void ProfileSyncEngine::setAuthorization(ContactsAuthorization authorization) {
    if (authorization == m_authorization)
        return;
    m_authorization = authorization;
    Q_EMIT authorizationChanged();
}

} // namespace pemmo
