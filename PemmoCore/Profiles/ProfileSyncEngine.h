// The one list of people everything else works from: contacts joined with Pemmo's records, kept
// fresh, sorted and published on the GUI thread; and the only way records change for user edits.
#pragma once

#include "Contacts/ContactRepository.h"
#include "Profiles/SyncState.h"
#include "Records/Profile.h"
#include "Records/WritableField.h"
#include "Support/AsyncMutex.h"
#include "Support/Clock.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pemmo {

class PemmoStore;
class PhotoStore;

class ProfileSyncEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<pemmo::Profile> profiles READ profiles NOTIFY profilesChanged)
    Q_PROPERTY(pemmo::SyncState state READ state NOTIFY stateChanged)
    Q_PROPERTY(QDateTime lastRefresh READ lastRefresh NOTIFY lastRefreshChanged)
    Q_PROPERTY(bool hasLoaded READ hasLoaded NOTIFY hasLoadedChanged)
    Q_PROPERTY(int publishCount READ publishCount NOTIFY publishCountChanged)
    Q_PROPERTY(int dataVersion READ dataVersion NOTIFY dataVersionChanged)
    Q_PROPERTY(int photoVersion READ photoVersion NOTIFY photoVersionChanged)
    Q_PROPERTY(pemmo::ContactsAuthorization authorization READ authorization NOTIFY authorizationChanged)
    Q_PROPERTY(QString readOnlyReason READ readOnlyReason NOTIFY readOnlyReasonChanged)

