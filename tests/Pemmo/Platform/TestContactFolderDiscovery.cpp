// Finding the vCard folders vdirsyncer and khard keep, from their configuration and on disk.
#include "Platform/ContactFolderDiscovery.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QTest>

using namespace pemmo;

class TestContactFolderDiscovery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void configurationPathsAreRead_data() {
        QTest::addColumn<bool>("vdirsyncer");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("khard, two books") << false
                                          << u"[addressbooks]\n[[family]]\npath = ~/.contacts/family/\n"
                                             "[[work]]\npath = /srv/work\n[general]\neditor = vim\n"_qs
                                          << QStringList{u"/home/u/.contacts/family"_qs, u"/srv/work"_qs};
        QTest::newRow("khard, commented out")
            << false << u"[addressbooks]\n[[a]]\n# path = ~/x\n"_qs << QStringList{};
        QTest::newRow("vdirsyncer, the local storage only")
            << true
            << u"[pair contacts]\na = \"contacts_local\"\n\n[storage contacts_local]\ntype = \"filesystem\"\n"
               "path = \"~/.contacts/\"\nfileext = \".vcf\"\n\n[storage contacts_remote]\ntype = "
               "\"carddav\"\n"
               "url = \"https://dav.example.com/\"\n"_qs
            << QStringList{u"/home/u/.contacts"_qs};
        QTest::newRow("vdirsyncer, path before type")
            << true << u"[storage a]\npath = '/data/book'\ntype = 'filesystem'\n"_qs
            << QStringList{u"/data/book"_qs};
    }
    void configurationPathsAreRead() {
        QFETCH(bool, vdirsyncer);
        QFETCH(QString, config);
        QFETCH(QStringList, paths);
        const QString home = u"/home/u"_qs;
        QCOMPARE(vdirsyncer ? ContactFolderDiscovery::vdirsyncerPaths(config, home)
                            : ContactFolderDiscovery::khardPaths(config, home),
                 paths);
    }

    // A vdirsyncer storage keeps one collection per subfolder; only folders with vCards count,
    // and a folder named twice is offered once. An empty home has none.
    void foldersWithVCardsAreFoundOnce() {
        test::TempDir home;
        QVERIFY(ContactFolderDiscovery::find(home.path(), home.filePath(u".config"_qs)).isEmpty());
        const QByteArray card = "BEGIN:VCARD\r\nEND:VCARD\r\n";
        home.write(u".config/vdirsyncer/config"_qs,
                   "[storage local]\ntype = \"filesystem\"\npath = \"~/.contacts/\"\nfileext = \".vcf\"\n");
        home.write(u".config/khard/khard.conf"_qs,
                   "[addressbooks]\n[[friends]]\npath = ~/.contacts/friends\n");
        home.write(u".contacts/friends/a.vcf"_qs, card);
        home.write(u".contacts/work/b.vcf"_qs, card);
        QDir().mkpath(home.filePath(u".contacts/empty"_qs));
        home.write(u".local/share/contacts/c.vcf"_qs, card);

        const auto found = ContactFolderDiscovery::find(home.path(), home.filePath(u".config"_qs));
        QStringList paths;
        QStringList sources;
        for (const auto& f : found) {
            paths.append(QDir(home.path()).relativeFilePath(f.path));
            sources.append(f.source);
        }
        QCOMPARE(paths,
                 (QStringList{u".contacts/friends"_qs, u".contacts/work"_qs, u".local/share/contacts"_qs}));
        QCOMPARE(sources, (QStringList{u"vdirsyncer"_qs, u"vdirsyncer"_qs, u"found"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestContactFolderDiscovery)
#include "TestContactFolderDiscovery.moc"
