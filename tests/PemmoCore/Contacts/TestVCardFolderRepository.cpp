// The address book over real vCard folders: reading, writing, access, change signals, time limits.
#include "Contacts/VCardBook.h"
#include "Contacts/VCardFolderRepository.h"
#include "Records/PemmoError.h"
#include "Support/SerialExecutor.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"

#include <QBuffer>
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

} // namespace

Q_DECLARE_METATYPE(Change)

class TestVCardFolderRepository : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fetchReadsEveryFolderSortedByGivenName() {
        test::TempDir dir;
        const QString plain = dir.filePath(u"plain"_qs);
        const QString synced = dir.filePath(u"synced"_qs); // a folder of address books
        dir.write(u"plain/zed.vcf"_qs, vcard("z", "Zed", "Last"));
        dir.write(u"plain/anna.VCF"_qs, vcard("a", "anna", "Zimmer"));
        dir.write(u"plain/export.vcf"_qs, vcard("", "Émile", "One") + vcard("", "Bob", "Two"));
        dir.write(u"plain/notes.txt"_qs, vcard("n", "Not", "Read"));
        dir.write(u"plain/.hidden.vcf"_qs, vcard("h", "Hidden", "File"));
        dir.write(u"plain/broken.vcf"_qs, "BEGIN:VCARD\r\nN:Half;Written\r\n");
        dir.write(u"plain/garbage.vcf"_qs, QByteArray("\x00\xFF\x12garbage", 10));
        dir.write(u"synced/personal/p1.vcf"_qs, vcard("p1", "Anna", "Able"));
        dir.write(u"synced/work/w1.vcf"_qs, vcard("w1", "Carl", "Work"));
        dir.write(u"synced/.cache/c.vcf"_qs, vcard("c", "Cached", "Copy"));

