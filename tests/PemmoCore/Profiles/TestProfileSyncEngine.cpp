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

const Person kAda = person(QStringLiteral("1"), QStringLiteral("Ada"), QStringLiteral("Lovelace"));
const Person kGrace = person(QStringLiteral("2"), QStringLiteral("Grace"), QStringLiteral("Hopper"));

QStringList ids(const QList<Profile>& profiles) {
    QStringList result;
    for (const Profile& p : profiles)
        result.append(p.id());
    return result;
}

// The in-memory book, counting fetches that ran to their end and able to refuse new contacts.
class TestBook : public InMemoryContactRepository {
public:
    using InMemoryContactRepository::InMemoryContactRepository;

    int finishedFetches = 0;
    bool refuseCreate = false;

    QCoro::Task<QList<Person>> fetchPeople() override {
        QList<Person> people;
        std::exception_ptr error;
        try {
            people = co_await InMemoryContactRepository::fetchPeople();
        } catch (...) {
            error = std::current_exception();
        }
        ++finishedFetches;
        if (error)
            std::rethrow_exception(error);
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
        , store(dir.filePath(QStringLiteral("data")), 5ms, clock())
        , photos(dir.filePath(QStringLiteral("data/Photos")))
        , engine(contacts, store, photos, options.pollInterval, options.fetchTimeout, clock()) {}

    Clock clock() {
        return [this] { return now; };
    }

    // Puts a store file in place before the engine starts.
    void seed(const RecordMap& records) {
        QDir().mkpath(dir.filePath(QStringLiteral("data")));
        const std::string bytes = StoreFile::encode(records);
        dir.write(QStringLiteral("data/pemmo-store.json"), QByteArray(bytes.data(), qsizetype(bytes.size())));
    }

    // Makes every later store write fail: the data folder becomes a plain file.
    void breakStoreFolder() {
        QDir(dir.filePath(QStringLiteral("data"))).removeRecursively();
        dir.write(QStringLiteral("data"), "not a folder");
    }

    test::TempDir dir;
    QDateTime now = QDateTime(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);
    TestBook contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine engine;
};

PemmoRecord taggedRecord(const QString& tag, const QDateTime& when) {
    PemmoRecord record = PemmoRecord::fresh(when);
    record.tags = {tag};
    return record;
}

void appendTag(PemmoRecord& record, const QString& tag) {
    record.tags.append(tag);
}

} // namespace

class TestProfileSyncEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startPublishesTheSortedJoin() {
        Harness h({person("b", "Anna", "10"), person("c", "anna", "9"), person("a", "Anna", "9")});
        h.seed({{QStringLiteral("c"), taggedRecord(QStringLiteral("friends"), h.now.addDays(-3))}});
        QList<SyncState> states;
        connect(&h.engine, &ProfileSyncEngine::stateChanged, this, [&] { states.append(h.engine.state()); });

        test::await(h.engine.start());

