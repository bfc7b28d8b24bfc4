// Starting at login: the XDG autostart entry is written where the desktop looks for it (following
// $XDG_CONFIG_HOME), read back as on, and removed again; an entry the desktop switched off reads as
// off.
#include "Settings/AutostartEntry.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QSettings>
#include <QTest>

using namespace pemmo;

class TestAutostartEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theEntryFollowsXdgConfigHome() {
        test::TempDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        AutostartEntry entry({}, u"/opt/pemmo/bin/pemmo"_qs);
        QCOMPARE(entry.path(), home.filePath(u"autostart/pemmo.desktop"_qs));
        QVERIFY(!entry.isEnabled());

        QVERIFY(entry.setEnabled(true));
        QVERIFY(home.exists(u"autostart/pemmo.desktop"_qs));
        QVERIFY(entry.isEnabled());
        // What the desktop reads: a desktop entry that runs this program.
        QSettings desktop(entry.path(), QSettings::IniFormat);
        desktop.beginGroup(u"Desktop Entry"_qs);
        QCOMPARE(desktop.value(u"Type"_qs).toString(), u"Application"_qs);
        QCOMPARE(desktop.value(u"Exec"_qs).toString(), u"/opt/pemmo/bin/pemmo"_qs);

        QVERIFY(entry.setEnabled(false));
        QVERIFY(!home.exists(u"autostart/pemmo.desktop"_qs));
        QVERIFY(!entry.isEnabled());
        // Switching off what is already off is no failure.
        QVERIFY(entry.setEnabled(false));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void anEntryTheDesktopSwitchedOffReadsAsOff_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("hidden") << QByteArray("Hidden=true") << false;
        QTest::newRow("GNOME switch off") << QByteArray("X-GNOME-Autostart-enabled=false") << false;
        QTest::newRow("GNOME switch on") << QByteArray("X-GNOME-Autostart-enabled=true") << true;
    }
    void anEntryTheDesktopSwitchedOffReadsAsOff() {
        QFETCH(QByteArray, line);
        QFETCH(bool, enabled);
        test::TempDir home;
        QDir(home.path()).mkpath(u"autostart"_qs);
        home.write(u"autostart/pemmo.desktop"_qs,
                   "[Desktop Entry]\nType=Application\nExec=pemmo\n" + line + "\n");
        QCOMPARE(AutostartEntry(home.path()).isEnabled(), enabled);
    }

    void aCommandWithSpacesIsQuoted() {
        test::TempDir home;
        AutostartEntry entry(home.path(), u"/home/u/My Apps/pemmo"_qs);
        QVERIFY(entry.setEnabled(true));
        QVERIFY(home.read(u"autostart/pemmo.desktop"_qs).contains("Exec=\"/home/u/My Apps/pemmo\"\n"));
    }

    void aFolderThatCannotBeMadeIsReported() {
        test::TempDir home;
        home.write(u"autostart"_qs, "a file where the folder belongs");
        QString error;
        QVERIFY(!AutostartEntry(home.path(), u"pemmo"_qs).setEnabled(true, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "TestAutostartEntry.moc"