        Book book({plain, synced});
        const QList<Person> people = book.fetch();
        QCOMPARE(givenNamesOf(people), (QStringList{"Anna", "anna", "Bob", "Carl", "Émile", "Zed"}));
        QCOMPARE(test::ids(people), (QStringList{"p1", "a", "export#2", "w1", "export#1", "z"}));
        QCOMPARE(book.repository.authorizationStatus(), ContactsAuthorization::Authorized);
    }

    void sameUidTwiceKeepsTheFirstFolder() {
        test::TempDir dir;
        dir.write(u"a/x.vcf"_qs, vcard("same", "First", "Copy"));
        dir.write(u"b/x.vcf"_qs, vcard("same", "Second", "Copy"));
        Book book({dir.filePath(u"b"_qs), dir.filePath(u"a"_qs)});
        const QList<Person> people = book.fetch();
        QCOMPARE(people.size(), 1);
        QCOMPARE(people.first().givenName, u"Second");
    }

    void noFolderIsNotDetermined() {
        Book book({});
        QCOMPARE(book.repository.authorizationStatus(), ContactsAuthorization::NotDetermined);
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fetchPeople()), PemmoError::contactsDenied());
    }

    void requestAccessCreatesAndAdoptsTheDefaultFolder() {
        test::TempDir dir;
        const QString folder = dir.filePath(u"data/Contacts"_qs);
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
        test::TempDir dir;
        const QString good = dir.filePath(u"good"_qs);
        dir.write(u"good/a.vcf"_qs, vcard("a", "A", "A"));
        const QString bad = dir.filePath(u"bad"_qs);
        if (kind == u"file") {
            dir.write(u"bad"_qs, "not a folder");
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
        test::TempDir dir;
        Book book({dir.path()});
        const ContactDraft draft{.givenName = "Ada", .familyName = "Lovelace", .email = "ada@example.org"};
        const QString id = test::await(book.repository.create(draft));
        QVERIFY(!id.isEmpty());
        const QString path = dir.filePath(id + u".vcf");
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(modeOf(path), 0666u & ~currentUmask());
        const QByteArray head = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + id.toUtf8() + "\r\n";
        QVERIFY(dir.read(id + u".vcf").startsWith(head));
        QCOMPARE(dir.entries(), QStringList{id + u".vcf"}); // no temporary file left behind

        const QList<Person> people = book.fetch();
        QCOMPARE(people.size(), 1);
        QCOMPARE(people.first().id, id);
        QCOMPARE(people.first().givenName, u"Ada");
        QCOMPARE(people.first().emails, (QList<LabeledValue>{{"work", "ada@example.org"}}));
    }

    void createGoesIntoTheFirstAddressBook() {
        test::TempDir dir;
        dir.write(u"work/w.vcf"_qs, vcard("w", "W", "W"));
        QDir().mkpath(dir.filePath(u"personal"_qs));
        Book book({dir.path()});
        const QString id = test::await(book.repository.create(ContactDraft{.givenName = "New"}));
        QVERIFY(QFileInfo::exists(dir.filePath(u"personal/"_qs + id + u".vcf")));
    }

    void updateRewritesTheFileInPlace() {
        test::TempDir dir;
        const QString path = dir.filePath(u"friend.vcf"_qs);
        const QByteArray before = vcard(
            "f", "John", "Doe", "X-VENDOR;KEEP=me:as it was\r\nitem1.TEL:1\r\nitem1.X-ABLabel:Studio\r\n");
        dir.write(u"friend.vcf"_qs, before);
        QFile::setPermissions(path,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
        Book book({dir.path()});
        QCOMPARE(book.fetch().size(), 1);

        test::await(book.repository.update(u"f"_qs, ContactDraft{.givenName = "Jon", .familyName = "Doe"}));
        QCOMPARE(
            dir.read(u"friend.vcf"_qs),
            QByteArray(before).replace("N:Doe;John;;;", "N:Doe;Jon;;;").replace("FN:John Doe", "FN:Jon Doe"));
        QCOMPARE(modeOf(path), 0640u);
        QCOMPARE(dir.entries(), QStringList{"friend.vcf"});
        QCOMPARE(book.fetch().first().givenName, u"Jon");
    }

    void updateThroughALinkKeepsTheLink() {
        test::TempDir dir;
        dir.write(u"elsewhere/real.vcf"_qs, vcard("l", "Link", "Ed"));
        const QString folder = dir.filePath(u"book"_qs);
        QDir().mkpath(folder);
        QVERIFY(QFile::link(dir.filePath(u"elsewhere/real.vcf"_qs), folder + u"/linked.vcf"));
        Book book({folder});
        test::await(book.repository.update(u"l"_qs, ContactDraft{.givenName = "Linked", .familyName = "Ed"}));
        QVERIFY(QFileInfo(folder + u"/linked.vcf").isSymLink());
        QVERIFY(dir.read(u"elsewhere/real.vcf"_qs).contains("N:Ed;Linked;;;"));
    }

    void unchangedUpdateWritesNothing() {
        test::TempDir dir;
        dir.write(u"f.vcf"_qs, vcard("f", "John", "Doe"));
        const ino_t inode = statOf(dir.filePath(u"f.vcf"_qs)).st_ino;
        Book book({dir.path()});
        test::await(book.repository.update(u"f"_qs, ContactDraft{.givenName = "John", .familyName = "Doe"}));
        QCOMPARE(statOf(dir.filePath(u"f.vcf"_qs)).st_ino, inode);
    }

    void unknownIdIsNotFound() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a", "A", "A"));
        Book book({dir.path()});
        const QString missing = u"nobody"_qs;
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.update(missing, ContactDraft{})),
                 PemmoError::notFound(missing));
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.deleteContact(missing)),
                 PemmoError::notFound(missing));
        QCOMPARE(test::awaitErrorOf<PemmoError>(book.repository.fullImage(missing)),
                 PemmoError::notFound(missing));
    }

    void contactMovedByAnotherProgramIsFoundAgain() {
        test::TempDir dir;
        dir.write(u"old.vcf"_qs, vcard("m", "Moving", "Card"));
        Book book({dir.path()});
        QCOMPARE(book.fetch().size(), 1);
        QVERIFY(QFile::rename(dir.filePath(u"old.vcf"_qs), dir.filePath(u"new.vcf"_qs)));
        test::await(
            book.repository.update(u"m"_qs, ContactDraft{.givenName = "Moved", .familyName = "Card"}));
        QVERIFY(dir.read(u"new.vcf"_qs).contains("N:Card;Moved;;;"));
    }

    // A file of its own goes; a card among others leaves the others byte for byte.
    void deleteRemovesTheCardAndNothingElse() {
        test::TempDir dir;
        const QByteArray first = vcard("", "One", "X");
        const QByteArray third = vcard("", "Three", "X");
        dir.write(u"a.vcf"_qs, vcard("a", "A", "A"));
        dir.write(u"all.vcf"_qs, first + vcard("", "Two", "X") + third);
        Book book({dir.path()});
        test::await(book.repository.deleteContact(u"a"_qs));
        test::await(book.repository.deleteContact(u"all#2"_qs));
        QCOMPARE(dir.entries(), QStringList{"all.vcf"});
        QCOMPARE(dir.read(u"all.vcf"_qs), first + third);
        QCOMPARE(givenNamesOf(book.fetch()), (QStringList{"One", "Three"}));
    }

    void fullImageIsTheStoredPhoto() {
        test::TempDir dir;
        const QByteArray photo = QByteArray("\x89PNG not really", 15);
        dir.write(u"p.vcf"_qs, vcard("p", "P", "P", "PHOTO;ENCODING=b:" + photo.toBase64() + "\r\n"));
        dir.write(u"q.vcf"_qs, vcard("q", "Q", "Q"));
        Book book({dir.path()});
        QCOMPARE(test::await(book.repository.fullImage(u"p"_qs)), std::optional<QByteArray>(photo));
        QCOMPARE(test::await(book.repository.fullImage(u"q"_qs)), std::nullopt);
    }

    void thumbnailsFollowTheFirstReadWithOneSignal() {
        test::TempDir dir;
        QImage image(400, 200, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        for (int i = 0; i < 6; ++i)
            dir.write(u"p%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "P", "P",
                                                  "PHOTO;ENCODING=b;TYPE=PNG:" + png.toBase64() + "\r\n"));
        dir.write(u"broken.vcf"_qs,
                  vcard("b", "B", "B", "PHOTO;ENCODING=b:" + QByteArray("no image").toBase64() + "\r\n"));
        Book book({dir.path()});
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
            QCOMPARE(QImage::fromData(*person.thumbnail).size(), QSize(128, 64));
        }
        QCOMPARE(test::await(book.repository.fullImage(u"3"_qs)), std::optional<QByteArray>(png));
        QTest::qWait(200);
        QCOMPARE(changes.count(), 1);
    }

    void changeDuringStartIsNotLost() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a", "A", "A"));
        Book book({dir.path()});
        QSignalSpy changes(&book.repository, &ContactRepository::changes);
        dir.write(u"b.vcf"_qs, vcard("b", "B", "B"));
        // The first fetch may still answer from the read made at start; the change follows.
        if (book.fetch().size() != 2)
            QTRY_VERIFY(!changes.isEmpty());
        QCOMPARE(test::ids(book.fetch()), (QStringList{"a", "b"}));
    }

    // A later fetch parses only the files that changed and hands out the same bodies for everyone
    // else; what it handed out before stays as it was.
    void laterFetchesParseOnlyTheChangedFiles() {
        test::TempDir dir;
        for (int i = 0; i < 3; ++i)
            dir.write(u"c%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "Name", "X"));
        Book book({dir.path()});
        const QList<Shared<Person>> first = test::await(book.repository.fetchPeople());
        QCOMPARE(book.fetch().size(), 3);
        QCOMPARE(book.repository.parseCount(), 3);

        dir.write(u"c1.vcf"_qs, vcard("1", "Changed", "X"));
        const QList<Shared<Person>> second = test::await(book.repository.fetchPeople());
        QCOMPARE(book.repository.parseCount(), 4);
        QCOMPARE(test::ids(test::values(second)), (QStringList{"1", "0", "2"}));
        QVERIFY(!second[0].sharesBodyWith(first[1]));
        QCOMPARE(first[1]->givenName, u"Name"_qs);
        QVERIFY(second[1].sharesBodyWith(first[0]));
        QVERIFY(second[2].sharesBodyWith(first[2]));

        QFile::remove(dir.filePath(u"c0.vcf"_qs));
        QCOMPARE(book.fetch().size(), 2);
        QCOMPARE(book.repository.parseCount(), 4);
    }

    // A read that finds the same files as the last one keeps the last listing's files; its
    // folders must still be the ones found now, since the watcher is set from them after a read
    // and would otherwise stop watching a new address book that holds no file yet.
    void aReadOfTheSameFilesListsNewFolders() {
        test::TempDir dir;
        dir.write(u"personal/a.vcf"_qs, vcard("a", "A", "A"));
        VCardBook book({dir.path()}, 1);
        QCOMPARE(book.people().size(), 1);
        QVERIFY(QDir(dir.path()).mkdir(u"work"_qs));
        QCOMPARE(book.people().size(), 1);
        QVERIFY(book.lastListing());
        QCOMPARE(book.lastListing()->folders,
                 QStringList({dir.path(), dir.filePath(u"personal"_qs), dir.filePath(u"work"_qs)}));
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
        test::TempDir dir;
        for (int i = 0; i < 100; ++i)
            dir.write(u"c%1.vcf"_qs.arg(i),
                      vcard(QString::number(i), u"Name %1"_qs.arg(i % 7), QChar(u'A' + i % 26)));
        VCardBook book({dir.path()}, 1);
        QCOMPARE(book.people().size(), 100);
        if (bytes.isEmpty())
            QVERIFY(QFile::remove(dir.filePath(file)));
        else
            dir.write(file, bytes);
        const QStringList changed = test::ids(test::values(book.people()));
        QCOMPARE(changed, test::ids(test::values(VCardBook({dir.path()}, 1).people())));
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
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a", "A", "A"));
        dir.write(u"personal/p.vcf"_qs, vcard("p", "P", "P"));
        Book book({dir.path()}, 100ms);
        QSignalSpy changes(&book.repository, &ContactRepository::changes);
        book.fetch(); // queued behind setting up the watches
        switch (change) {
        case Change::Burst:
            for (int i = 0; i < 20; ++i)
                dir.write(u"n%1.vcf"_qs.arg(i), vcard(QByteArray::number(i), "N", "N"));
            dir.write(u"a.vcf"_qs, vcard("a", "Edited", "A"));
            break;
        case Change::InAddressBook:
            dir.write(u"personal/b.vcf"_qs, vcard("b", "B", "B"));
            break;
        case Change::TemporaryFiles:
            dir.write(u"a.vcf.tmp-Xy12Ab"_qs, vcard("a", "Half", "Written"));
            QFile::remove(dir.filePath(u"a.vcf.tmp-Xy12Ab"_qs));
            dir.write(u".a.vcf.swp"_qs, "editor state");
            dir.write(u"status.json"_qs, "{}");
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
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a", "A", "A"));
        auto executor = std::make_shared<SerialExecutor>(u"test"_qs);
        Book book({dir.path()}, 50ms, 300ms, executor);
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
        test::TempDir dir;
        QSemaphore answer;
        std::atomic<QThread*> checkedOn = nullptr;
        VCardFolderRepository repository({dir.path()}, QString(), 200ms, 50ms, nullptr, QString(),
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
        test::TempDir dir;
        dir.write(u"one/a.vcf"_qs, vcard("a", "A", "A"));
        dir.write(u"two/b.vcf"_qs, vcard("b", "B", "B"));
        Book book({dir.filePath(u"one"_qs)});
        QCOMPARE(test::ids(book.fetch()), QStringList{"a"});
        QSignalSpy switched(&book.repository, &VCardFolderRepository::foldersChanged);
        book.repository.setFolders({dir.filePath(u"two"_qs)});
        QCOMPARE(switched.count(), 1);
        QCOMPARE(test::ids(book.fetch()), QStringList{"b"});
    }
};

QTEST_GUILESS_MAIN(TestVCardFolderRepository)
#include "TestVCardFolderRepository.moc"
