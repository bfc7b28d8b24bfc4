// Bursts of file-system events in vCard folders, turned into single reports.
#include "Contacts/VCardFolderWatcher.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

QByteArray vcard(const QByteArray& uid) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + uid + "\r\nEND:VCARD\r\n";
}

void append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qUtf8Printable(path));
}

} // namespace

class TestVCardFolderWatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endlessBurstIsReportedAnyway() {
        test::TempDir dir;
        VCardFolderWatcher watcher(50ms);
        watcher.watch({dir.path()});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);
        // Writes keep coming faster than the quiet period for well over ten quiet periods.
        for (int i = 0; i < 60 && changed.isEmpty(); ++i) {
            dir.write(u"c%1.vcf"_qs.arg(i), vcard(QByteArray::number(i)));
            QTest::qWait(15);
        }
        QVERIFY(!changed.isEmpty());
    }

    void stateAReaderAdoptedIsNotReportedAgain() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a"));
        VCardFolderWatcher watcher(100ms);
        watcher.watch({dir.path()});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);

        dir.write(u"b.vcf"_qs, vcard("b"));
        // A fetch reads the new file before the burst has settled.
        watcher.adopt({dir.path()}, VCardBook::list({dir.path()}));
        QTest::qWait(400);
        QCOMPARE(changed.count(), 0);

        dir.write(u"c.vcf"_qs, vcard("c"));
        QTRY_COMPARE(changed.count(), 1);
    }

    void largeBooksWatchOnlyTheirFolders() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a"));
        dir.write(u"b.vcf"_qs, vcard("b"));
        VCardFolderWatcher watcher(50ms, nullptr, 1);
        watcher.watch({dir.path()});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);

        append(dir.filePath(u"a.vcf"_qs), "\r\n"); // in place: left to the regular refresh
        QTest::qWait(300);
        QCOMPARE(changed.count(), 0);

        dir.write(u"c.vcf"_qs, vcard("c"));
        QTRY_COMPARE(changed.count(), 1);
    }

    void smallBooksSeeEditsInPlace() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a"));
        VCardFolderWatcher watcher(50ms);
        watcher.watch({dir.path()});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);
        append(dir.filePath(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(changed.count(), 1);
        // The file stays watched after it was reported.
        append(dir.filePath(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(changed.count(), 2);
    }

    void folderGoingAwayIsReported() {
        test::TempDir dir;
        const QString folder = dir.filePath(u"book"_qs);
        QDir().mkpath(folder);
        VCardFolderWatcher watcher(50ms);
        watcher.watch({folder});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);

        QVERIFY(QDir(folder).removeRecursively());
        QTRY_COMPARE(changed.count(), 1);
    }

    void replacedFileIsStillWatched() {
        test::TempDir dir;
        dir.write(u"a.vcf"_qs, vcard("a"));
        VCardFolderWatcher watcher(50ms);
        watcher.watch({dir.path()});
        QSignalSpy changed(&watcher, &VCardFolderWatcher::changed);

        // Replaced by renaming over it, as careful writers do.
        dir.write(u"a.vcf.new"_qs, vcard("a2"));
        QVERIFY(QFile::remove(dir.filePath(u"a.vcf"_qs)));
        QVERIFY(QFile::rename(dir.filePath(u"a.vcf.new"_qs), dir.filePath(u"a.vcf"_qs)));
        QTRY_COMPARE(changed.count(), 1);

        append(dir.filePath(u"a.vcf"_qs), "\r\n");
        QTRY_COMPARE(changed.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestVCardFolderWatcher)
#include "TestVCardFolderWatcher.moc"