public:
    static constexpr std::chrono::milliseconds defaultPollInterval{300'000};
    static constexpr std::chrono::milliseconds defaultFetchTimeout{12'000};

    // Edits a copy of a record in place.
    using RecordChange = std::function<void(PemmoRecord&)>;

    // The repository and the stores are not owned and must outlive the engine.
    ProfileSyncEngine(ContactRepository& contacts, PemmoStore& store, PhotoStore& photos,
                      std::chrono::milliseconds pollInterval = defaultPollInterval,
                      std::chrono::milliseconds fetchTimeout = defaultFetchTimeout,
                      Clock clock = systemClock(), QObject* parent = nullptr);
    ~ProfileSyncEngine() override;

    // The status text shown for a failure.
    static QString errorMessage(std::exception_ptr error);
    static QString errorMessage(const std::exception& error);

    // Published state (GUI thread only).
    const QList<Profile>& profiles() const { return m_profiles; }
    const SyncState& state() const { return m_state; }
    // Time of the last successful publish; invalid before the first.
    QDateTime lastRefresh() const { return m_lastRefresh; }
    bool hasLoaded() const { return m_hasLoaded; }
    int publishCount() const { return m_publishCount; }
    int dataVersion() const { return m_dataVersion; }
    int photoVersion() const { return m_photoVersion; }
    ContactsAuthorization authorization() const { return m_authorization; }
    // Why no record can be changed (the store is read-only), in words for the user; empty while
    // records can be changed. Every edit meanwhile fails with PemmoError::storeReadOnly.
    QString readOnlyReason() const { return m_readOnlyReason; }
    // Why the last `start` could not read the records, in words for the user (the state's error
    // gives way to the refresh that follows); empty when it could.
    QString loadError() const { return m_loadError; }
    std::chrono::milliseconds pollInterval() const { return m_pollInterval; }
    std::chrono::milliseconds fetchTimeout() const { return m_fetchTimeout; }

    // The published profile with that id.
    std::optional<Profile> profile(const QString& id) const;

    // Loads the store, runs the first refresh, then follows the address book's change signals and
    // polls. A store that cannot be loaded shows as an error; the engine goes on with it empty.
    QCoro::Task<void> start();
    // Stops following change signals and polling.
    void stop();
    bool isRunning() const { return m_running; }
    // `start` was called: the store's load comes before any refresh's read of the records, so a
    // refresh asked for from now on sees them, whether or not a fetch has succeeded yet.
    bool hasStarted() const { return m_started; }

    // Asks for a refresh. Returns when the refresh it started (with any requested meanwhile) has
    // finished, or at once when one was already running: that one runs once more afterwards.
    QCoro::Task<void> refresh();
    // Returns once a refresh that began after this call has finished: one that was running already
    // fetched too early, so it runs once more.
    QCoro::Task<void> refreshAndWait();
    bool isRefreshing() const { return m_isRefreshing; }
    // While the store is read-only, loads it again (the user may have fixed what stood in the way),
    // then refreshes; otherwise only refreshes.
    QCoro::Task<void> retryStoreLoad();

    // The record mutation lock: first come, first served, held across the store write.
    QCoro::Task<void> acquireRecordMutation();
    void releaseRecordMutation();

    // The ordinary edit: applies `change` to the stored record (or a fresh one), stores it with a
    // debounced write and publishes it. A write that fails later shows in the store's
    // lastWriteError; an exception thrown by `change` itself stores nothing and is passed on.
    QCoro::Task<void> updateRecord(QString id, RecordChange change);
    // `updateRecord` for several people under one hold of the lock, published once: renaming or
    // deleting a circle that many people carry is one change of the list, and whoever follows it
    // never sees some of them moved and the others not. The first failure ends the batch and is
    // passed on; what was stored before it stays and is published.
    QCoro::Task<void> updateRecords(QStringList ids, RecordChange change);
    // The edit whose failure the user must see at once: applies `change` to the published
    // record and writes it through. Throws PemmoError::notFound when the contact is not
    // published, or the store's error (the store, the profile and dataVersion stay as they were).
    // A change that leaves the record as it was writes nothing.
    QCoro::Task<void> commitRecord(QString id, RecordChange change);

    // Everyday edits on top of `updateRecord`; an edit that changes nothing writes nothing.
    QCoro::Task<void> setField(QString id, WritableField field, std::optional<QString> value,
                               Interaction::Source source = Interaction::Source::user());
    QCoro::Task<void> addTag(QString id, QString tagID);
    QCoro::Task<void> removeTag(QString id, QString tagID);
    // Throws PemmoError::customLinkLimitReached at the sixth custom link.
    QCoro::Task<void> addLink(QString id, QuickLink link);
    QCoro::Task<void> updateLink(QString id, QuickLink link);
    QCoro::Task<void> removeLink(QString id, QUuid linkID);
    QCoro::Task<void> addInteraction(QString id, Interaction interaction);
    QCoro::Task<void> updateInteraction(QString id, Interaction interaction);
    QCoro::Task<void> removeInteraction(QString id, QUuid interactionID);
    QCoro::Task<void> appendAbout(QString id, QString text);
    QCoro::Task<void> setAbout(QString id, QString text);
    QCoro::Task<void> setAICloudOptOut(QString id, bool optOut);
    QCoro::Task<void> setBirthday(QString id, std::optional<DateComponents> birthday);
    QCoro::Task<void> setBriefing(QString id, std::optional<BriefingCache> briefing);

    // Replacement photos. Each change bumps photoVersion so that avatars reload; a failed change
    // throws the photo store's error and bumps nothing.
    QCoro::Task<std::optional<QByteArray>> replacementPhoto(QString id);
    QCoro::Task<void> setPhoto(QString id, QByteArray jpeg);
    QCoro::Task<void> resetPhoto(QString id);
    // Deletes the photos of people who are neither in the address book nor have a record (left
    // behind when a deletion could not remove them); nothing before the first fetch.
    QCoro::Task<void> pruneUnusedPhotos();
    // Deletes every replacement photo (erasing all of Pemmo's data).
    QCoro::Task<void> removeAllPhotos();

    // Deletes the contact from the address book, then everything Pemmo keeps about them.
    QCoro::Task<void> deleteContact(QString id);
    // Keeps the contact and forgets everything Pemmo keeps about them.
    QCoro::Task<void> removeData(QString id);
    // Adds a contact, stores `record` under its new id unless it is empty, and publishes it.
    // Returns the new id; when the address book refuses, nothing is stored.
    QCoro::Task<QString> createContact(ContactDraft draft, PemmoRecord record);
    QCoro::Task<void> updateContact(QString id, ContactDraft draft);

    // Records kept for people no longer in the address book (none before the first fetch).
    QCoro::Task<QStringList> orphanIDs();
    // Deletes those records, and their photos, in one step and returns their ids.
    QCoro::Task<QStringList> removeOrphanedData();

Q_SIGNALS:
    void profilesChanged();
    void stateChanged();
    void lastRefreshChanged();
    void hasLoadedChanged();
    void publishCountChanged();
    void dataVersionChanged();
    void photoVersionChanged();
    void authorizationChanged();
    void readOnlyReasonChanged();
    // A refresh run ended, with the runs coalesced into it.
    void refreshFinished();

private:
    enum class WriteMode { Always, OnlyIfChanged };

    // Suspends until the running refresh, with its coalesced repeats, has ended.
    struct RefreshWaiter {
        ProfileSyncEngine* engine;
        bool await_ready() const noexcept { return !engine->m_isRefreshing; }
        void await_suspend(std::coroutine_handle<> handle);
        void await_resume() const noexcept {}
    };

    QCoro::Task<void> refreshOnce();
    // The access state, then the people; `abandoned` is set once the time limit has won.
    QCoro::Task<QList<Shared<Person>>> readAddressBook(std::shared_ptr<bool> abandoned);
    QCoro::Task<void> mutateRecord(QString id, RecordChange change, WriteMode mode);
    QCoro::Task<void> mutateRecords(QStringList ids, RecordChange change, WriteMode mode);
    QCoro::Task<void> poll(int generation);
    void onContactsChanged();

    void publish(QList<Profile> profiles, QSet<QString> fetchedIDs);
    void replaceRecord(const QString& id, const PemmoRecord& record);
    void replaceRecords(const QHash<QString, PemmoRecord>& records);
    void bumpDataVersion();
    void bumpPhotoVersion();
    // Deletes every photo but those of `keeping`; avatars reload only when one went.
    QCoro::Task<void> keepOnlyPhotosOf(QSet<QString> keeping);
    void setProfiles(QList<Profile> profiles);
    void setState(SyncState state);
    void setAuthorization(ContactsAuthorization authorization);
    void setReadOnlyReason(std::optional<QString> reason);

    ContactRepository& m_contacts;
    PemmoStore& m_store;
    PhotoStore& m_photos;
    const std::chrono::milliseconds m_pollInterval;
    const std::chrono::milliseconds m_fetchTimeout;
    const Clock m_clock;

    QList<Profile> m_profiles;
    SyncState m_state;
    QDateTime m_lastRefresh;
    bool m_hasLoaded = false;
    int m_publishCount = 0;
    int m_dataVersion = 0;
    int m_photoVersion = 0;
    ContactsAuthorization m_authorization = ContactsAuthorization::NotDetermined;
    QString m_readOnlyReason;
    QString m_loadError;

    bool m_isRefreshing = false;
    bool m_pendingRefresh = false;
    std::vector<std::coroutine_handle<>> m_refreshWaiters;
    std::optional<QSet<QString>> m_lastFetchedIDs;

    // Shared so that a coroutine still holding it can release it after the engine is gone.
    std::shared_ptr<AsyncMutex> m_recordMutation;

    bool m_started = false;
    bool m_running = false;
    int m_generation = 0; // bumped by stop(), so that a late start or poll knows it is outdated
    QTimer m_pollTimer;
    QMetaObject::Connection m_changesConnection;
};

} // namespace pemmo
