// The address book over real vCard folders: reading, writing, access, change signals, time limits;
// and the watcher that turns bursts of file-system events in its folders into single reports.
#include "Contacts/VCardBook.h"
#include "Contacts/VCardFolderRepository.h"
#include "Contacts/VCardFolderWatcher.h"
#include "Records/PemmoError.h"
#include "Support/SerialExecutor.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

using namespace pemmo;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(pemmo::ContactsAuthorization)

namespace {

using test::vcard;

struct stat statOf(const QString& path) {
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

unsigned modeOf(const QString& path) {
    return statOf(path).st_mode & 07777;
}

QStringList givenNamesOf(const QList<Person>& people) {
    QStringList names;
    for (const Person& person : people)
        names.append(person.givenName);
    return names;
}

unsigned currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Something that happens to the folders while the book watches them.
enum class Change { Burst, InAddressBook, TemporaryFiles, OwnWrite };

struct Book {
    explicit Book(QStringList folders, std::chrono::milliseconds quietPeriod = 50ms,
                  std::chrono::milliseconds timeLimit = VCardFolderRepository::defaultTimeLimit,
                  std::shared_ptr<SerialExecutor> executor = nullptr)
        : repository(std::move(folders), QString(), timeLimit, quietPeriod, std::move(executor)) {}

    QList<Person> fetch() { return test::values(test::await(repository.fetchPeople())); }

    VCardFolderRepository repository;
};

void append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qUtf8Printable(path));
}

// The watcher alone over a folder holding `files`, and the reports it gives.
struct Watched {
    explicit Watched(const QStringList& files, std::chrono::milliseconds quietPeriod = 50ms,
                     int fileWatchLimit = VCardFolderWatcher::defaultFileWatchLimit)
        : watcher(quietPeriod, nullptr, fileWatchLimit) {
        for (const QString& name : files)
            dir.write(name, vcard(name, "W", "W"));
        watcher.watch({dir.path()});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    test::TempDir dir;
    VCardFolderWatcher watcher;
    QSignalSpy changed{&watcher, &VCardFolderWatcher::changed};
};

} // namespace

Q_DECLARE_METATYPE(Change)

class TestVCardFolderRepository : public QObject {
    Q_OBJECT

    std::optional<test::TempDir> m_dir; // a fresh one for each test

private Q_SLOTS:
    void init() { m_dir.emplace(); }

    void fetchReadsEveryFolderSortedByGivenName() {
        const QString plain = m_dir->filePath(u"plain"_qs);
        const QString synced = m_dir->filePath(u"synced"_qs); // a folder of address books
        m_dir->write(u"plain/zed.vcf"_qs, vcard("z", "Zed", "Last"));
        m_dir->write(u"plain/anna.VCF"_qs, vcard("a", "anna", "Zimmer"));
        m_dir->write(u"plain/export.vcf"_qs, vcard("", "Émile", "One") + vcard("", "Bob", "Two"));
        m_dir->write(u"plain/notes.txt"_qs, vcard("n", "Not", "Read"));
        m_dir->write(u"plain/.hidden.vcf"_qs, vcard("h", "Hidden", "File"));
        m_dir->write(u"plain/broken.vcf"_qs, "BEGIN:VCARD\r\nN:Half;Written\r\n");
        m_dir->write(u"plain/garbage.vcf"_qs, QByteArray("\x00\xFF\x12garbage", 10));
        m_dir->write(u"synced/personal/p1.vcf"_qs, vcard("p1", "Anna", "Able"));
        m_dir->write(u"synced/work/w1.vcf"_qs, vcard("w1", "Carl", "Work"));
        m_dir->write(u"synced/.cache/c.vcf"_qs, vcard("c", "Cached", "Copy"));
        // A UID met twice keeps the card of the folder listed first.
        m_dir->write(u"plain/copy.vcf"_qs, vcard("w1", "Dora", "Copy"));

        Book book({synced, plain});
        const QList<Person> people = book.fetch();
        QCOMPARE(givenNamesOf(people), (QStringList{"Anna", "anna", "Bob", "Carl", "Émile", "Zed"}));
        QCOMPARE(test::ids(people), (QStringList{"p1", "a", "export#2", "w1", "export#1", "z"}));
        QCOMPARE(book.repository.authorizationStatus(), ContactsAuthorization::Authorized);
    }