        QCOMPARE(ids(h.engine.profiles()), (QStringList{"a", "c", "b"}));
        QCOMPARE(h.engine.profile(QStringLiteral("c"))->record.tags, QStringList{QStringLiteral("friends")});
        // Someone without a stored record gets a fresh one.
        QCOMPARE(h.engine.profile(QStringLiteral("a"))->record, PemmoRecord::fresh(h.now));
        QVERIFY(h.engine.hasLoaded());
        QCOMPARE(h.engine.publishCount(), 1);
        QCOMPARE(h.engine.lastRefresh(), h.now);
        QCOMPARE(h.engine.authorization(), ContactsAuthorization::Authorized);
        QCOMPARE(states, (QList<SyncState>{SyncState::loading(), SyncState::idle()}));
        QVERIFY(h.engine.isRunning());
    }

    void refreshRequestsWhileOneRunsCoalesceIntoOneMore() {
        Harness h({kAda}, {.fetchDelay = 40ms});
        auto first = h.engine.refresh();
        QVERIFY(h.engine.isRefreshing());
        for (int i = 0; i < 3; ++i) {
            auto extra = h.engine.refresh();
            QVERIFY(extra.isReady()); // only marked; returns at once
        }
        test::await(std::move(first));
        QCOMPARE(h.contacts.fetchCount(), 2);
        QCOMPARE(h.engine.publishCount(), 2);
        QVERIFY(!h.engine.isRefreshing());
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
        QCOMPARE(h.engine.state(), SyncState::error(QStringLiteral("Contacts took too long to respond")));
        QCOMPARE(h.engine.profiles(), before);
        QCOMPARE(profilesSpy.count(), 0);
        QCOMPARE(h.engine.publishCount(), 1);
        QVERIFY(h.contacts.finishedFetches < 2); // the engine did not wait for the slow fetch

        h.contacts.setFetchDelay(std::nullopt);
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.state(), SyncState::idle());
        QCOMPARE(ids(h.engine.profiles()), QStringList{QStringLiteral("1")});
        // The abandoned fetch still ends on its own; nothing it returns is used.
        QTRY_COMPARE(h.contacts.finishedFetches, 3);
        QCOMPARE(ids(h.engine.profiles()), QStringList{QStringLiteral("1")});
    }

    // Reading the access state opens every address-book folder. A folder on a network mount that
    // stops answering must give the time-out message while the GUI thread goes on turning.
    void aHungFolderCheckTimesOutWithoutBlockingTheGUIThread() {
        test::TempDir dir;
        QDir().mkpath(dir.filePath(QStringLiteral("book")));
        dir.write(QStringLiteral("book/ada.vcf"),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ada\r\nN:Lovelace;Ada;;;\r\n"
                  "FN:Ada Lovelace\r\nEND:VCARD\r\n");
        QSemaphore answer;
        std::atomic<bool> checking = false;
        std::atomic<QThread*> checkedOn = nullptr;
        VCardFolderRepository book({dir.filePath(QStringLiteral("book"))}, QString(), 10s, 50ms, nullptr,
                                   QString(), [&](const QString& folder) {
                                       checkedOn = QThread::currentThread();
                                       checking = true;
                                       answer.tryAcquire(1, 5000); // the mount does not answer
                                       checking = false;
                                       return VCardBook::canRead(folder);
                                   });
        PemmoStore store(dir.filePath(QStringLiteral("data")), 5ms);
        PhotoStore photos(dir.filePath(QStringLiteral("data/Photos")));
        ProfileSyncEngine engine(book, store, photos, 1h, 300ms);

        int ticksWhileChecking = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ticksWhileChecking += checking ? 1 : 0; });
        ticker.start(10ms);
        test::await(engine.start());

        QCOMPARE(engine.state(), SyncState::error(QStringLiteral("Contacts took too long to respond")));
        QVERIFY(checking);
        QVERIFY(checkedOn.load() != QThread::currentThread());
        QVERIFY2(ticksWhileChecking >= 3, qPrintable(QString::number(ticksWhileChecking)));

        // Once the mount answers, the next refresh reads the book.
        answer.release(100);
        test::await(engine.refresh());
        QCOMPARE(engine.state(), SyncState::idle());
        QCOMPARE(ids(engine.profiles()), QStringList{QStringLiteral("ada")});
        QCOMPARE(engine.authorization(), ContactsAuthorization::Authorized);
        engine.stop();
    }

    void refusedAccessShowsItsStatusText_data() {
        QTest::addColumn<ContactsAuthorization>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("denied") << ContactsAuthorization::Denied << QStringLiteral("Contacts access denied");
        QTest::newRow("restricted") << ContactsAuthorization::Restricted
                                    << QStringLiteral("Contacts access is restricted");
    }

    void refusedAccessShowsItsStatusText() {
        QFETCH(ContactsAuthorization, status);
        QFETCH(QString, text);
        Harness h({kAda}, {.status = status});
        test::await(h.engine.start());
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
        QTest::newRow("core error") << std::make_exception_ptr(PemmoError::notFound(QStringLiteral("7")))
                                    << QStringLiteral("That contact no longer exists.");
        QTest::newRow("network") << std::make_exception_ptr(
                                        PemmoError::network(503, QStringLiteral("Try later")))
                                 << QStringLiteral("Try later");
        QTest::newRow("file") << std::make_exception_ptr(FileError(QStringLiteral("Disk full")))
                              << QStringLiteral("Disk full");
        QTest::newRow("platform") << std::make_exception_ptr(std::runtime_error("Broken pipe"))
                                  << QStringLiteral("Broken pipe");
    }

    void errorMessages() {
        QFETCH(std::exception_ptr, error);
        QFETCH(QString, text);
        QCOMPARE(ProfileSyncEngine::errorMessage(error), text);
    }

    void storeThatCannotLoadShowsAnErrorAndTheRefreshStillRuns() {
        Harness h({kAda});
        h.dir.write(QStringLiteral("data"), "a file where the data folder belongs");
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
        h.seed({{QStringLiteral("1"), taggedRecord(QStringLiteral("a"), h.now)},
                {QStringLiteral("2"), taggedRecord(QStringLiteral("g"), h.now)},
                {QStringLiteral("9"), taggedRecord(QStringLiteral("gone"), h.now)}});
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList()); // nothing fetched yet
        test::await(h.engine.start());
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList{QStringLiteral("9")});

        h.contacts.setPeople({kAda});
        test::await(h.engine.refresh());
        QCOMPARE(ids(h.engine.profiles()), QStringList{QStringLiteral("1")});
        QCOMPARE(test::await(h.engine.orphanIDs()), (QStringList{"2", "9"}));
        QVERIFY(test::await(h.store.record(QStringLiteral("2"))).has_value());

        // Back with the same id: joined with the kept record again.
        h.contacts.setPeople({kAda, kGrace});
        test::await(h.engine.refresh());
        QCOMPARE(h.engine.profile(QStringLiteral("2"))->record.tags, QStringList{QStringLiteral("g")});

        QCOMPARE(test::await(h.engine.removeOrphanedData()), QStringList{QStringLiteral("9")});
        QVERIFY(!test::await(h.store.record(QStringLiteral("9"))).has_value());
        QVERIFY(test::await(h.store.record(QStringLiteral("2"))).has_value());
    }

    void concurrentUpdatesBothTakeEffectInCallOrder() {
        Harness h({kAda});
        test::await(h.engine.start());
        const int version = h.engine.dataVersion();
        // Issued together: without the lock both would start from the same (missing) record.
        auto first =
            h.engine.updateRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "first"); });
        auto second =
            h.engine.updateRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "second"); });
        test::await(std::move(second));
        test::await(std::move(first));
        const QStringList expected{"first", "second"};
        QCOMPARE(h.engine.profile(QStringLiteral("1"))->record.tags, expected);
        QCOMPARE(test::await(h.store.record(QStringLiteral("1")))->tags, expected);
        QCOMPARE(h.engine.dataVersion(), version + 2);
    }

    void mutationsWaitForTheLock() {
        Harness h({kAda});
        test::await(h.engine.start());
        test::await(h.engine.acquireRecordMutation());
        auto update = h.engine.updateRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "x"); });
        QTest::qWait(20); // nothing may happen while the lock is held
        QVERIFY(!update.isReady());
        QVERIFY(h.engine.profile(QStringLiteral("1"))->record.tags.isEmpty());
        h.engine.releaseRecordMutation();
        test::await(std::move(update));
        QCOMPARE(h.engine.profile(QStringLiteral("1"))->record.tags, QStringList{QStringLiteral("x")});
    }

    void updateRecordStampsAndPublishes() {
        Harness h({kAda, kGrace});
        test::await(h.engine.start());
        QSignalSpy dataSpy(&h.engine, &ProfileSyncEngine::dataVersionChanged);
        h.now = h.now.addSecs(90);
        test::await(h.engine.updateRecord(QStringLiteral("2"), [](PemmoRecord& r) { r.about = "Navy"; }));
        const Profile grace = *h.engine.profile(QStringLiteral("2"));
        QCOMPARE(grace.record.about, QStringLiteral("Navy"));
        QCOMPARE(grace.record.updatedAt, h.now);
        QCOMPARE(ids(h.engine.profiles()), (QStringList{"1", "2"})); // order kept
        QCOMPARE(dataSpy.count(), 1);
        // The debounced write reaches the disk.
        QTRY_COMPARE(test::await(h.store.writeCount()), 1);
    }

    // A screen that reads the profile when dataVersion moves must find the new record there.
    void dataVersionMovesOnlyOnceTheRecordIsPublished() {
        Harness h({kAda});
        test::await(h.engine.start());
        QStringList seen;
        connect(&h.engine, &ProfileSyncEngine::dataVersionChanged, this,
                [&] { seen.append(h.engine.profile(QStringLiteral("1"))->record.about); });
        test::await(h.engine.updateRecord(QStringLiteral("1"), [](PemmoRecord& r) { r.about = "Poet"; }));
        test::await(h.engine.setAbout(QStringLiteral("1"), QStringLiteral("Analyst")));
        test::await(h.engine.commitRecord(QStringLiteral("1"), [](PemmoRecord& r) { r.about = "Countess"; }));
        QCOMPARE(seen, (QStringList{"Poet", "Analyst", "Countess"}));
    }

    void commitThatChangesNothingWritesNothing() {
        Harness h({kAda});
        h.seed({{QStringLiteral("1"), taggedRecord(QStringLiteral("a"), h.now)}});
        test::await(h.engine.start());
        const int version = h.engine.dataVersion();
        test::await(h.engine.commitRecord(QStringLiteral("1"), [](PemmoRecord& r) { r.tags = {"a"}; }));
        QCOMPARE(test::await(h.store.writeCount()), 0);
        QCOMPARE(h.engine.dataVersion(), version);
    }

    void commitWritesThroughAndPublishes() {
        Harness h({kAda});
        test::await(h.engine.start());
        h.now = h.now.addSecs(30);
        test::await(h.engine.commitRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "met"); }));
        QCOMPARE(test::await(h.store.writeCount()), 1); // at once, not debounced
        const PemmoRecord published = h.engine.profile(QStringLiteral("1"))->record;
        QCOMPARE(published.tags, QStringList{QStringLiteral("met")});
        QCOMPARE(published.updatedAt, h.now);
        QCOMPARE(h.engine.dataVersion(), 1);
    }

    void commitForSomeoneNotPublishedFails() {
        Harness h({kAda});
        test::await(h.engine.start());
        const auto error = test::awaitErrorOf<PemmoError>(
            h.engine.commitRecord(QStringLiteral("9"), [](PemmoRecord& r) { appendTag(r, "x"); }));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::notFound(QStringLiteral("9")));
        QCOMPARE(test::await(h.store.writeCount()), 0);
        QVERIFY(!test::await(h.store.record(QStringLiteral("9"))).has_value());
        // The lock was released on the way out.
        test::await(h.engine.updateRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "y"); }));
    }

    void failedCommitChangesNothing() {
        Harness h({kAda});
        h.seed({{QStringLiteral("1"), taggedRecord(QStringLiteral("a"), h.now)}});
        test::await(h.engine.start());
        const Profile before = *h.engine.profile(QStringLiteral("1"));
        h.breakStoreFolder();
        const auto error = test::awaitErrorOf<FileError>(
            h.engine.commitRecord(QStringLiteral("1"), [](PemmoRecord& r) { appendTag(r, "b"); }));
        QVERIFY(error.has_value());
        QCOMPARE(*h.engine.profile(QStringLiteral("1")), before);
        QCOMPARE(h.engine.dataVersion(), 0);
        QCOMPARE(test::await(h.store.record(QStringLiteral("1")))->tags, QStringList{QStringLiteral("a")});
    }

    void pollRefreshesUntilStopped() {
        Harness h({kAda}, {.pollInterval = 15ms});
        test::await(h.engine.start());
        QCOMPARE(h.contacts.fetchCount(), 1);
        QTRY_VERIFY(h.contacts.fetchCount() >= 3);
        h.engine.stop();
        QTRY_VERIFY(!h.engine.isRefreshing());
        const int stopped = h.contacts.fetchCount();
        QTest::qWait(100); // several poll periods
        QCOMPARE(h.contacts.fetchCount(), stopped);
    }

    void burstOfChangeSignalsCoalesces() {
        Harness h({kAda}, {.fetchDelay = 20ms});
        test::await(h.engine.start());
        h.contacts.setPeople({kAda, kGrace});
        for (int i = 0; i < 5; ++i)
            h.contacts.emitChange();
        QTRY_VERIFY(!h.engine.isRefreshing());
        // The first signal's refresh, and one more for the four that came while it ran.
        QCOMPARE(h.contacts.fetchCount(), 3);
        QCOMPARE(h.engine.profiles().size(), 2);

        h.engine.stop();
        h.contacts.emitChange();
        QVERIFY(!h.engine.isRefreshing());
        QCOMPARE(h.contacts.fetchCount(), 3);
    }

    void equalRefreshEmitsOnlyWhatChanged() {
        Harness h({kAda, kGrace});
        test::await(h.engine.start());
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
        Harness h({kAda, kGrace});
        h.seed({{QStringLiteral("1"), taggedRecord(QStringLiteral("a"), h.now)}});
        test::await(h.engine.start());
        test::await(h.engine.setPhoto(QStringLiteral("1"), QByteArray("jpeg")));
        const int version = h.engine.dataVersion();

        test::await(h.engine.deleteContact(QStringLiteral("1")));
        QCOMPARE(ids(h.engine.profiles()), QStringList{QStringLiteral("2")});
        QCOMPARE(h.contacts.people().size(), 1);
        QVERIFY(!test::await(h.store.record(QStringLiteral("1"))).has_value());
        QCOMPARE(test::await(h.engine.replacementPhoto(QStringLiteral("1"))), std::nullopt);
        QCOMPARE(h.engine.dataVersion(), version + 1);
        QCOMPARE(test::await(h.engine.orphanIDs()), QStringList());

        const auto error = test::awaitErrorOf<PemmoError>(h.engine.deleteContact(QStringLiteral("1")));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::notFound(QStringLiteral("1")));
        QCOMPARE(h.engine.dataVersion(), version + 1);
    }

    void removeDataKeepsTheContact() {
        Harness h({kAda});
        h.seed({{QStringLiteral("1"), taggedRecord(QStringLiteral("a"), h.now)}});
        test::await(h.engine.start());
        test::await(h.engine.setPhoto(QStringLiteral("1"), QByteArray("jpeg")));
        const int data = h.engine.dataVersion();
        const int photo = h.engine.photoVersion();

        test::await(h.engine.removeData(QStringLiteral("1")));
        QCOMPARE(ids(h.engine.profiles()), QStringList{QStringLiteral("1")});
        QVERIFY(h.engine.profile(QStringLiteral("1"))->record.isEmpty());
        QVERIFY(!test::await(h.store.record(QStringLiteral("1"))).has_value());
        QCOMPARE(test::await(h.engine.replacementPhoto(QStringLiteral("1"))), std::nullopt);
        QCOMPARE(h.engine.dataVersion(), data + 1);
        QCOMPARE(h.engine.photoVersion(), photo + 1);
    }

    void photoChangesBumpPhotoVersion() {
        Harness h({kAda});
        test::await(h.engine.start());
        QSignalSpy spy(&h.engine, &ProfileSyncEngine::photoVersionChanged);
        test::await(h.engine.setPhoto(QStringLiteral("1"), QByteArray("jpeg")));
        QCOMPARE(test::await(h.engine.replacementPhoto(QStringLiteral("1"))),
                 std::optional<QByteArray>("jpeg"));
        test::await(h.engine.resetPhoto(QStringLiteral("1")));
        QCOMPARE(test::await(h.engine.replacementPhoto(QStringLiteral("1"))), std::nullopt);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(h.engine.photoVersion(), 2);
    }

    void createContactStoresItsRecordAndPublishes() {
        Harness h({kAda});
        test::await(h.engine.start());
        ContactDraft draft;
        draft.givenName = QStringLiteral("Hedy");
        draft.familyName = QStringLiteral("Lamarr");
        const QString id =
            test::await(h.engine.createContact(draft, taggedRecord(QStringLiteral("inventors"), h.now)));
        QCOMPARE(h.engine.profiles().size(), 2);
        QCOMPARE(h.engine.profile(id)->person.displayName(), QStringLiteral("Hedy Lamarr"));
        QCOMPARE(h.engine.profile(id)->record.tags, QStringList{QStringLiteral("inventors")});
        QVERIFY(test::await(h.store.record(id)).has_value());
        QCOMPARE(h.engine.dataVersion(), 1);

        // An empty record is not stored.
        const QString plain = test::await(h.engine.createContact(draft, PemmoRecord::fresh(h.now)));
        QVERIFY(h.engine.profile(plain).has_value());
        QVERIFY(!test::await(h.store.record(plain)).has_value());
    }

    void createContactWaitsForARunningRefresh() {
        Harness h({kAda}, {.fetchDelay = 30ms});
        test::await(h.engine.start());
        auto running = h.engine.refresh(); // fetched before the contact exists
        ContactDraft draft;
        draft.givenName = QStringLiteral("Hedy");
        const QString id = test::await(h.engine.createContact(draft, PemmoRecord::fresh(h.now)));
        QVERIFY(h.engine.profile(id).has_value());
        test::await(std::move(running));
    }

    void refusedCreateStoresNothing() {
        Harness h({kAda});
        test::await(h.engine.start());
        h.contacts.refuseCreate = true;
        const auto error = test::awaitErrorOf<PemmoError>(
            h.engine.createContact(ContactDraft{}, taggedRecord(QStringLiteral("x"), h.now)));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::contactsDenied());
        QVERIFY(test::await(h.store.allRecords()).isEmpty());
        QCOMPARE(h.engine.dataVersion(), 0);
    }

    void updateContactRefreshesAndResorts() {
        Harness h({kAda, kGrace});
        test::await(h.engine.start());
        ContactDraft draft;
        draft.givenName = QStringLiteral("Zelda");
        test::await(h.engine.updateContact(QStringLiteral("1"), draft));
        QCOMPARE(ids(h.engine.profiles()), (QStringList{"2", "1"}));
        QCOMPARE(h.engine.dataVersion(), 1);

        const auto error = test::awaitErrorOf<PemmoError>(h.engine.updateContact(QStringLiteral("9"), draft));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::notFound(QStringLiteral("9")));
        QCOMPARE(h.engine.dataVersion(), 1);
    }

    void fieldEditThatChangesNothingWritesNothing() {
        Harness h({kAda});
        test::await(h.engine.start());
        test::await(
            h.engine.setField(QStringLiteral("1"), WritableField::Company, QStringLiteral("Analytical")));
        test::await(
            h.engine.setField(QStringLiteral("1"), WritableField::Company, QStringLiteral(" Analytical ")));
        const PemmoRecord record = h.engine.profile(QStringLiteral("1"))->record;
        QCOMPARE(record.details.company, std::optional<QString>(QStringLiteral("Analytical")));
        QCOMPARE(record.changes.size(), 1);
        QCOMPARE(h.engine.dataVersion(), 1);
    }

    void sixthCustomLinkIsRefusedAndNothingStored() {
        Harness h({kAda});
        test::await(h.engine.start());
        for (int i = 0; i < 5; ++i) {
            test::await(
                h.engine.addLink(QStringLiteral("1"), QuickLink{QUuid(), QuickLink::Kind::Custom,
                                                                QString::number(i), "https://example.com"}));
        }
        const auto error = test::awaitErrorOf<PemmoError>(h.engine.addLink(
            QStringLiteral("1"), QuickLink{QUuid(), QuickLink::Kind::Custom, "six", "https://example.com"}));
        QVERIFY(error.has_value());
        QCOMPARE(*error, PemmoError::customLinkLimitReached(5));
        QCOMPARE(test::await(h.store.record(QStringLiteral("1")))->links.size(), 5);
        QCOMPARE(h.engine.dataVersion(), 5);
    }

    void engineGoneBeforeTheFetchEndsIsHarmless() {
        test::TempDir dir;
        TestBook contacts({kAda}, ContactsAuthorization::Authorized, 30ms);
        PemmoStore store(dir.path(), 5ms);
        PhotoStore photos(dir.filePath(QStringLiteral("Photos")));
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
            {QStringLiteral("1"),
             taggedRecord(QStringLiteral("a"), QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC))}};
        dir.write(PemmoStore::storeFileName(), QByteArray::fromStdString(StoreFile::encode(seeded)));
        auto files = std::make_shared<test::FailingFileOperations>();
        files->failReading(PemmoStore::storeFileName());
        TestBook contacts({kAda, kGrace}, ContactsAuthorization::Authorized, std::nullopt);
        PemmoStore store(dir.path(), 5ms, systemClock(), PemmoStore::Access::Owner, files);
        PhotoStore photos(dir.filePath(QStringLiteral("Photos")));
        ProfileSyncEngine engine(contacts, store, photos);
        QSignalSpy reasonChanges(&engine, &ProfileSyncEngine::readOnlyReasonChanged);

        test::await(engine.start());
        QVERIFY(!engine.readOnlyReason().isEmpty());
        QCOMPARE(reasonChanges.count(), 1);
        QCOMPARE(engine.profiles().size(), 2);
        const std::optional refused = PemmoError::storeReadOnly(engine.readOnlyReason());
        QCOMPARE(test::awaitErrorOf<PemmoError>(engine.addTag(QStringLiteral("1"), QStringLiteral("b"))),
                 refused);
        QCOMPARE(test::awaitErrorOf<PemmoError>(engine.deleteContact(QStringLiteral("2"))), refused);
        QCOMPARE(contacts.people().size(), 2);
        QCOMPARE(engine.dataVersion(), 0);
        QCOMPARE(files->writes(), QStringList());

        files->heal();
        test::await(engine.retryStoreLoad());
        QCOMPARE(engine.readOnlyReason(), QString());
        QCOMPARE(reasonChanges.count(), 2);
        QCOMPARE(engine.profile(QStringLiteral("1"))->record.tags, QStringList{QStringLiteral("a")});
        test::await(engine.addTag(QStringLiteral("1"), QStringLiteral("b")));
        QCOMPARE(test::await(store.record(QStringLiteral("1")))->tags,
                 (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestProfileSyncEngine)
#include "TestProfileSyncEngine.moc"
