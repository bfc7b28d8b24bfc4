// Replacement photos. Image files picked as one: real pictures come out as upright JPEGs no larger
// than a stored photo, and what is no picture or too large is refused with the reason. The photos
// kept: file naming, atomic saves, removal and pruning.
#include "Store/PhotoImport.h"
#include "Store/PhotoStore.h"
#include "Support/FileError.h"
#include "Support/HandOver.h"
#include "TestSupport/Await.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QThreadPool>
#include <zlib.h>

using namespace pemmo;
using test::await;

namespace {

QString photo(const QString& name) {
    return test::testDataPath(u"photos/"_qs + name);
}

QImage decoded(const QByteArray& bytes, QByteArray* format = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    if (format)
        *format = reader.format();
    return reader.read();
}

} // namespace

class TestPhotoImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
#ifdef PEMMO_THREAD_SANITIZER
        // Qt Gui scales a large picture in bands on Qt's global thread pool. With one pool thread
        // the bands still run off this thread, but no two pool threads share the pool's own
        // bookkeeping, which Qt guards with a mutex ThreadSanitizer cannot see.
        QThreadPool::globalInstance()->setMaxThreadCount(1);
#endif
    }

    void picturesBecomeUprightJPEGsOfAtMostTheStoredSize_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        // Larger than a stored photo: scaled to fit, the shape kept.
        QTest::newRow("large JPEG") << u"portrait-1600x1200.jpg"_qs << QSize(1024, 768);
        // Stored sideways with a note to turn it: saved turned, with no note left to obey.
        QTest::newRow("JPEG with an orientation") << u"sideways-300x200.jpg"_qs << QSize(200, 300);
        // Small: kept at its size, only re-encoded.
        QTest::newRow("small PNG") << u"transparent-64x48.png"_qs << QSize(64, 48);
    }
    void picturesBecomeUprightJPEGsOfAtMostTheStoredSize() {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const PhotoImport::Result result = PhotoImport::fromFile(photo(file));
        QVERIFY(result.ok());
        QByteArray format;
        const QImage image = decoded(result.jpeg, &format);
        QCOMPARE(format, QByteArray("jpeg"));
        QCOMPARE(image.size(), size);
    }

    void transparencyShowsWhite() {
        const PhotoImport::Result result = PhotoImport::fromFile(photo(u"transparent-64x48.png"_qs));
        QVERIFY(result.ok());
        const QImage image = decoded(result.jpeg);
        // A corner of the PNG is see-through; JPEG would otherwise make it black.
        QVERIFY(qGray(image.pixel(0, 0)) > 240);
        // The disc in the middle keeps its green.
        const QRgb middle = image.pixel(32, 24);
        QVERIFY(qGreen(middle) > qRed(middle) + 40);
    }

    void whatCannotBeStoredIsRefusedWithTheReason_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("problem");
        QTest::newRow("a vCard named .jpg")
            << photo(u"not-an-image.jpg"_qs) << int(PhotoImport::Problem::NotAnImage);
        QTest::newRow("no such file") << photo(u"missing.jpg"_qs) << int(PhotoImport::Problem::Unreadable);
        QTest::newRow("a folder") << photo(QString()) << int(PhotoImport::Problem::Unreadable);
    }
    void whatCannotBeStoredIsRefusedWithTheReason() {
        QFETCH(QString, file);
        QFETCH(int, problem);
        const PhotoImport::Result result = PhotoImport::fromFile(file);
        QCOMPARE(int(result.problem), problem);
        QVERIFY(result.jpeg.isEmpty());
        QVERIFY(!PhotoImport::message(result.problem).isEmpty());
    }

    void aFileOverTheLimitIsNotRead() {
        test::TempDir dir;
        // A real picture padded past the limit: refused for its size, whatever it holds.
        QFile source(photo(u"portrait-1600x1200.jpg"_qs));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QFile big(dir.filePath(u"huge.jpg"_qs));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(source.readAll());
        QVERIFY(big.resize(PhotoImport::defaultMaxFileBytes + 1));
        big.close();
        QCOMPARE(PhotoImport::fromFile(big.fileName()).problem, PhotoImport::Problem::TooLarge);
        // The same picture under the limit is taken.
        QVERIFY(PhotoImport::fromFile(source.fileName()).ok());
    }

    void aPictureWithTooManyPixelsIsRefusedBeforeDecoding() {
        // A PNG header claiming 20000 × 20000 pixels: a tiny file that would need 1.6 GB decoded.
        QImage small(1, 1, QImage::Format_RGB32);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(small.save(&buffer, "PNG"));
        // IHDR's width and height follow the signature (8), the chunk length (4) and type (4).
        const auto put = [&](int at, quint32 value) {
            for (int i = 0; i < 4; ++i)
                bytes[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
        };
        put(16, 20000);
        put(20, 20000);
        // The chunk's CRC-32 covers its type and data (bytes 12 to 28).
        put(29, quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData() + 12), 17)));
        QCOMPARE(PhotoImport::fromBytes(bytes).problem, PhotoImport::Problem::TooLarge);
    }

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

QTEST_GUILESS_MAIN(TestPhotoImport)
#include "TestPhotoImport.moc"
