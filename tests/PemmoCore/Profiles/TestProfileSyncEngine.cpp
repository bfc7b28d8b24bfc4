#include "Contacts/InMemoryContactRepository.h"
#include "Contacts/VCardBook.h"
#include "Contacts/VCardFolderRepository.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Store/StoreFile.h"
#include "Support/FileError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/FailingFileOperations.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <stdexcept>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(pemmo::ContactsAuthorization)
Q_DECLARE_METATYPE(std::exception_ptr)

namespace pemmo {
namespace {

using pemmo::test::person;

const QDateTime kStart = QDateTime(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);
const Person kAda = person(u"1"_qs, u"Ada"_qs, u"Lovelace"_qs);
const Person kGrace = person(u"2"_qs, u"Grace"_qs, u"Hopper"_qs);

using pemmo::test::ids;

// The in-memory book, counting fetches that ran to their end and able to refuse new contacts.
class TestBook : public InMemoryContactRepository {
public:
    using InMemoryContactRepository::InMemoryContactRepository;

    int finishedFetches = 0;
    bool refuseCreate = false;
    QList<Shared<Person>> lastFetched;

    QCoro::Task<QList<Shared<Person>>> fetchPeople() override {
        QList<Shared<Person>> people;
        std::exception_ptr error;
        try {
            people = co_await InMemoryContactRepository::fetchPeople();
        } catch (...) {
            error = std::current_exception();
        }
        ++finishedFetches;
        if (error)
            std::rethrow_exception(error);
        lastFetched = people;
        co_return people;
    }

    QCoro::Task<QString> create(ContactDraft draft) override {
        if (refuseCreate)
            throw PemmoError::contactsDenied();
        co_return co_await InMemoryContactRepository::create(std::move(draft));
    }
};

struct Options {
    ContactsAuthorization status = ContactsAuthorization::Authorized;
    std::optional<std::chrono::milliseconds> fetchDelay;
    std::chrono::milliseconds pollInterval = 1h;
    std::chrono::milliseconds fetchTimeout = 5s;
};

// A whole engine over a real store in a temporary folder, with a clock the test moves.
class Harness {
public:
    explicit Harness(QList<Person> people, Options options = {})
        : contacts(std::move(people), options.status, options.fetchDelay)
        , store(dir.filePath(u"data"_qs), 5ms, clock())
        , photos(dir.filePath(u"data/Photos"_qs))
        , engine(contacts, store, photos, options.pollInterval, options.fetchTimeout, clock()) {}

    Clock clock() {
        return [this] { return now; };
    }

    // Puts a store file in place before the engine starts.
    void seed(const RecordMap& records) {
        QDir().mkpath(dir.filePath(u"data"_qs));
        const std::string bytes = StoreFile::encode(records);
        dir.write(u"data/pemmo-store.json"_qs, QByteArray(bytes.data(), qsizetype(bytes.size())));
    }

    // Makes every later store write fail: the data folder becomes a plain file.
    void breakStoreFolder() {
        QDir(dir.filePath(u"data"_qs)).removeRecursively();
        dir.write(u"data"_qs, "not a folder");
    }

