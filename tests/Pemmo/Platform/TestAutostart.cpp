// "Start at login" through the XDG autostart folder: the entry written and removed, switched off
// by the desktop's own settings, and a folder that cannot be written left as it was.
#include "Platform/Autostart.h"
#include "TestSupport/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace pemmo;

class TestAutostart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void enablingWritesAnEntryThatDisablingRemoves() {
        test::TempDir dir;
        Autostart autostart(dir.filePath(u"config/autostart"_qs), u"pemmo"_qs);
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.setEnabled(true));
        QVERIFY(autostart.isEnabled());
        QVERIFY(QFile::exists(dir.filePath(u"config/autostart/pemmo.desktop"_qs)));
        QVERIFY(autostart.setEnabled(true)); // again: still one entry
        QVERIFY(autostart.setEnabled(false));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(!QFile::exists(autostart.entryPath()));
        QVERIFY(autostart.setEnabled(false)); // nothing to remove is no failure
    }

    void switchedOffByTheDesktop_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("hidden") << QByteArray("Hidden=true") << false;
        QTest::newRow("gnome switch off") << QByteArray("X-GNOME-Autostart-enabled=false") << false;
        QTest::newRow("hidden false") << QByteArray("Hidden=false") << true;
        QTest::newRow("spaces around") << QByteArray("Hidden = true") << false;
    }

    void switchedOffByTheDesktop() {
        QFETCH(QByteArray, line);
        QFETCH(bool, enabled);
        test::TempDir dir;
        Autostart autostart(dir.path(), u"pemmo"_qs);
        QVERIFY(autostart.setEnabled(true));
        QFile file(autostart.entryPath());
        QVERIFY(file.open(QIODevice::Append));
        file.write(line + '\n');
        file.close();
        QCOMPARE(autostart.isEnabled(), enabled);
        // A key of another group says nothing about the entry.
        dir.write(u"pemmo.desktop"_qs,
                  Autostart::entry(u"pemmo"_qs) + "\n[Desktop Action X]\n" + line + '\n');
        QVERIFY(autostart.isEnabled());
    }

    void theEntryRunsTheProgram_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("exec");
        QTest::newRow("on the path") << u"pemmo"_qs << QByteArray("Exec=pemmo\n");
        QTest::newRow("full path") << u"/opt/pemmo/bin/pemmo"_qs << QByteArray("Exec=/opt/pemmo/bin/pemmo\n");
        QTest::newRow("space in path") << u"/home/a b/pemmo"_qs << QByteArray("Exec=\"/home/a b/pemmo\"\n");
        QTest::newRow("quote in path")
            << u"/tmp/it\"s/pemmo"_qs << QByteArray("Exec=\"/tmp/it\\\"s/pemmo\"\n");
    }

    void theEntryRunsTheProgram() {
        QFETCH(QString, program);
        QFETCH(QByteArray, exec);
        const QByteArray entry = Autostart::entry(program);
        QVERIFY2(entry.contains(QByteArray('\n' + exec)), entry.constData());
        QCOMPARE(entry.count("Exec="), 1);
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    }

    void theWrittenEntryIsAValidDesktopFile() {
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_qs);
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed");
        test::TempDir dir;
        Autostart autostart(dir.path(), u"/home/a b/pemmo"_qs);
        QVERIFY(autostart.setEnabled(true));
        QProcess process;
        process.start(validator, {autostart.entryPath()});
        QVERIFY(process.waitForFinished());
        QVERIFY2(process.exitCode() == 0, process.readAll().constData());
        QCOMPARE(process.readAll(), QByteArray());
    }

    void aFolderThatCannotBeMadeIsReported() {
        test::TempDir dir;
        dir.write(u"autostart"_qs, "a file where the folder should be");
        Autostart autostart(dir.filePath(u"autostart"_qs), u"pemmo"_qs);
        QVERIFY(!autostart.setEnabled(true));
        QVERIFY(autostart.error().contains(dir.filePath(u"autostart"_qs)));
        QCOMPARE(dir.read(u"autostart"_qs), QByteArray("a file where the folder should be"));
        QVERIFY(!autostart.isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "TestAutostart.moc"