    void noFolderIsNotDetermined() {
        Book book({});
        QCOMPARE(book.repository.authorizationStatus(), ContactsAuthorization::NotDetermined);
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fetchPeople()), PemmoError::contactsDenied());
    }

    void requestAccessCreatesAndAdoptsTheDefaultFolder() {
        const QString folder = m_dir->filePath(u"data/Contacts"_qs);
        VCardFolderRepository repository({}, folder, 1s, 50ms);
        QSignalSpy adopted(&repository, &VCardFolderRepository::foldersChanged);
        QCOMPARE(test::await(repository.requestAccess()), ContactsAuthorization::Authorized);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(repository.folders(), QStringList{folder});
        QCOMPARE(adopted.count(), 1);
        QCOMPARE(repository.authorizationStatus(), ContactsAuthorization::Authorized);
        QVERIFY(test::await(repository.fetchPeople()).isEmpty());

        // Asked again, it simply answers.
        QCOMPARE(test::await(repository.requestAccess()), ContactsAuthorization::Authorized);
        QCOMPARE(adopted.count(), 1);
    }

    void unreadableFolderIsDenied_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("a file in its place") << "file";
        QTest::newRow("no permission") << "permission";
    }
    void unreadableFolderIsDenied() {
        QFETCH(QString, kind);
        const QString good = m_dir->filePath(u"good"_qs);
        m_dir->write(u"good/a.vcf"_qs, vcard("a", "A", "A"));
        const QString bad = m_dir->filePath(u"bad"_qs);
        if (kind == u"file") {
            m_dir->write(u"bad"_qs, "not a folder");
        } else if (kind == u"permission") {
            if (::geteuid() == 0)
                QSKIP("permissions do not stop the superuser");
            QDir().mkpath(bad);
            QFile::setPermissions(bad, QFileDevice::WriteOwner);
        }
        Book book({good, bad});
        QCOMPARE(book.repository.authorizationStatus(), ContactsAuthorization::Denied);
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fetchPeople()), PemmoError::contactsDenied());
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.requestAccess()),
                 PemmoError::contactsDenied());
        QFile::setPermissions(bad, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void createWritesANewVCardFile() {
        Book book({m_dir->path()});
        const ContactDraft draft{.givenName = "Ada", .familyName = "Lovelace", .email = "ada@example.org"};
        const QString id = test::await(book.repository.create(draft));
        QVERIFY(!id.isEmpty());
        const QString path = m_dir->filePath(id + u".vcf");
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(modeOf(path), 0666u & ~currentUmask());
        const QByteArray head = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + id.toUtf8() + "\r\n";
        QVERIFY(m_dir->read(id + u".vcf").startsWith(head));
        QCOMPARE(m_dir->entries(), QStringList{id + u".vcf"}); // no temporary file left behind

        QCOMPARE(test::ids(book.fetch()), QStringList{id});
    }

    void createGoesIntoTheFirstAddressBook() {
        m_dir->write(u"work/w.vcf"_qs, vcard("w", "W", "W"));
        QDir().mkpath(m_dir->filePath(u"personal"_qs));
        Book book({m_dir->path()});
        const QString id = test::await(book.repository.create(ContactDraft{.givenName = "New"}));
        QVERIFY(QFileInfo::exists(m_dir->filePath(u"personal/"_qs + id + u".vcf")));
    }

    void updateRewritesTheFileInPlace() {
        const QString path = m_dir->filePath(u"friend.vcf"_qs);
        const QByteArray before = vcard(
            "f", "John", "Doe", "X-VENDOR;KEEP=me:as it was\r\nitem1.TEL:1\r\nitem1.X-ABLabel:Studio\r\n");
        m_dir->write(u"friend.vcf"_qs, before);
        QFile::setPermissions(path,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
        Book book({m_dir->path()});
        QCOMPARE(book.fetch().size(), 1);

        test::await(book.repository.update(u"f"_qs, ContactDraft{.givenName = "Jon", .familyName = "Doe"}));
        QCOMPARE(
            m_dir->read(u"friend.vcf"_qs),
            QByteArray(before).replace("N:Doe;John;;;", "N:Doe;Jon;;;").replace("FN:John Doe", "FN:Jon Doe"));
        QCOMPARE(modeOf(path), 0640u);
        QCOMPARE(m_dir->entries(), QStringList{"friend.vcf"});
        QCOMPARE(book.fetch().first().givenName, u"Jon");
    }

    void updateThroughALinkKeepsTheLink() {
        m_dir->write(u"elsewhere/real.vcf"_qs, vcard("l", "Link", "Ed"));
        const QString folder = m_dir->filePath(u"book"_qs);
        QDir().mkpath(folder);
        QVERIFY(QFile::link(m_dir->filePath(u"elsewhere/real.vcf"_qs), folder + u"/linked.vcf"));
        Book book({folder});
        test::await(book.repository.update(u"l"_qs, ContactDraft{.givenName = "Linked", .familyName = "Ed"}));
        QVERIFY(QFileInfo(folder + u"/linked.vcf").isSymLink());
        QVERIFY(m_dir->read(u"elsewhere/real.vcf"_qs).contains("N:Ed;Linked;;;"));
    }

    void unchangedUpdateWritesNothing() {
        m_dir->write(u"f.vcf"_qs, vcard("f", "John", "Doe"));
        const ino_t inode = statOf(m_dir->filePath(u"f.vcf"_qs)).st_ino;
        Book book({m_dir->path()});
        test::await(book.repository.update(u"f"_qs, ContactDraft{.givenName = "John", .familyName = "Doe"}));
        QCOMPARE(statOf(m_dir->filePath(u"f.vcf"_qs)).st_ino, inode);
    }

    void unknownIdIsNotFound() {
        m_dir->write(u"a.vcf"_qs, vcard("a", "A", "A"));
        Book book({m_dir->path()});
        const QString missing = u"nobody"_qs;
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.update(missing, ContactDraft{})),
                 PemmoError::notFound(missing));
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.deleteContact(missing)),
                 PemmoError::notFound(missing));
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fullImage(missing)),
                 PemmoError::notFound(missing));
    }

    void contactMovedByAnotherProgramIsFoundAgain() {
        m_dir->write(u"old.vcf"_qs, vcard("m", "Moving", "Card"));
        Book book({m_dir->path()});
        QCOMPARE(book.fetch().size(), 1);
        QVERIFY(QFile::rename(m_dir->filePath(u"old.vcf"_qs), m_dir->filePath(u"new.vcf"_qs)));
        test::await(
            book.repository.update(u"m"_qs, ContactDraft{.givenName = "Moved", .familyName = "Card"}));
        QVERIFY(m_dir->read(u"new.vcf"_qs).contains("N:Card;Moved;;;"));
    }

    // A file of its own goes; a card among others goes alone, and the others keep their ids (the
    // ones known by their place get it as their UID).
    void deleteRemovesTheCardAndNothingElse() {
        m_dir->write(u"a.vcf"_qs, vcard("a", "A", "A"));
        m_dir->write(u"all.vcf"_qs, vcard("", "One", "X") + vcard("", "Two", "X") + vcard("c", "Three", "X"));
        Book book({m_dir->path()});
        test::await(book.repository.deleteContact(u"a"_qs));
        test::await(book.repository.deleteContact(u"all#2"_qs));
        QCOMPARE(m_dir->entries(), QStringList{"all.vcf"});
        QCOMPARE(m_dir->read(u"all.vcf"_qs), vcard("all#1", "One", "X") + vcard("c", "Three", "X"));
        const QList<Person> left = book.fetch();
        QCOMPARE(givenNamesOf(left), (QStringList{"One", "Three"}));
        QCOMPARE(left.first().id, u"all#1"_qs);
    }

    void fullImageIsTheStoredPhoto() {
        const QByteArray photo = QByteArray("\x89PNG not really", 15);
        m_dir->write(u"p.vcf"_qs, vcard("p", "P", "P", "PHOTO;ENCODING=b:" + photo.toBase64() + "\r\n"));
        m_dir->write(u"q.vcf"_qs, vcard("q", "Q", "Q"));
        Book book({m_dir->path()});
        QCOMPARE(test::await(book.repository.fullImage(u"p"_qs)), std::optional<QByteArray>(photo));
        QCOMPARE(test::await(book.repository.fullImage(u"q"_qs)), std::nullopt);
    }

    void thumbnailsFollowTheFirstReadWithOneSignal() {
        const QByteArray jpeg = test::testData(u"photos/portrait-1600x1200.jpg"_qs);
        for (int i = 0; i < 6; ++i)
            m_dir->write(u"p%1.vcf"_qs.arg(i),
                         vcard(QByteArray::number(i), "P", "P",
                               "PHOTO;ENCODING=b;TYPE=JPEG:" + jpeg.toBase64() + "\r\n"));
        m_dir->write(u"broken.vcf"_qs,
                     vcard("b", "B", "B", "PHOTO;ENCODING=b:" + QByteArray("no image").toBase64() + "\r\n"));
        Book book({m_dir->path()});
        QSignalSpy changes(&book.repository, &ContactRepository::changes);
        QTRY_COMPARE(changes.count(), 1); // the read at construction, then its thumbnails

        const QList<Person> people = book.fetch();
        QCOMPARE(people.size(), 7);
        for (const Person& person : people) {
            if (person.id == u"b") {
                QVERIFY(!person.hasFullImage);
                QVERIFY(!person.thumbnail);
                continue;
            }
            QVERIFY(person.hasFullImage);
            QVERIFY(person.thumbnail);
            QCOMPARE(QImage::fromData(*person.thumbnail).size(), QSize(128, 96));
        }
        QCOMPARE(test::await(book.repository.fullImage(u"3"_qs)), std::optional<QByteArray>(jpeg));
        QTest::qWait(200);
        QCOMPARE(changes.count(), 1);
    }

    void changeDuringStartIsNotLost() {
        m_dir->write(u"a.vcf"_qs, vcard("a", "A", "A"));
        Book book({m_dir->path()});
        QSignalSpy changes(&book.repository, &ContactRepository::changes);
        m_dir->write(u"b.vcf"_qs, vcard("b", "B", "B"));
        // The first fetch may still answer from the read made at start; the change follows.
        if (book.fetch().size() != 2)
            QTRY_VERIFY(!changes.isEmpty());
        QCOMPARE(test::ids(book.fetch()), (QStringList{"a", "b"}));
    }

    // A later fetch parses only the files that changed and hands out the same bodies for everyone
    // else; what it handed out before stays as it was.
    void laterFetchesParseOnlyTheChangedFiles() {
        for (int i = 0; i < 3; ++i)
            m_dir->write(u"c%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "Name", "X"));
        Book book({m_dir->path()});
        const QList<Shared<Person>> first = test::await(book.repository.fetchPeople());
        QCOMPARE(book.fetch().size(), 3);
        QCOMPARE(book.repository.parseCount(), 3);

        m_dir->write(u"c1.vcf"_qs, vcard("1", "Changed", "X"));
        const QList<Shared<Person>> second = test::await(book.repository.fetchPeople());
        QCOMPARE(book.repository.parseCount(), 4);
        QCOMPARE(test::ids(test::values(second)), (QStringList{"1", "0", "2"}));
        QVERIFY(!second[0].sharesBodyWith(first[1]));
        QCOMPARE(first[1]->givenName, u"Name"_qs);
        QVERIFY(second[1].sharesBodyWith(first[0]));
        QVERIFY(second[2].sharesBodyWith(first[2]));

        QFile::remove(m_dir->filePath(u"c0.vcf"_qs));
        QCOMPARE(book.fetch().size(), 2);
        QCOMPARE(book.repository.parseCount(), 4);
    }

    // A read that finds the same files as the last one keeps the last listing's files; its
    // folders must still be the ones found now, since the watcher is set from them after a read
    // and would otherwise stop watching a new address book that holds no file yet.
    void aReadOfTheSameFilesListsNewFolders() {
        m_dir->write(u"personal/a.vcf"_qs, vcard("a", "A", "A"));
        VCardBook book({m_dir->path()}, 1);
        QCOMPARE(book.people().size(), 1);
        QVERIFY(QDir(m_dir->path()).mkdir(u"work"_qs));
        QCOMPARE(book.people().size(), 1);
        QVERIFY(book.lastListing());
        QCOMPARE(book.lastListing()->folders,
                 QStringList({m_dir->path(), m_dir->filePath(u"personal"_qs), m_dir->filePath(u"work"_qs)}));
        QCOMPARE(book.lastListing()->files.size(), 1);
    }

    // A read after a few files changed places their people among the others instead of sorting
    // everyone again; the order must still be the one a fresh read gives.
    void aChangedBookKeepsTheOrderOfAFreshRead_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes"); // empty: the file is deleted
        QTest::newRow("renamed") << "c17.vcf" << vcard("17", "Aaron", "New");
        QTest::newRow("renamed to the end") << "c18.vcf" << vcard("18", "Zora", "Last");
        QTest::newRow("added") << "new.vcf" << vcard("new", "Mia", "Added");
        QTest::newRow("deleted") << "c5.vcf" << QByteArray();
        QTest::newRow("same name but for case") << "c8.vcf" << vcard("08", "name 3", "D");
        QTest::newRow("numbers in names") << "c9.vcf" << vcard("9", "Name 10", "X");
        QTest::newRow("no given name") << "c10.vcf" << vcard("10", "", "Family");
        QTest::newRow("an earlier file takes an identifier") << "a.vcf" << vcard("20", "Other", "Copy");
        QTest::newRow("several cards") << "many.vcf" << vcard("", "Zoe", "A") + vcard("", "Abe", "B");
    }

    void aChangedBookKeepsTheOrderOfAFreshRead() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        for (int i = 0; i < 100; ++i)
            m_dir->write(u"c%1.vcf"_qs.arg(i),
                         vcard(QString::number(i), u"Name %1"_qs.arg(i % 7), QChar(u'A' + i % 26)));
        VCardBook book({m_dir->path()}, 1);
        QCOMPARE(book.people().size(), 100);
        if (bytes.isEmpty())
            QVERIFY(QFile::remove(m_dir->filePath(file)));
        else
            m_dir->write(file, bytes);
        const QStringList changed = test::ids(test::values(book.people()));
        QCOMPARE(changed, test::ids(test::values(VCardBook({m_dir->path()}, 1).people())));
        QCOMPARE(book.parseCount(), 101 - int(bytes.isEmpty()));
    }

    // What changes in the folders after the first read, and the change signals it gives once
    // things are quiet again.
    void changesAreSignalledOnceTheySettle_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("expected");
        QTest::newRow("burst of writes") << Change::Burst << 1;
        QTest::newRow("in an address book below") << Change::InAddressBook << 1;
        QTest::newRow("temporary files alone") << Change::TemporaryFiles << 0;
        QTest::newRow("own write") << Change::OwnWrite << 1;
    }
    void changesAreSignalledOnceTheySettle() {
        QFETCH(Change, change);
        QFETCH(int, expected);
        m_dir->write(u"a.vcf"_qs, vcard("a", "A", "A"));
        m_dir->write(u"personal/p.vcf"_qs, vcard("p", "P", "P"));
        Book book({m_dir->path()}, 100ms);
        QSignalSpy changes(&book.repository, &ContactRepository::changes);
        book.fetch(); // queued behind setting up the watches
        switch (change) {
        case Change::Burst:
            for (int i = 0; i < 20; ++i)
                m_dir->write(u"n%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "N", "N"));
            m_dir->write(u"a.vcf"_qs, vcard("a", "Edited", "A"));
            break;
        case Change::InAddressBook:
            m_dir->write(u"personal/b.vcf"_qs, vcard("b", "B", "B"));
            break;
        case Change::TemporaryFiles:
            m_dir->write(u"a.vcf.tmp-Xy12Ab"_qs, vcard("a", "Half", "Written"));
            QFile::remove(m_dir->filePath(u"a.vcf.tmp-Xy12Ab"_qs));
            m_dir->write(u".a.vcf.swp"_qs, "editor state");
            m_dir->write(u"status.json"_qs, "{}");
            break;
        case Change::OwnWrite:
            test::await(book.repository.update(u"a"_qs, ContactDraft{.givenName = "B", .familyName = "A"}));
            break;
        }
        if (expected > 0)
            QTRY_COMPARE(changes.count(), expected);
        QTest::qWait(400);
        QCOMPARE(changes.count(), expected);
    }

    void slowFileWorkTimesOut() {
        m_dir->write(u"a.vcf"_qs, vcard("a", "A", "A"));
        auto executor = std::make_shared<SerialExecutor>(u"test"_qs);
        Book book({m_dir->path()}, 50ms, 300ms, executor);
        QSemaphore gate;
        executor->post([&gate] { gate.acquire(); }); // a stuck disk
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fetchPeople()), PemmoError::timedOut());
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.update(u"a"_qs, ContactDraft{})),
                 PemmoError::timedOut());
        gate.release();
        // Let the jobs that lost their race finish first, so the next fetch has its whole time
        // limit to itself even on a busy machine.
        auto drained = executor->post([] {});
        drained.waitForFinished();
        QCOMPARE(book.fetch().size(), 1);
        // The update that lost its race still ran to its end.
        QCOMPARE(book.fetch().first().givenName, QString());
    }

    // Checking access opens every folder: it happens on the file-work thread, under the time
    // limit, so a folder on a hung network mount cannot stall the caller.
    void checkingAccessRunsOffTheCallingThreadUnderTheTimeLimit() {
        QSemaphore answer;
        std::atomic<QThread*> checkedOn = nullptr;
        VCardFolderRepository repository({m_dir->path()}, QString(), 200ms, 50ms, nullptr, QString(),
                                         [&](const QString& folder) {
                                             checkedOn = QThread::currentThread();
                                             answer.tryAcquire(1, 5000); // a mount that does not answer
                                             return VCardBook::canRead(folder);
                                         });
        QCOMPARE(test::awaitErrorOf<PemmoError>(repository.checkAuthorization()), PemmoError::timedOut());
        QVERIFY(checkedOn.load() != nullptr);
        QVERIFY(checkedOn.load() != QThread::currentThread());

        answer.release(100); // the mount answers again
        QCOMPARE(test::await(repository.checkAuthorization()), ContactsAuthorization::Authorized);
    }

    void checkingAccessAgreesWithTheStatus_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<ContactsAuthorization>("status");
        QTest::newRow("no folder") << QStringList() << true << ContactsAuthorization::NotDetermined;
        QTest::newRow("readable") << QStringList{u"/book"_qs} << true << ContactsAuthorization::Authorized;
        QTest::newRow("unreadable") << QStringList{u"/book"_qs, u"/other"_qs} << false
                                    << ContactsAuthorization::Denied;
    }

    void checkingAccessAgreesWithTheStatus() {
        QFETCH(QStringList, folders);
        QFETCH(bool, readable);
        QFETCH(ContactsAuthorization, status);
        VCardFolderRepository repository(folders, QString(), 2s, 50ms, nullptr, QString(),
                                         [readable](const QString&) { return readable; });
        QCOMPARE(test::await(repository.checkAuthorization()), status);
        QCOMPARE(repository.authorizationStatus(), status);
    }

    void switchingFoldersReadsTheNewOnes() {
        m_dir->write(u"one/a.vcf"_qs, vcard("a", "A", "A"));
        m_dir->write(u"two/b.vcf"_qs, vcard("b", "B", "B"));
        Book book({m_dir->filePath(u"one"_qs)});
        QCOMPARE(test::ids(book.fetch()), QStringList{"a"});
        QSignalSpy switched(&book.repository, &VCardFolderRepository::foldersChanged);
        book.repository.setFolders({m_dir->filePath(u"two"_qs)});
        QCOMPARE(switched.count(), 1);
        QCOMPARE(test::ids(book.fetch()), QStringList{"b"});
    }

    // The watcher on its own.
    void endlessBurstIsReportedAnyway() {
        Watched w({});
        // Writes keep coming faster than the quiet period for well over ten quiet periods.
        for (int i = 0; i < 60 && w.changed.isEmpty(); ++i) {
            w.dir.write(u"c%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "W", "W"));
            QTest::qWait(15);
        }
        QVERIFY(!w.changed.isEmpty());
    }

    void stateAReaderAdoptedIsNotReportedAgain() {
        Watched w({u"a.vcf"_qs}, 100ms);
        w.dir.write(u"b.vcf"_qs, vcard("b", "W", "W"));
        // A fetch reads the new file before the burst has settled.
        w.watcher.adopt({w.dir.path()}, VCardBook::list({w.dir.path()}));
        QTest::qWait(400);
        QCOMPARE(w.changed.count(), 0);

        w.dir.write(u"c.vcf"_qs, vcard("c", "W", "W"));
        QTRY_COMPARE(w.changed.count(), 1);
    }

    void largeBooksWatchOnlyTheirFolders() {
        Watched w({u"a.vcf"_qs, u"b.vcf"_qs}, 50ms, 1);
        append(w.path(u"a.vcf"_qs), "\r\n"); // in place: left to the regular refresh
        QTest::qWait(300);
        QCOMPARE(w.changed.count(), 0);

        w.dir.write(u"c.vcf"_qs, vcard("c", "W", "W"));
        QTRY_COMPARE(w.changed.count(), 1);
    }

    void smallBooksSeeEditsInPlace() {
        Watched w({u"a.vcf"_qs});
        append(w.path(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(w.changed.count(), 1);
        // The file stays watched after it was reported.
        append(w.path(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(w.changed.count(), 2);
    }

    void folderGoingAwayIsReported() {
        Watched w({});
        QVERIFY(QDir(w.dir.path()).removeRecursively());
        QTRY_COMPARE(w.changed.count(), 1);
    }

    void replacedFileIsStillWatched() {
        Watched w({u"a.vcf"_qs});
        // Replaced by renaming over it, as careful writers do.
        w.dir.write(u"a.vcf.new"_qs, vcard("a2", "W", "W"));
        QVERIFY(QFile::remove(w.path(u"a.vcf"_qs)));
        QVERIFY(QFile::rename(w.path(u"a.vcf.new"_qs), w.path(u"a.vcf"_qs)));
        QTRY_COMPARE(w.changed.count(), 1);

        append(w.path(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(w.changed.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestVCardFolderRepository)
#include "TestVCardFolderRepository.moc"