    test::TempDir dir;
    QDateTime now = kStart;
    TestBook contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine engine;
};

// A harness whose engine has started over a store holding `records`.
struct Started : Harness {
    explicit Started(QList<Person> people, const RecordMap& records = {}, Options options = {})
        : Harness(std::move(people), options) {
        if (!records.isEmpty())
            seed(records);
        test::await(engine.start());
    }
};

PemmoRecord taggedRecord(const QString& tag, const QDateTime& when) {
    PemmoRecord record = PemmoRecord::fresh(when);
    record.tags = {tag};
    return record;
}

} // namespace

class TestProfileSyncEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Profiles hold the book's people and the store's records themselves, not copies; someone
    // without a stored record keeps the fresh record first shown, shared with all who have none.
    void startPublishesTheSortedJoin() {
        Harness h({person("b", "Anna", "10"), person("c", "anna", "9"), person("a", "Anna", "9")});
        h.seed({{u"c"_qs, taggedRecord(u"friends"_qs, h.now.addDays(-3))}});
        QList<SyncState> states;
        connect(&h.engine, &ProfileSyncEngine::stateChanged, this, [&] { states.append(h.engine.state()); });
        const QDateTime started = h.now;

        test::await(h.engine.start());

        QCOMPARE(ids(h.engine.profiles()), (QStringList{"a", "c", "b"}));
        QCOMPARE(h.engine.profile(u"c"_qs)->record->tags, QStringList{u"friends"_qs});
        QVERIFY(h.engine.hasLoaded());
        QCOMPARE(h.engine.publishCount(), 1);
        QCOMPARE(h.engine.lastRefresh(), h.now);
        QCOMPARE(h.engine.authorization(), ContactsAuthorization::Authorized);
        QCOMPARE(states, (QList<SyncState>{SyncState::loading(), SyncState::idle()}));
        QVERIFY(h.engine.isRunning());
        for (int refresh = 0; refresh < 2; ++refresh) {
            const RecordMap stored = test::await(h.store.allRecords());
            for (const Shared<Person>& fetched : std::as_const(h.contacts.lastFetched)) {
                const std::optional<Profile> profile = h.engine.profile(fetched->id);
                QVERIFY(profile && profile->person.sharesBodyWith(fetched));
            }
            QVERIFY(h.engine.profile(u"c"_qs)->record.sharesBodyWith(stored.value(u"c"_qs)));
            QCOMPARE(h.engine.profile(u"a"_qs)->record, PemmoRecord::fresh(started));
            QVERIFY(h.engine.profile(u"a"_qs)->record.sharesBodyWith(h.engine.profile(u"b"_qs)->record));
            h.now = h.now.addSecs(60);
            test::await(h.engine.refresh());
        }
    }

    // Refreshes asked for, or change signals from the book, while one runs become one more.
    void refreshRequestsWhileOneRunsCoalesceIntoOneMore() {
        Started h({kAda}, {}, {.fetchDelay = 20ms});
        h.contacts.setPeople({kAda, kGrace});
        h.contacts.emitChange();
        QVERIFY(h.engine.isRefreshing());
        QVERIFY(h.engine.refresh().isReady()); // only marked; returns at once
        for (int i = 0; i < 3; ++i)
            h.contacts.emitChange();
        QTRY_VERIFY(!h.engine.isRefreshing());
        QCOMPARE(h.contacts.fetchCount(), 3); // the start's, the first signal's and one more
        QCOMPARE(h.engine.publishCount(), 3);
        QCOMPARE(h.engine.profiles().size(), 2);

        h.engine.stop();
        h.contacts.emitChange();
        QVERIFY(!h.engine.isRefreshing());
        QCOMPARE(h.contacts.fetchCount(), 3);
    }

    void slowFetchTimesOutAndKeepsTheProfiles() {
        Harness h({kAda, kGrace}, {.fetchTimeout = 100ms});
        test::await(h.engine.refresh());
        const QList<Profile> before = h.engine.profiles();
        QCOMPARE(before.size(), 2);

        h.contacts.setPeople({kAda});
        h.contacts.setFetchDelay(400ms);
        QSignalSpy profilesSpy(&h.engine, &ProfileSyncEngine::profilesChanged);
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.state(), SyncState::error(u"Contacts took too long to respond"_qs));
        QCOMPARE(h.engine.profiles(), before);
        QCOMPARE(profilesSpy.count(), 0);
        QCOMPARE(h.engine.publishCount(), 1);
        QVERIFY(h.contacts.finishedFetches < 2); // the engine did not wait for the slow fetch

