// The contact cache: a later run reads only what changed, and whatever happened to the files or to
// the cache in between, the book holds exactly the people the files hold.
#include "Contacts/ContactCache.h"
#include "Contacts/VCardBook.h"
#include "TestSupport/People.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

using namespace pemmo;

namespace {

// Long enough ago that the cache takes the files in.
constexpr qint64 kOldSeconds = 1'600'000'000;

QByteArray vcard(const QByteArray& uid, const QByteArray& given, const QByteArray& family) {
    return test::vcard(uid, given, family, "EMAIL;TYPE=HOME:" + given.toLower() + "@example.org\r\n");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qUtf8Printable(path));
}

void setModified(const QString& path, qint64 seconds, long nanoseconds = 0) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        qFatal("cannot set the time of %s", qUtf8Printable(path));
}

struct timespec modifiedOf(const QString& path) {
    struct stat info;
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mtim;
}

// What the files hold, read without any cache.
QList<Person> fromFiles(const QStringList& folders) {
    VCardBook book(folders, 1);
    return test::values(book.people());
}

QList<ContactCache::File> roundTrip(const QList<ContactCache::File>& files) {
    return ContactCache::decode(ContactCache::encode({u"/a"_qs}, files), {u"/a"_qs});
}

struct Cached {
    explicit Cached(const QStringList& folders, const QString& cacheFolder)
        : book(folders, 1) {
        book.setCacheFolder(cacheFolder);
    }
    QList<Person> read() {
        QList<Person> people = test::values(book.people());
        book.saveCache();
        return people;
    }
    VCardBook book;
};

} // namespace

class TestContactCache : public QObject {
    Q_OBJECT

    test::TempDir m_home;
    QString m_book;
    QString m_cache;

    // Three files in the book itself and one in an address book below it, all long unchanged.
    void makeBook() {
        m_book = m_home.filePath(u"book"_qs);
        m_cache = m_home.filePath(u"cache"_qs);
        QDir(m_book).removeRecursively();
        QDir(m_cache).removeRecursively();
        QFile::remove(m_cache); // where a test put a file in its way
        writeFile(m_book + u"/ada.vcf"_qs, vcard("ada", "Ada", "Lovelace"));
        writeFile(m_book + u"/alan.vcf"_qs, vcard("alan", "Alan", "Turing"));
        writeFile(m_book + u"/grace.vcf"_qs, vcard("grace", "Grace", "Hopper"));
        writeFile(m_book + u"/work/edsger.vcf"_qs, vcard("edsger", "Edsger", "Dijkstra"));
        for (const QString& name : {u"ada"_qs, u"alan"_qs, u"grace"_qs, u"work/edsger"_qs})
            setModified(m_book + u'/' + name + u".vcf"_qs, kOldSeconds);
    }

    QString cacheFile() const { return ContactCache::pathFor(m_cache, {m_book}); }

private Q_SLOTS:
    void init() { makeBook(); }

    void encodingKeepsEveryField() {
        Person full;
        full.id = u"X-1"_qs;
        full.givenName = u"Zoë"_qs;
        full.familyName = u"Ñúñez"_qs;
        full.nickname = u"Zo"_qs;
        full.organization = u""_qs; // present but empty is not absent
        full.jobTitle = u"Luthier"_qs;
        full.emails = {{u"home"_qs, u"zoe@example.org"_qs}, {u"work"_qs, u"z@example.com"_qs}};
        full.phones = {{u"mobile"_qs, u"+44 1"_qs}};
        full.birthday = DateComponents{std::nullopt, 2, 29};
        full.thumbnail = QByteArray("\x89PNG\0\x01", 6);
        full.hasFullImage = true;
        Person bare;
        bare.id = u"X-2"_qs;
        bare.birthday = DateComponents{1990, 12, 31};
        const QList<ContactCache::File> files{
            {{u"/a/x.vcf"_qs, 1'234'567'890'123'456'789, 321, 77}, {{full, 2, true}, {bare, 3, false}}},
            {{u"/a/empty.vcf"_qs, 5, 0, 78}, {}}};

        const QList<ContactCache::File> decoded = roundTrip(files);
        QCOMPARE(decoded, files); // in the order written
    }

