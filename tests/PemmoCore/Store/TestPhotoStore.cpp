// Replacement photos: file naming, atomic saves, removal and pruning.
#include "Store/PhotoStore.h"
#include "Support/FileError.h"
#include "TestSupport/Await.h"
#include "TestSupport/TempDir.h"

#include <QTest>

using namespace pemmo;
using test::await;

class TestPhotoStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileStems_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("stem");
        QTest::newRow("address book id") << u"ABC:ABPerson"_qs << u"ABC_ABPerson"_qs;
        QTest::newRow("urn with slashes") << u"urn:uuid:a/b"_qs << u"urn_uuid_a_b"_qs;
        QTest::newRow("plain") << u"4F2A"_qs << u"4F2A"_qs;
    }

    void fileStems() {
        QFETCH(QString, id);
        QFETCH(QString, stem);
        QCOMPARE(PhotoStore::fileStem(id), stem);
    }

    void saveCreatesTheFolderAndReadsBack() {
        test::TempDir dir;
        PhotoStore photos(dir.filePath(u"Pemmo/Photos"_qs));
        QCOMPARE(await(photos.photo(u"ABC:ABPerson"_qs)), std::nullopt);
        await(photos.save("\xFF\xD8jpeg", u"ABC:ABPerson"_qs));
        QCOMPARE(dir.read(u"Pemmo/Photos/ABC_ABPerson.jpg"_qs), QByteArray("\xFF\xD8jpeg"));
        await(photos.save("second", u"ABC:ABPerson"_qs));
        QCOMPARE(await(photos.photo(u"ABC:ABPerson"_qs)), QByteArray("second"));
    }

    void saveFailsWhenTheFolderCannotBeMade() {
        test::TempDir dir;
        dir.write(u"Photos"_qs, "file in the way");
        PhotoStore photos(dir.filePath(u"Photos"_qs));
        QVERIFY_THROWS_EXCEPTION(FileError, await(photos.save("x", u"A"_qs)));
    }

    void removingAMissingPhotoSucceeds() {
        test::TempDir dir;
        PhotoStore photos(dir.path());
        await(photos.save("x", u"A"_qs));
        await(photos.removePhoto(u"B"_qs));
        await(photos.removePhoto(u"A"_qs));
        QVERIFY(dir.entries().isEmpty());
        await(PhotoStore(dir.filePath(u"never-made"_qs)).removePhoto(u"A"_qs));
    }

    void pruneDeletesOnlyUnkeptJpegs() {
        test::TempDir dir;
        PhotoStore photos(dir.path());
        await(photos.save("x", u"KEEP:ABPerson"_qs));
        await(photos.save("x", u"GONE"_qs));
        dir.write(u"notes.txt"_qs, "mine");
        dir.write(u"picture.png"_qs, "mine");
        QCOMPARE(await(photos.prune({u"KEEP:ABPerson"_qs})), 1);
        QCOMPARE(dir.entries(), QStringList({u"KEEP_ABPerson.jpg"_qs, u"notes.txt"_qs, u"picture.png"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "TestPhotoStore.moc"