        h.contacts.setFetchDelay(std::nullopt);
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.state(), SyncState::idle());
        QCOMPARE(ids(h.engine.profiles()), QStringList{u"1"_qs});
        // The abandoned fetch still ends on its own; nothing it returns is used.
        QTRY_COMPARE(h.contacts.finishedFetches, 3);
        QCOMPARE(ids(h.engine.profiles()), QStringList{u"1"_qs});
    }

    // Reading the access state opens every address-book folder. A folder on a network mount that
    // stops answering must give the time-out message while the GUI thread goes on turning.
    void aHungFolderCheckTimesOutWithoutBlockingTheGUIThread() {
        test::TempDir dir;
        QDir().mkpath(dir.filePath(u"book"_qs));
        dir.write(u"book/ada.vcf"_qs, test::vcard("ada", "Ada", "Lovelace"));
        QSemaphore answer;
        std::atomic<bool> checking = false;
        std::atomic<QThread*> checkedOn = nullptr;
        VCardFolderRepository book({dir.filePath(u"book"_qs)}, QString(), 10s, 50ms, nullptr, QString(),
                                   [&](const QString& folder) {
                                       checkedOn = QThread::currentThread();
                                       checking = true;
                                       answer.tryAcquire(1, 5000); // the mount does not answer
                                       checking = false;
                                       return VCardBook::canRead(folder);
                                   });
        PemmoStore store(dir.filePath(u"data"_qs), 5ms);
        PhotoStore photos(dir.filePath(u"data/Photos"_qs));
        ProfileSyncEngine engine(book, store, photos, 1h, 300ms);

        int ticksWhileChecking = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ticksWhileChecking += checking ? 1 : 0; });
        ticker.start(10ms);
        test::await(engine.start());

        QCOMPARE(engine.state(), SyncState::error(u"Contacts took too long to respond"_qs));
        QVERIFY(checking);
        QVERIFY(checkedOn.load() != QThread::currentThread());
        QVERIFY2(ticksWhileChecking >= 3, qPrintable(QString::number(ticksWhileChecking)));

        // Once the mount answers, the next refresh reads the book.
        answer.release(100);
        test::await(engine.refresh());
        QCOMPARE(engine.state(), SyncState::idle());
        QCOMPARE(ids(engine.profiles()), QStringList{u"ada"_qs});
        QCOMPARE(engine.authorization(), ContactsAuthorization::Authorized);
        engine.stop();
    }

    void refusedAccessShowsItsStatusText_data() {
        QTest::addColumn<ContactsAuthorization>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("denied") << ContactsAuthorization::Denied << u"Contacts access denied"_qs;
        QTest::newRow("restricted") << ContactsAuthorization::Restricted
                                    << u"Contacts access is restricted"_qs;
    }

    void refusedAccessShowsItsStatusText() {
        QFETCH(ContactsAuthorization, status);
        QFETCH(QString, text);
        Started h({kAda}, {}, {.status = status});
        QCOMPARE(h.engine.state(), SyncState::error(text));
        QCOMPARE(h.engine.authorization(), status);
        QVERIFY(h.engine.profiles().isEmpty());
        QVERIFY(!h.engine.hasLoaded());

        // Once access is given, the next refresh publishes.
        h.contacts.setStatus(ContactsAuthorization::Authorized);
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.state(), SyncState::idle());
        QCOMPARE(h.engine.authorization(), ContactsAuthorization::Authorized);
        QCOMPARE(h.engine.profiles().size(), 1);
    }

    void errorMessages_data() {
        QTest::addColumn<std::exception_ptr>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("core error") << std::make_exception_ptr(PemmoError::notFound(u"7"_qs))
                                    << u"That contact no longer exists."_qs;
        QTest::newRow("network") << std::make_exception_ptr(PemmoError::network(503, u"Try later"_qs))
                                 << u"Try later"_qs;
        QTest::newRow("file") << std::make_exception_ptr(FileError(u"Disk full"_qs)) << u"Disk full"_qs;
        QTest::newRow("platform") << std::make_exception_ptr(std::runtime_error("Broken pipe"))
                                  << u"Broken pipe"_qs;
    }

    void errorMessages() {
        QFETCH(std::exception_ptr, error);
        QFETCH(QString, text);
        QCOMPARE(ProfileSyncEngine::errorMessage(error), text);
    }

    void storeThatCannotLoadShowsAnErrorAndTheRefreshStillRuns() {
        Harness h({kAda});
        h.dir.write(u"data"_qs, "a file where the data folder belongs");
        QList<SyncState> states;
        connect(&h.engine, &ProfileSyncEngine::stateChanged, this, [&] { states.append(h.engine.state()); });
        test::await(h.engine.start());
        QVERIFY(!states.isEmpty());
        QVERIFY(states.first().isError());
        QVERIFY(!states.first().message.isEmpty());
        QCOMPARE(h.engine.profiles().size(), 1);
        QVERIFY(h.engine.hasLoaded());
    }

    void recordsOfPeopleWhoLeaveAreKept() {
        Harness h({kAda, kGrace});
        h.seed({{u"1"_qs, taggedRecord(u"a"_qs, h.now)},
                {u"2"_qs, taggedRecord(u"g"_qs, h.now)},
                {u"9"_qs, taggedRecord(u"gone"_qs, h.now)}});
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList()); // nothing fetched yet
        test::await(h.engine.start());
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList{u"9"_qs});

        h.contacts.setPeople({kAda});
        test::await(h.engine.refresh());
        QCOMPARE(ids(h.engine.profiles()), QStringList{u"1"_qs});
        QCOMPARE(test::await(h.engine.orphanIDs()), (QStringList{"2", "9"}));
        QVERIFY(test::await(h.store.record(u"2"_qs)).has_value());

        // Back with the same id: joined with the kept record again.
        h.contacts.setPeople({kAda, kGrace});
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.profile(u"2"_qs)->record->tags, QStringList{u"g"_qs});

        test::await(h.engine.setPhoto(u"9"_qs, QByteArray("jpeg")));
        test::await(h.engine.setPhoto(u"2"_qs, QByteArray("jpeg")));
        QCOMPARE(test::await(h.engine.removeOrphanedData()), QStringList{u"9"_qs});
        QVERIFY(!test::await(h.store.record(u"9"_qs)).has_value());
        QCOMPARE(test::await(h.engine.replacementPhoto(u"9"_qs)), std::nullopt);
        QVERIFY(test::await(h.store.record(u"2"_qs)).has_value());
        QVERIFY(test::await(h.engine.replacementPhoto(u"2"_qs)));
    }

    // A photo whose person left both the book and the records goes; the others stay, among them
    // one of a person in the book who has no record.
    void unusedPhotosArePrunedAndAllCanBeRemoved() {
        Started h({kAda, kGrace},
                  {{u"1"_qs, taggedRecord(u"a"_qs, kStart)}, {u"9"_qs, taggedRecord(u"x"_qs, kStart)}});
        for (const QString& id : {u"1"_qs, u"2"_qs, u"9"_qs, u"gone"_qs})
            test::await(h.engine.setPhoto(id, QByteArray("jpeg")));
        test::await(h.engine.pruneUnusedPhotos());
        for (const QString& id : {u"1"_qs, u"2"_qs, u"9"_qs})
            QVERIFY2(test::await(h.engine.replacementPhoto(id)), qPrintable(id));
        QCOMPARE(test::await(h.engine.replacementPhoto(u"gone"_qs)), std::nullopt);

        test::await(h.engine.removeAllPhotos());
        for (const QString& id : {u"1"_qs, u"2"_qs, u"9"_qs})
            QCOMPARE(test::await(h.engine.replacementPhoto(id)), std::nullopt);
    }

    // Updates wait for the record lock, then take effect in call order: without the lock both
    // would start from the same (missing) record.
    void updatesWaitForTheLockAndTakeEffectInCallOrder() {
        Started h({kAda});
        test::await(h.engine.acquireRecordMutation());
        auto first = h.engine.updateRecord(u"1"_qs, [](PemmoRecord& r) { r.tags.append("first"); });
        auto second = h.engine.updateRecord(u"1"_qs, [](PemmoRecord& r) { r.tags.append("second"); });
        QTest::qWait(20); // nothing may happen while the lock is held
        QVERIFY(!first.isReady());
        QVERIFY(h.engine.profile(u"1"_qs)->record->tags.isEmpty());
        h.engine.releaseRecordMutation();
        test::await(std::move(second));
        test::await(std::move(first));
        const QStringList expected{"first", "second"};
        QCOMPARE(h.engine.profile(u"1"_qs)->record->tags, expected);
        QCOMPARE(test::await(h.store.record(u"1"_qs))->tags, expected);
        QCOMPARE(h.engine.dataVersion(), 2);
    }

    // An update is written after a pause, a commit at once; both stamp the record and publish it.
    void editsStampAndPublish_data() {
        QTest::addColumn<bool>("commit");
        QTest::newRow("update") << false;
        QTest::newRow("commit") << true;
    }

    void editsStampAndPublish() {
        QFETCH(bool, commit);
        Started h({kAda, kGrace});
        QSignalSpy dataSpy(&h.engine, &ProfileSyncEngine::dataVersionChanged);
        h.now = h.now.addSecs(90);
        const auto edit = [](PemmoRecord& r) { r.about = "Navy"; };
        test::await(commit ? h.engine.commitRecord(u"2"_qs, edit) : h.engine.updateRecord(u"2"_qs, edit));
        if (commit)
            QCOMPARE(test::await(h.store.writeCount()), 1); // at once, not debounced
        const Profile grace = *h.engine.profile(u"2"_qs);
        QCOMPARE(grace.record->about, u"Navy"_qs);
        QCOMPARE(grace.record->updatedAt, h.now);
        QCOMPARE(ids(h.engine.profiles()), (QStringList{"1", "2"})); // order kept
        QCOMPARE(dataSpy.count(), 1);
        QCOMPARE(h.engine.dataVersion(), 1);
        QTRY_COMPARE(test::await(h.store.writeCount()), 1);
    }

    // A screen that reads the profile when dataVersion moves must find the new record there.
    void dataVersionMovesOnlyOnceTheRecordIsPublished() {
        Started h({kAda});
        QStringList seen;
        connect(&h.engine, &ProfileSyncEngine::dataVersionChanged, this,
                [&] { seen.append(h.engine.profile(u"1"_qs)->record->about); });
        test::await(h.engine.updateRecord(u"1"_qs, [](PemmoRecord& r) { r.about = "Poet"; }));
        test::await(h.engine.setAbout(u"1"_qs, u"Analyst"_qs));
        test::await(h.engine.commitRecord(u"1"_qs, [](PemmoRecord& r) { r.about = "Countess"; }));
        QCOMPARE(seen, (QStringList{"Poet", "Analyst", "Countess"}));
    }

    void commitForSomeoneNotPublishedFails() {
        Started h({kAda});
        const auto error = test::awaitErrorOf<PemmoError>(
            h.engine.commitRecord(u"9"_qs, [](PemmoRecord& r) { r.tags.append("x"); }));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::notFound(u"9"_qs));
        QCOMPARE(test::await(h.store.writeCount()), 0);
        QVERIFY(!test::await(h.store.record(u"9"_qs)).has_value());
        // The lock was released on the way out.
        test::await(h.engine.updateRecord(u"1"_qs, [](PemmoRecord& r) { r.tags.append("y"); }));
    }

    void failedCommitChangesNothing() {
        Started h({kAda}, {{u"1"_qs, taggedRecord(u"a"_qs, kStart)}});
        const Profile before = *h.engine.profile(u"1"_qs);
        h.breakStoreFolder();
        const auto error = test::awaitErrorOf<FileError>(
            h.engine.commitRecord(u"1"_qs, [](PemmoRecord& r) { r.tags.append("b"); }));
        QVERIFY(error.has_value());
        QCOMPARE(*h.engine.profile(u"1"_qs), before);
        QCOMPARE(h.engine.dataVersion(), 0);
        QCOMPARE(test::await(h.store.record(u"1"_qs))->tags, QStringList{u"a"_qs});
    }

    void pollRefreshesUntilStopped() {
        Started h({kAda}, {}, {.pollInterval = 15ms});
        QCOMPARE(h.contacts.fetchCount(), 1);
        QTRY_VERIFY(h.contacts.fetchCount() >= 3);
        h.engine.stop();
        QTRY_VERIFY(!h.engine.isRefreshing());
        const int stopped = h.contacts.fetchCount();
        QTest::qWait(100); // several poll periods
        QCOMPARE(h.contacts.fetchCount(), stopped);
    }

    void equalRefreshEmitsOnlyWhatChanged() {
        Started h({kAda, kGrace});
        QSignalSpy profilesSpy(&h.engine, &ProfileSyncEngine::profilesChanged);
        QSignalSpy stateSpy(&h.engine, &ProfileSyncEngine::stateChanged);
        QSignalSpy loadedSpy(&h.engine, &ProfileSyncEngine::hasLoadedChanged);
        QSignalSpy publishSpy(&h.engine, &ProfileSyncEngine::publishCountChanged);
        QSignalSpy refreshSpy(&h.engine, &ProfileSyncEngine::lastRefreshChanged);
        h.now = h.now.addSecs(60);
        test::await(h.engine.refresh());
        QCOMPARE(profilesSpy.count(), 0); // fresh records already shown keep their stamp
        QCOMPARE(stateSpy.count(), 0);
        QCOMPARE(loadedSpy.count(), 0);
        QCOMPARE(publishSpy.count(), 1);
        QCOMPARE(refreshSpy.count(), 1);
    }

    void deleteContactForgetsEverything() {
        Started h({kAda, kGrace}, {{u"1"_qs, taggedRecord(u"a"_qs, kStart)}});
        test::await(h.engine.setPhoto(u"1"_qs, QByteArray("jpeg")));
        const int version = h.engine.dataVersion();

        test::await(h.engine.deleteContact(u"1"_qs));
        QCOMPARE(ids(h.engine.profiles()), QStringList{u"2"_qs});
        QCOMPARE(h.contacts.people().size(), 1);
        QVERIFY(!test::await(h.store.record(u"1"_qs)).has_value());
        QCOMPARE(test::await(h.engine.replacementPhoto(u"1"_qs)), std::nullopt);
        QCOMPARE(h.engine.dataVersion(), version + 1);
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList());

        QCOMPARE(test::awaitErrorOf<PemmoError>(h.engine.deleteContact(u"1"_qs)),
                 std::optional(PemmoError::notFound(u"1"_qs)));
        QCOMPARE(h.engine.dataVersion(), version + 1);
    }

    void removeDataKeepsTheContact() {
        Started h({kAda}, {{u"1"_qs, taggedRecord(u"a"_qs, kStart)}});
        test::await(h.engine.setPhoto(u"1"_qs, QByteArray("jpeg")));
        const int data = h.engine.dataVersion();
        const int photo = h.engine.photoVersion();

        test::await(h.engine.removeData(u"1"_qs));
        QCOMPARE(ids(h.engine.profiles()), QStringList{u"1"_qs});
        QVERIFY(h.engine.profile(u"1"_qs)->record->isEmpty());
        QVERIFY(!test::await(h.store.record(u"1"_qs)).has_value());
        QCOMPARE(test::await(h.engine.replacementPhoto(u"1"_qs)), std::nullopt);
        QCOMPARE(h.engine.dataVersion(), data + 1);
        QCOMPARE(h.engine.photoVersion(), photo + 1);
    }

    void photoChangesBumpPhotoVersion() {
        Started h({kAda});
        QSignalSpy spy(&h.engine, &ProfileSyncEngine::photoVersionChanged);
        test::await(h.engine.setPhoto(u"1"_qs, QByteArray("jpeg")));
        QCOMPARE(test::await(h.engine.replacementPhoto(u"1"_qs)), std::optional<QByteArray>("jpeg"));
        test::await(h.engine.resetPhoto(u"1"_qs));
        QCOMPARE(test::await(h.engine.replacementPhoto(u"1"_qs)), std::nullopt);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(h.engine.photoVersion(), 2);
    }

    // A contact made while a refresh runs waits for it: that refresh fetched the book before the
    // contact existed.
    void createContactStoresItsRecordAndPublishes() {
        Started h({kAda}, {}, {.fetchDelay = 30ms});
        auto running = h.engine.refresh();
        const ContactDraft draft{.givenName = u"Hedy"_qs, .familyName = u"Lamarr"_qs};
        const QString id = test::await(h.engine.createContact(draft, taggedRecord(u"inventors"_qs, h.now)));
        QCOMPARE(h.engine.profiles().size(), 2);
        QCOMPARE(h.engine.profile(id)->person->displayName(), u"Hedy Lamarr"_qs);
        QCOMPARE(h.engine.profile(id)->record->tags, QStringList{u"inventors"_qs});
        QVERIFY(test::await(h.store.record(id)).has_value());
        QCOMPARE(h.engine.dataVersion(), 1);
        test::await(std::move(running));

        // An empty record is not stored.
        const QString plain = test::await(h.engine.createContact(draft, PemmoRecord::fresh(h.now)));
        QVERIFY(h.engine.profile(plain).has_value());
        QVERIFY(!test::await(h.store.record(plain)).has_value());
    }

    void refusedCreateStoresNothing() {
        Started h({kAda});
        h.contacts.refuseCreate = true;
        QCOMPARE(test::awaitErrorOf<PemmoError>(
                     h.engine.createContact(ContactDraft{}, taggedRecord(u"x"_qs, h.now))),
                 std::optional(PemmoError::contactsDenied()));
        QVERIFY(test::await(h.store.allRecords()).isEmpty());
        QCOMPARE(h.engine.dataVersion(), 0);
    }

    void updateContactRefreshesAndResorts() {
        Started h({kAda, kGrace});
        const ContactDraft draft{.givenName = u"Zelda"_qs};
        test::await(h.engine.updateContact(u"1"_qs, draft));
        QCOMPARE(ids(h.engine.profiles()), (QStringList{"2", "1"}));
        QCOMPARE(h.engine.dataVersion(), 1);

        QCOMPARE(test::awaitErrorOf<PemmoError>(h.engine.updateContact(u"9"_qs, draft)),
                 std::optional(PemmoError::notFound(u"9"_qs)));
        QCOMPARE(h.engine.dataVersion(), 1);
    }

    // A commit or a field edit that leaves the record as it was neither writes nor publishes.
    void editsThatChangeNothingWriteNothing() {
        Started h({kAda}, {{u"1"_qs, taggedRecord(u"a"_qs, kStart)}});
        test::await(h.engine.commitRecord(u"1"_qs, [](PemmoRecord& r) { r.tags = {"a"}; }));
        QCOMPARE(test::await(h.store.writeCount()), 0);
        QCOMPARE(h.engine.dataVersion(), 0);

        test::await(h.engine.setField(u"1"_qs, WritableField::Company, u"Analytical"_qs));
        test::await(h.engine.setField(u"1"_qs, WritableField::Company, u" Analytical "_qs));
        const PemmoRecord record = *h.engine.profile(u"1"_qs)->record;
        QCOMPARE(record.details.company, std::optional<QString>(u"Analytical"_qs));
        QCOMPARE(record.changes.size(), 1);
        QCOMPARE(h.engine.dataVersion(), 1);
    }

    void sixthCustomLinkIsRefusedAndNothingStored() {
        Started h({kAda});
        for (int i = 0; i < 5; ++i) {
            test::await(h.engine.addLink(u"1"_qs, QuickLink{QUuid(), QuickLink::Kind::Custom,
                                                            QString::number(i), "https://example.com"}));
        }
        QCOMPARE(test::awaitErrorOf<PemmoError>(h.engine.addLink(
                     u"1"_qs, QuickLink{QUuid(), QuickLink::Kind::Custom, "six", "https://example.com"})),
                 std::optional(PemmoError::customLinkLimitReached(5)));
        QCOMPARE(test::await(h.store.record(u"1"_qs))->links.size(), 5);
        QCOMPARE(h.engine.dataVersion(), 5);
    }

    void engineGoneBeforeTheFetchEndsIsHarmless() {
        test::TempDir dir;
        TestBook contacts({kAda}, ContactsAuthorization::Authorized, 30ms);
        PemmoStore store(dir.path(), 5ms);
        PhotoStore photos(dir.filePath(u"Photos"_qs));
        auto engine = std::make_unique<ProfileSyncEngine>(contacts, store, photos);
        auto refresh = engine->refresh();
        engine.reset();
        test::await(std::move(refresh));
        QCOMPARE(contacts.finishedFetches, 1);
    }

    // A store that cannot be read says why and refuses every edit (a deletion before it touches
    // the address book, which it could not finish), until a retry reads it.
    void readOnlyStoreSaysWhyAndRefusesEditsUntilItReads() {
        test::TempDir dir;
        const RecordMap seeded{
            {u"1"_qs, taggedRecord(u"a"_qs, QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC))}};
        dir.write(PemmoStore::storeFileName(), QByteArray::fromStdString(StoreFile::encode(seeded)));
        auto files = std::make_shared<test::FailingFileOperations>();
        files->failReading(PemmoStore::storeFileName());
        TestBook contacts({kAda, kGrace}, ContactsAuthorization::Authorized, std::nullopt);
        PemmoStore store(dir.path(), 5ms, systemClock(), PemmoStore::Access::Owner, files);
        PhotoStore photos(dir.filePath(u"Photos"_qs));
        ProfileSyncEngine engine(contacts, store, photos);
        QSignalSpy reasonChanges(&engine, &ProfileSyncEngine::readOnlyReasonChanged);

        test::await(engine.start());
        QVERIFY(!engine.readOnlyReason().isEmpty());
        QCOMPARE(reasonChanges.count(), 1);
        QCOMPARE(engine.profiles().size(), 2);
        const std::optional refused = PemmoError::storeReadOnly(engine.readOnlyReason());
        QCOMPARE(test::awaitErrorOf<PemmoError>(engine.addTag(u"1"_qs, u"b"_qs)), refused);
        QCOMPARE(test::awaitErrorOf<PemmoError>(engine.deleteContact(u"2"_qs)), refused);
        QCOMPARE(contacts.people().size(), 2);
        QCOMPARE(engine.dataVersion(), 0);
        QCOMPARE(files->writes(), QStringList());

        files->heal();
        test::await(engine.retryStoreLoad());
        QCOMPARE(engine.readOnlyReason(), QString());
        QCOMPARE(reasonChanges.count(), 2);
        QCOMPARE(engine.profile(u"1"_qs)->record->tags, QStringList{u"a"_qs});
        test::await(engine.addTag(u"1"_qs, u"b"_qs));
        QCOMPARE(test::await(store.record(u"1"_qs))->tags, (QStringList{u"a"_qs, u"b"_qs}));
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestProfileSyncEngine)
#include "TestProfileSyncEngine.moc"