    // A label is kept once however many people carry it, whether it is among the first few met
    // or one of many custom ones.
    void labelsComeBackSharedWhateverTheirNumber() {
        QList<ContactCache::Card> cards;
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 80; ++i) {
                Person person;
                person.id = u"P-"_qs + QString::number(round * 100 + i);
                person.emails = {{u"label "_qs + QString::number(i), u"x@example.org"_qs}};
                person.phones = {{u""_qs, u"1"_qs}, {QString(), u"2"_qs}};
                cards.append({person, int(cards.size()) + 1, false});
            }
        }
        const QList<ContactCache::File> files{{{u"/a/x.vcf"_qs, 5, 10, 7}, cards}};
        const QList<ContactCache::File> decoded = roundTrip(files);
        QCOMPARE(decoded, files);
        const QList<ContactCache::Card> back = decoded[0].cards;
        for (int i = 0; i < 80; ++i)
            QVERIFY(back[i].person.emails[0].label.isSharedWith(back[80 + i].person.emails[0].label));
    }

    // Colleagues share a company and a title, many people a given name: each comes back as one
    // string, and a null or empty text stays as it was.
    void repeatedNamesComeBackShared() {
        Person first = test::person(u"A"_qs, u"Anna"_qs, u"Berg"_qs);
        first.organization = u"Acme"_qs;
        first.jobTitle = u"Engineer"_qs;
        // Equal texts made apart, as two vCards give them.
        Person second = test::person(u"B"_qs, QString::fromUtf8("Anna"), QString::fromUtf8("Berg"));
        second.organization = QString::fromUtf8("Acme");
        second.jobTitle = QString::fromUtf8("Engineer");
        Person third = test::person(u"C"_qs, u""_qs);
        third.organization = u""_qs;
        const QList<ContactCache::File> files{
            {{u"/a/x.vcf"_qs, 5, 10, 7}, {{first, 1, false}, {second, 2, false}, {third, 3, false}}}};
        const QList<ContactCache::File> decoded = roundTrip(files);
        QCOMPARE(decoded, files);
        const Person& a = decoded[0].cards[0].person;
        const Person& b = decoded[0].cards[1].person;
        QVERIFY(a.givenName.isSharedWith(b.givenName));
        QVERIFY(a.familyName.isSharedWith(b.familyName));
        QVERIFY(a.organization->isSharedWith(*b.organization));
        QVERIFY(a.jobTitle->isSharedWith(*b.jobTitle));
        const Person& c = decoded[0].cards[2].person;
        QVERIFY(c.familyName.isNull());
        QVERIFY(!c.givenName.isNull() && c.givenName.isEmpty());
        QVERIFY(c.organization.has_value() && c.organization->isEmpty());
        QVERIFY(!c.jobTitle.has_value());
    }

    // A later run parses no unchanged file, and leaves the cache as it is: writing ten thousand
    // people again only to get the same file was a good share of a command.
    void aRunServedWhollyByTheCacheParsesNothingAndLeavesItAsItIs() {
        Cached({m_book}, m_cache).read();
        Cached later({m_book}, m_cache);
        QCOMPARE(test::values(later.book.people()), fromFiles({m_book}));
        QCOMPARE(later.book.parseCount(), 0);
        QVERIFY(!later.book.saveCache());

        // Once a file changes, the cache is written again.
        writeFile(m_book + u"/ada.vcf"_qs, vcard("ada", "Ada", "King"));
        setModified(m_book + u"/ada.vcf"_qs, kOldSeconds + 1);
        Cached changed({m_book}, m_cache);
        QCOMPARE(test::values(changed.book.people()), fromFiles({m_book}));
        QVERIFY(changed.book.saveCache());
    }

    // The book looks for each cached file at the next place first; files cached in another
    // order than the listing's are still found, and none is parsed.
    void filesCachedInAnotherOrderAreStillServed() {
        const QList<Person> expected = Cached({m_book}, m_cache).read();
        QFile file(cacheFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<ContactCache::File> files = ContactCache::decode(file.readAll(), {m_book});
        file.close();
        QVERIFY(files.size() > 2);
        std::reverse(files.begin(), files.end());
        writeFile(cacheFile(), ContactCache::encode({m_book}, files));

        Cached later({m_book}, m_cache);
        QCOMPARE(later.read(), expected);
        QCOMPARE(later.book.parseCount(), 0);
    }

    // Each way the files or the cache can change between two runs; the second run must hold
    // exactly what the files then hold.
    void theBookHoldsWhatTheFilesHold_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("changed in place within the same second, same size") << u"same-second"_qs;
        QTest::newRow("replaced by rename, same size and time") << u"rename"_qs;
        QTest::newRow("file removed") << u"file-removed"_qs;
        QTest::newRow("file added") << u"file-added"_qs;
        QTest::newRow("address book folder removed") << u"folder-removed"_qs;
        QTest::newRow("cache damaged") << u"damaged"_qs;
        QTest::newRow("cache cut short") << u"truncated"_qs;
        QTest::newRow("cache from another version") << u"version"_qs;
        QTest::newRow("cache of other folders") << u"other-folders"_qs;
        QTest::newRow("cache not a cache") << u"garbage"_qs;
    }

    void theBookHoldsWhatTheFilesHold() {
        QFETCH(QString, change);
        const QString grace = m_book + u"/grace.vcf"_qs;
        if (change == u"same-second") {
            // Written now: the stamp of a second change within the same tick would not differ.
            writeFile(grace, vcard("grace", "Grace", "Hopper"));
        }
        const QList<Person> before = Cached({m_book}, m_cache).read();
        QCOMPARE(before, fromFiles({m_book}));

        QByteArray cache;
        {
            QFile file(cacheFile());
            QVERIFY(file.open(QIODevice::ReadOnly));
            cache = file.readAll();
        }
        const auto rewriteCache = [this](const QByteArray& bytes) { writeFile(cacheFile(), bytes); };
        const auto sameSizeEdit = [&](const QString& path, const QByteArray& bytes) {
            const struct timespec was = modifiedOf(path);
            writeFile(path, bytes);
            setModified(path, was.tv_sec, was.tv_nsec);
        };

        if (change == u"same-second") {
            sameSizeEdit(grace, vcard("grace", "Grete", "Hopper"));
        } else if (change == u"rename") {
            const QString temporary = m_book + u"/.grace.tmp"_qs;
            writeFile(temporary, vcard("grace", "Grete", "Hopper"));
            setModified(temporary, kOldSeconds);
            QVERIFY(::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(grace).constData()) == 0);
        } else if (change == u"file-removed") {
            QVERIFY(QFile::remove(grace));
        } else if (change == u"file-added") {
            writeFile(m_book + u"/barbara.vcf"_qs, vcard("barbara", "Barbara", "Liskov"));
            setModified(m_book + u"/barbara.vcf"_qs, kOldSeconds);
        } else if (change == u"folder-removed") {
            QVERIFY(QDir(m_book + u"/work"_qs).removeRecursively());
        } else if (change == u"damaged" || change == u"garbage" || change == u"truncated" ||
                   change == u"version" || change == u"other-folders") {
            // The files change too, in a way only their contents show, so a cache wrongly
            // trusted would give the old people.
            sameSizeEdit(m_book + u"/ada.vcf"_qs, vcard("ada", "Adu", "Lovelace"));
            if (change == u"damaged") {
                cache[cache.size() / 2] = char(cache[cache.size() / 2] ^ 0x20);
            } else if (change == u"truncated") {
                cache.chop(cache.size() / 3);
            } else if (change == u"garbage") {
                cache = QByteArray(cache.size(), '\xff');
            } else if (change == u"version") {
                cache[8] = char(cache[8] + 1); // the format version follows the 8-byte magic
            } else {
                const QString other = m_home.filePath(u"other"_qs);
                cache = ContactCache::encode({other}, ContactCache::decode(cache, {m_book}));
            }
            rewriteCache(cache);
        }

        Cached later({m_book}, m_cache);
        const QList<Person> after = later.read();
        QCOMPARE(after, fromFiles({m_book}));
        if (change != u"file-removed" && change != u"folder-removed")
            QVERIFY(after != before);

        // And what the later run wrote serves the next one as well.
        Cached next({m_book}, m_cache);
        QCOMPARE(next.read(), after);
    }

    // A file changed since the last run is read again; so is one changed just before that run's
    // listing, which the cache must not have taken in.
    void aLaterRunReadsOnlyTheRecentlyChangedFile_data() {
        QTest::addColumn<bool>("justBefore");
        QTest::newRow("changed since") << false;
        QTest::newRow("changed just before the listing") << true;
    }
    void aLaterRunReadsOnlyTheRecentlyChangedFile() {
        QFETCH(bool, justBefore);
        const auto change = [this] {
            writeFile(m_book + u"/alan.vcf"_qs, vcard("alan", "Alan M.", "Turing"));
        };
        if (justBefore)
            change();
        Cached({m_book}, m_cache).read();
        if (!justBefore)
            change();
        Cached later({m_book}, m_cache);
        QCOMPARE(later.read(), fromFiles({m_book}));
        QCOMPARE(later.book.parseCount(), 1);
    }

    void anUnwritableCacheIsOnlySlower() {
        writeFile(m_cache, "a file where the cache folder should be");
        Cached first({m_book}, m_cache);
        QCOMPARE(first.read(), fromFiles({m_book}));
        QVERIFY(!first.book.saveCache());
        Cached later({m_book}, m_cache);
        QCOMPARE(later.read(), fromFiles({m_book}));
        QCOMPARE(later.book.parseCount(), 4);
    }
};

QTEST_GUILESS_MAIN(TestContactCache)
#include "TestContactCache.moc"
