// The command line as a user runs it: the real `pemmo` binary over a data folder of its own.
#include "Records/PemmoRecord.h"
#include "Store/StoreFile.h"
#include "TestSupport/PemmoCommand.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TestData.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTest>
#include <functional>

using namespace pemmo;

namespace {

using Result = test::CommandResult;

const QDateTime kTime = QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);

QByteArray exportOf(const RecordMap& records) {
    return QByteArray::fromStdString(StoreFile::encodeForExport(records));
}

PemmoRecord withAbout(const QString& about) {
    PemmoRecord r = PemmoRecord::fresh(kTime);
    r.about = about;
    return r;
}

// A vCard with `more` lines (each ending in CR LF) after its name.
QByteArray card(const QByteArray& uid, const QByteArray& name, const QByteArray& more = {}) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + name + "\r\n" + more + "END:VCARD\r\n";
}

// Long unchanged, so that the contact cache takes the file in.
void makeOld(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(
        file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-30), QFileDevice::FileModificationTime));
}

// Every file and folder under `folder` with its bytes and time of change: two snapshots are equal
// when nothing was written, made or removed there.
QMap<QString, QPair<QByteArray, QDateTime>> snapshot(const QString& folder) {
    QMap<QString, QPair<QByteArray, QDateTime>> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QByteArray bytes;
        if (info.isFile()) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
        }
        files.insert(QDir(folder).relativeFilePath(info.filePath()),
                     {bytes, info.fileTime(QFileDevice::FileModificationTime)});
    }
    return files;
}

// What the running Pemmo would be to `pemmo import`: it listens on the socket, reads the file the
// request names while the command waits, and answers as a merge of one record.
class ImportListener {
public:
    explicit ImportListener(const QString& socketPath) {
        QVERIFY(m_server.listen(socketPath));
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
            QLocalSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const QByteArray line = socket->readLine().trimmed();
                const QJsonObject request = QJsonDocument::fromJson(line.mid(line.indexOf(' ') + 1)).object();
                m_name = request[u"name"].toString();
                QFile file(request[u"file"].toString());
                if (line.startsWith("import ") && file.open(QIODevice::ReadOnly))
                    m_received = file.readAll();
                socket->write(R"({"exitCode":0,"out":"Merged 1 record.\n","err":"","merged":1})"
                              "\n");
                socket->disconnectFromServer();
            });
        });
    }

    const QByteArray& received() const { return m_received; }
    const QString& name() const { return m_name; }

private:
    QLocalServer m_server;
    QByteArray m_received;
    QString m_name;
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    test::TempDir m_home;

    QString dataFolder() const { return m_home.filePath(u"Pemmo"_qs); }
    QString storePath() const { return dataFolder() + u"/pemmo-store.json"_qs; }

    Result pemmo(
        const QStringList& arguments,
        const std::function<void(QProcessEnvironment&)>& adjust = [](QProcessEnvironment&) {}) {
        return test::runPemmo(m_home, arguments, adjust);
    }

    // `pemmo arguments` with `input` on its standard input.
    Result pemmo(const QStringList& arguments, const QByteArray& input) {
        return test::runPemmo(
            m_home, arguments, [](QProcessEnvironment&) {}, input);
    }

    // `pemmo import` of an export file holding `records`.
    Result import(const RecordMap& records) {
        m_home.write(u"import.json"_qs, exportOf(records));
        return pemmo({u"import"_qs, m_home.filePath(u"import.json"_qs)});
    }

    RecordMap exported() {
        const Result result = pemmo({u"export"_qs});
        if (result.exitCode != 0)
            qFatal("export failed: %s", qPrintable(result.err));
        return StoreFile::decode(result.out.toUtf8(), kTime);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QDir().mkpath(m_home.filePath(u"runtime"_qs)));
        QFile::setPermissions(m_home.filePath(u"runtime"_qs),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void init() {
        QVERIFY(!qEnvironmentVariableIsEmpty("PEMMO_BINARY"));
        QDir(dataFolder()).removeRecursively();
        QDir(m_home.filePath(u"config"_qs)).removeRecursively();
        QDir(m_home.filePath(u"calendars"_qs)).removeRecursively();
    }

    void exportOfANewUserIsAnEmptyDocument() {
        const Result result = pemmo({u"export"_qs});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"{\n  \"records\": {},\n  \"schema\": 2\n}\n"_qs);
        // Commands that end quickly still unlock the data folder.
        m_home.write(u"book/a.vcf"_qs, card("a", "Ada Lovelace", "N:Lovelace;Ada;;;\r\n"));
        pemmo({u"list"_qs, u"--contacts"_qs, m_home.filePath(u"book"_qs)});
        pemmo({u"search"_qs, u"--contacts"_qs, m_home.filePath(u"book"_qs), u"ada"_qs});
        QVERIFY(!QFile::exists(dataFolder() + u"/pemmo.lock"_qs));
    }

    void importReportsHowManyRecordsItMerged() {
        Result result = import({{u"A"_qs, withAbout(u"a"_qs)}, {u"B"_qs, withAbout(u"b"_qs)}});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"Merged 2 records.\n"_qs);
        QCOMPARE(exported().value(u"B"_qs)->about, u"b"_qs);

        PemmoRecord older = withAbout(u"older"_qs);
        older.updatedAt = kTime.addDays(-1);
        result = import({{u"A"_qs, older}, {u"C"_qs, withAbout(u"c"_qs)}});
        QCOMPARE(result.out, u"Merged 1 record.\n"_qs);
        const RecordMap records = exported();
        QCOMPARE(records.size(), 3);
        QCOMPARE(records.value(u"A"_qs)->about, u"a"_qs);

        QCOMPARE(import({{u"A"_qs, older}}).out, u"Merged 0 records.\n"_qs);

        result = pemmo({u"export"_qs, m_home.filePath(u"backup.json"_qs)});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"Exported to backup.json.\n"_qs);
        QCOMPARE(StoreFile::decode(m_home.read(u"backup.json"_qs), kTime).value(u"A"_qs)->about, u"a"_qs);
    }

    void importOfAFileThatIsNotAnExportChangesNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("name,email\nAda,ada@example.org\n");
        QTest::newRow("other json") << QByteArray(R"({"contacts":[]})");
        QTest::newRow("broken record") << QByteArray(R"({"schema":2,"records":{"A":{"links":[{}]}}})");
    }

    void importOfAFileThatIsNotAnExportChangesNothing() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(import({{u"A"_qs, withAbout(u"a"_qs)}}).exitCode, 0);
        const QByteArray before = m_home.read(u"Pemmo/pemmo-store.json"_qs);

        m_home.write(u"bad.json"_qs, bytes);
        const Result result = pemmo({u"import"_qs, m_home.filePath(u"bad.json"_qs)});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(u"is not a Pemmo export file, nothing was imported"_qs),
                 qPrintable(result.err));
        // One sentence, ended once.
        QVERIFY2(result.err.endsWith(u").\n"_qs) && !result.err.contains(u".)."_qs), qPrintable(result.err));
        QCOMPARE(m_home.read(u"Pemmo/pemmo-store.json"_qs), before);
    }

    void importOfAMissingFileSaysSo() {
        const Result result = pemmo({u"import"_qs, m_home.filePath(u"nope.json"_qs)});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(u"nope.json"_qs), qPrintable(result.err));
    }

    void damagedAndEarlierStoresAreHandledAsAtStartUp() {
        m_home.write(u"Pemmo/pemmo-store.json"_qs, "{");
        QVERIFY(exported().isEmpty());
        const QStringList aside = QDir(dataFolder()).entryList({u"pemmo-store.corrupt-*.json"_qs});
        QCOMPARE(aside.size(), 1);
        QVERIFY(exported().isEmpty());
        QCOMPARE(QDir(dataFolder()).entryList({u"pemmo-store.corrupt-*.json"_qs}), aside);
        // The doctor names the damage and the copy, and changes nothing.
        const Result doctor = pemmo({u"doctor"_qs});
        QVERIFY2(
            doctor.out.contains(
                u"Store: damaged, Pemmo starts with no records: pemmo-store.json could not be decoded"_qs) &&
                doctor.out.contains(aside.first()),
            qPrintable(doctor.out));

        m_home.write(u"Pemmo/pemmo-store.json"_qs, R"({"C1":{"pemmoData":{"company":"Acme"}}})");
        QCOMPARE(exported().value(u"C1"_qs)->details.company, u"Acme"_qs);
        QVERIFY(QFile::exists(dataFolder() + u"/pemmo-store.v1.backup.json"_qs));
    }

    // While the application owns the data folder, reading commands read the records as they are
    // (repairing and writing nothing) and a command that writes is refused.
    void whileTheApplicationRunsReadsWorkAndWritesWait() {
        m_home.write(u"Pemmo/pemmo-store.json"_qs,
                     QByteArray::fromStdString(StoreFile::encode({{u"A"_qs, withAbout(u"a"_qs)}})));
        QLockFile application(dataFolder() + u"/pemmo.lock"_qs);
        QVERIFY(application.tryLock());

        QCOMPARE(exported().value(u"A"_qs)->about, u"a"_qs);
        const Result refused = import({{u"B"_qs, withAbout(u"b"_qs)}});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(u"the running Pemmo"_qs), qPrintable(refused.err));

        // A damaged file is the owner's to set aside: a reader leaves it where it is.
        m_home.write(u"Pemmo/pemmo-store.json"_qs, "{");
        QVERIFY(exported().isEmpty());
        QCOMPARE(QDir(dataFolder()).entryList({u"pemmo-store.corrupt-*.json"_qs}).size(), 0);
        QCOMPARE(m_home.read(u"Pemmo/pemmo-store.json"_qs), QByteArray("{"));
    }

    void listPrintsPeopleInPemmosOrder() {
        const QString folder = m_home.filePath(u"book"_qs);
        m_home.write(u"book/a.vcf"_qs, card("a", "Item Ten", "N:Ten;Item;;;\r\nTITLE:Chef\r\nORG:Acme\r\n"));
        m_home.write(u"book/b.vcf"_qs, card("b", "Item 10", "N:;Item 10;;;\r\nBDAY:--0704\r\n"));
        m_home.write(u"book/c.vcf"_qs,
                     card("c", "Item 2", "N:;Item 2;;;\r\nEMAIL;TYPE=WORK:two@example.org\r\n"));
        m_home.write(u"book/broken.vcf"_qs, "BEGIN:VCARD\r\nthis is not a card");

        Result result = pemmo({u"list"_qs, u"--contacts"_qs, folder});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"Item 2\nItem 10\nItem Ten \u2014 Chef @ Acme\n"_qs);

        result = pemmo({u"list"_qs, u"--json"_qs, u"--contacts"_qs, folder});
        QCOMPARE(result.exitCode, 0);
        const QJsonArray people = QJsonDocument::fromJson(result.out.toUtf8()).array();
        QCOMPARE(people.size(), 3);
        const QJsonObject two = people[0].toObject();
        QCOMPARE(two[u"id"].toString(), u"c"_qs);
        QCOMPARE(two[u"displayName"].toString(), u"Item 2"_qs);
        QCOMPARE(two[u"emails"].toArray()[0].toObject()[u"value"].toString(), u"two@example.org"_qs);
        QVERIFY(two[u"birthday"].isNull());
        QVERIFY(two[u"organization"].isNull());
        QCOMPARE(people[1].toObject()[u"birthday"].toObject(),
                 QJsonObject({{u"month"_qs, 7}, {u"day"_qs, 4}}));
        QCOMPARE(people[2].toObject()[u"headline"].toString(), u"Chef @ Acme"_qs);
        for (const QString& key : {u"givenName"_qs, u"familyName"_qs, u"nickname"_qs, u"jobTitle"_qs,
                                   u"phones"_qs, u"hasFullImage"_qs})
            QVERIFY2(two.contains(key), qPrintable(key));
    }

    // The command ends its process as soon as it has answered; the contact cache it read into
    // must be on disk by then, and a later run must still see a change to the files.
    void listLeavesAContactCacheThatLaterRunsUseAndCheck() {
        const QString folder = m_home.filePath(u"cached"_qs);
        QDir(m_home.filePath(u"cache"_qs)).removeRecursively();
        const auto write = [&](const QByteArray& name) {
            m_home.write(u"cached/p.vcf"_qs, card("p", name));
            makeOld(folder + u"/p.vcf"_qs);
        };
        write("Pat Cache");
        QCOMPARE(pemmo({u"list"_qs, u"--contacts"_qs, folder}).out, u"Pat Cache\n"_qs);
        QCOMPARE(QDir(m_home.filePath(u"cache/Pemmo"_qs)).entryList({u"contacts-*.cache"_qs}).size(), 1);
        QCOMPARE(pemmo({u"list"_qs, u"--contacts"_qs, folder}).out, u"Pat Cache\n"_qs);
        write("Pat Fresh");
        QCOMPARE(pemmo({u"list"_qs, u"--contacts"_qs, folder}).out, u"Pat Fresh\n"_qs);
    }

    // The contact cache only saves parsing: a run served from it prints, byte for byte, what the
    // run that parsed every file printed, whatever the cards hold.
    void listPrintsTheSameFromTheContactCache_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("json") << QStringList{u"--json"_qs};
        QTest::newRow("text") << QStringList{};
    }

    void listPrintsTheSameFromTheContactCache() {
        QFETCH(QStringList, options);
        const QString folder = m_home.filePath(u"samples"_qs);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder + u"/work"_qs));
        const QDir data(test::testDataPath(u"vcard"_qs));
        const QStringList names = data.entryList({u"*.vcf"_qs}, QDir::Files, QDir::Name);
        QVERIFY(names.size() > 10);
        for (qsizetype i = 0; i < names.size(); ++i) {
            // Some in an address book of their own, so that the listing spans two folders.
            const QString target = folder + (i % 3 == 0 ? u"/work/"_qs : u"/"_qs) + names[i];
            QVERIFY(QFile::copy(data.filePath(names[i]), target));
            makeOld(target);
        }
        const QString cacheFolder = m_home.filePath(u"cache/Pemmo"_qs);
        QDir(cacheFolder).removeRecursively();
        const QStringList arguments =
            QStringList{u"list"_qs} + options + QStringList{u"--contacts"_qs, folder};

        const Result parsed = pemmo(arguments);
        QCOMPARE(parsed.exitCode, 0);
        QVERIFY(parsed.out.count(u'\n') > names.size());
        QCOMPARE(QDir(cacheFolder).entryList({u"contacts-*.cache"_qs}).size(), 1);
        const Result cached = pemmo(arguments);
        QCOMPARE(cached.exitCode, 0);
        QCOMPARE(cached.out, parsed.out);
    }

    void listReadsTheFoldersChosenInTheSettings() {
        const Result none = pemmo({u"list"_qs, u"--json"_qs});
        QCOMPARE(none.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(none.out.toUtf8()).array().size(), 0);
        QVERIFY(none.err.contains(u"--contacts"_qs));

        m_home.write(u"chosen/x.vcf"_qs, card("chosen", "Person chosen"));
        m_home.write(u"given/x.vcf"_qs, card("given", "Person given"));
        m_home.write(u"config/Pemmo/defaults.json"_qs,
                     R"({"pemmo.contacts.folders": {"kind": "textList", "value": [")" +
                         m_home.filePath(u"chosen"_qs).toUtf8() + R"("]}})");
        QCOMPARE(pemmo({u"list"_qs}).out, u"Person chosen\n"_qs);
        // A script's folders replace the chosen ones for that command only.
        QCOMPARE(pemmo({u"list"_qs, u"--contacts"_qs, m_home.filePath(u"given"_qs)}).out,
                 u"Person given\n"_qs);
        QCOMPARE(pemmo({u"list"_qs}).out, u"Person chosen\n"_qs);
    }

    void doctorDescribesAFirstStartThenCounts() {
        const Result result = pemmo({u"doctor"_qs});
        QCOMPARE(result.exitCode, 0);
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 9);
        QVERIFY(lines[0].startsWith(u"Pemmo "_qs));
        QCOMPARE(lines[1], u"Data folder: "_qs + dataFolder());
        QCOMPARE(lines[2], u"Settings: "_qs + m_home.filePath(u"config/Pemmo/defaults.json"_qs) +
                               u" (not written yet; the defaults apply)"_qs);
        QCOMPARE(lines[3],
                 u"Address book: none chosen yet ("_qs + dataFolder() + u"/Contacts does not exist)"_qs);
        QCOMPARE(lines[4], u"Store: no records yet (pemmo-store.json not written yet)"_qs);
        // No word table in the test's data folders nor beside the test binaries.
        QCOMPARE(lines[5], u"Semantic search: unavailable, no word table found; keyword search only"_qs);
        QVERIFY2(lines[6].startsWith(u"  looked for: "_qs) &&
                     lines[6].contains(u"glove-100d-200k.wordtable"_qs),
                 qPrintable(lines[6]));
        QVERIFY2(lines[7].startsWith(u"Keyring: "_qs), qPrintable(lines[7]));
        QVERIFY2(lines[8].startsWith(u"Global shortcut: "_qs), qPrintable(lines[8]));
        // Looking changes nothing the user has.
        QVERIFY(!QFile::exists(m_home.filePath(u"config/Pemmo/defaults.json"_qs)));

        // Then it counts the contacts of every folder, and the records.
        const QString book = dataFolder() + u"/Contacts"_qs;
        m_home.write(u"Pemmo/Contacts/a.vcf"_qs, card("a", "a"));
        m_home.write(u"Pemmo/Contacts/b.vcf"_qs, card("b", "b"));
        QCOMPARE(import({{u"A"_qs, withAbout(u"a"_qs)}, {u"B"_qs, withAbout(u"b"_qs)}}).exitCode, 0);
        const QString counted = pemmo({u"doctor"_qs}).out;
        QVERIFY2(counted.contains(u"Address book: "_qs + book + u" \u2014 2 contacts\n"_qs),
                 qPrintable(counted));
        QVERIFY2(counted.contains(u"Store: 2 records in pemmo-store.json\n"_qs), qPrintable(counted));
    }

    // What a newer Pemmo wrote is read, never rewritten: an import is refused and says why, and
    // doctor tells the same.
    void aStoreFromANewerPemmoIsReadButNotChanged() {
        const QByteArray newer = R"({"schema":3,"records":{"A":{"about":"from the future"}}})";
        m_home.write(u"Pemmo/pemmo-store.json"_qs, newer);
        const QString reason = u"This store was written by a newer Pemmo; update Pemmo to change it."_qs;

        QCOMPARE(exported().value(u"A"_qs)->about, u"from the future"_qs);
        QVERIFY(pemmo({u"export"_qs}).err.contains(u"the export holds only what this Pemmo can read"_qs));
        const Result refused = import({{u"B"_qs, withAbout(u"b"_qs)}});
        QCOMPARE(refused.exitCode, 1);
        // (The store's own log line may come first.)
        QCOMPARE(refused.err.split(u'\n', Qt::SkipEmptyParts).constLast(), u"pemmo: "_qs + reason);
        QVERIFY(pemmo({u"doctor"_qs})
                    .out.contains(u"Store: 1 record in pemmo-store.json, read-only: "_qs + reason + u'\n'));
        QCOMPARE(m_home.read(u"Pemmo/pemmo-store.json"_qs), newer);
        QCOMPARE(QDir(dataFolder()).entryList({u"pemmo-store.*"_qs}), QStringList{u"pemmo-store.json"_qs});
    }

    // A store file that cannot be read (here a folder stands in its place, which root cannot read
    // either) is left alone, and doctor says why nothing can be saved.
    void anUnreadableStoreIsLeftAloneAndDoctorSaysWhy() {
        QVERIFY(QDir().mkpath(storePath() + u"/in-the-way"_qs));
        const QString doctor = pemmo({u"doctor"_qs}).out;
        QVERIFY2(doctor.contains(
                     u"Store: read-only: Pemmo can't save changes: its data file couldn't be read ("_qs),
                 qPrintable(doctor));
        QCOMPARE(import({{u"B"_qs, withAbout(u"b"_qs)}}).exitCode, 1);
        QVERIFY(QFileInfo(storePath()).isDir());
        // Commands that show records fail rather than answer as if no one had any.
        m_home.write(u"book/a.vcf"_qs, card("a", "Ada Lovelace", "N:Lovelace;Ada;;;\r\n"));
        const QString book = m_home.filePath(u"book"_qs);
        for (const QStringList& command :
             {QStringList{u"search"_qs, u"--contacts"_qs, book, u"ada"_qs}, QStringList{u"moments"_qs}}) {
            const Result result = pemmo(command);
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.split(u'\n', Qt::SkipEmptyParts)
                         .constLast()
                         .startsWith(u"pemmo: Could not read “"_qs + storePath()),
                     qPrintable(result.err));
        }
    }

    // A command that only reads leaves the user's settings as they are, byte for byte: with none
    // yet it writes no first file (the circles a first start seeds, the addresses it finds in the
    // calendar stay in memory), also beside the running application.
    void readOnlyCommandsLeaveTheSettingsAsTheyAre_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("settings"); // none, one of an earlier release, or a damaged one
        QTest::addColumn<bool>("running");     // the application holds the data folder
        const QList<QPair<const char*, QStringList>> commands{
            {"list", {u"list"_qs}},
            {"search", {u"search"_qs, u"ada"_qs}},
            {"search empty", {u"search"_qs, u""_qs}},
            {"moments", {u"moments"_qs}},
            {"export", {u"export"_qs}},
            {"doctor", {u"doctor"_qs}},
        };
        for (const auto& [name, arguments] : commands) {
            QTest::addRow("%s, no settings", name) << arguments << u"none"_qs << false;
            QTest::addRow("%s, settings", name) << arguments << u"earlier"_qs << false;
            QTest::addRow("%s, settings, running", name) << arguments << u"earlier"_qs << true;
            // Setting a damaged file aside is the application's to do.
            QTest::addRow("%s, damaged settings", name) << arguments << u"damaged"_qs << false;
        }
    }

    void readOnlyCommandsLeaveTheSettingsAsTheyAre() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, settings);
        QFETCH(bool, running);
        m_home.write(u"Pemmo/Contacts/ada.vcf"_qs,
                     test::vcard(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, "EMAIL:ada@example.com\r\n"));
        if (settings == u"damaged")
            m_home.write(u"config/Pemmo/defaults.json"_qs, "{");
        if (settings == u"earlier") {
            const QString calendar = m_home.filePath(u"calendars/work"_qs);
            m_home.write(u"calendars/work/coffee.ics"_qs,
                         test::oneOnOne(u"coffee"_qs, QDateTime::currentDateTimeUtc().addSecs(-3600),
                                        u"ada@example.com"_qs, u"Coffee"_qs));
            // No circles yet, no own address, and the onboarding state as an earlier release kept it.
            const QByteArray onboarding =
                R"({"hasCompletedOnboarding":true,"hasSkippedOnboarding":false,"lastOnboardingVersion":1})";
            m_home.write(u"config/Pemmo/defaults.json"_qs,
                         R"({"pemmo.calendar.connected": {"kind": "bool", "value": true},
 "pemmo.calendar.enabled": {"kind": "bool", "value": true},
 "pemmo.calendar.ids": {"kind": "textList", "value": [")" +
                             calendar.toUtf8() + R"("]},
 "pemmo.onboarding.state": {"kind": "data", "value": ")" +
                             onboarding.toBase64() + R"("}})");
        }
        QLockFile application(dataFolder() + u"/pemmo.lock"_qs);
        if (running)
            QVERIFY(application.tryLock());
        const auto before = snapshot(m_home.filePath(u"config"_qs));

        const Result result = pemmo(arguments);
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(snapshot(m_home.filePath(u"config"_qs)), before);
        if (settings == u"none")
            QVERIFY(!QFileInfo::exists(m_home.filePath(u"config"_qs)));
        if (arguments.contains(u"ada"_qs) || arguments.first() == u"list")
            QVERIFY2(result.out.contains(u"Ada Lovelace"_qs), qPrintable(result.out));
    }

    // With no address book folder chosen (and none in the data folder), the commands that read
    // the address book say so and what to do, in the settings window's words.
    void aMissingAddressBookIsNamedWithWhatToDo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        const QString choose = u"pemmo: no address book folder chosen yet. Choose the folder holding your "
                               u"contacts' .vcf files in Pemmo's settings window"_qs;
        // Nobody is listed, and no Moment can be with anybody.
        QTest::newRow("list") << QStringList{u"list"_qs} << 0 << QString();
        QTest::newRow("moments") << QStringList{u"moments"_qs} << 0 << u"No Moments right now.\n"_qs;
        // Any answer would read as "No matches".
        QTest::newRow("search") << QStringList{u"search"_qs, u"ada"_qs} << 1 << QString();
    }

    void aMissingAddressBookIsNamedWithWhatToDo() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        const Result result = pemmo(arguments);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, out);
        const QString text = u"pemmo: no address book folder chosen yet. Choose the folder holding your "
                             u"contacts' .vcf files in Pemmo's settings window"_qs;
        const QString option =
            arguments.first() == u"moments" ? u"."_qs : u", or name it with --contacts DIR."_qs;
        QCOMPARE(result.err, text + option + u'\n');
    }

    // "-" is standard input for `import` and standard output for `export`, also when the running
    // Pemmo carries out the import: it gets the bytes, not the name.
    void importAndExportTakeADash_data() {
        QTest::addColumn<bool>("running");
        QTest::newRow("alone") << false;
        QTest::newRow("through the running Pemmo") << true;
    }

    void importAndExportTakeADash() {
        QFETCH(bool, running);
        const QByteArray bytes = exportOf({{u"A"_qs, withAbout(u"a"_qs)}, {u"B"_qs, withAbout(u"b"_qs)}});
        if (!running) {
            const Result result = pemmo({u"import"_qs, u"-"_qs}, bytes);
            QCOMPARE(result.exitCode, 0);
            QCOMPARE(result.out, u"Merged 2 records.\n"_qs);
            const Result dashed = pemmo({u"export"_qs, u"-"_qs});
            QCOMPARE(dashed.exitCode, 0);
            QCOMPARE(dashed.out, pemmo({u"export"_qs}).out);
            QCOMPARE(StoreFile::decode(dashed.out.toUtf8(), kTime).value(u"B"_qs)->about, u"b"_qs);
            // What is not an export is named as what it came from.
            const Result refused = pemmo({u"import"_qs, u"-"_qs}, "not an export");
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.startsWith(u"pemmo: standard input is not a Pemmo export file"_qs),
                     qPrintable(refused.err));
            return;
        }
        QVERIFY(QDir().mkpath(dataFolder()));
        QLockFile application(dataFolder() + u"/pemmo.lock"_qs);
        QVERIFY(application.tryLock());
        const QString sockets = m_home.filePath(u"runtime/pemmo"_qs);
        QVERIFY(QDir().mkpath(sockets));
        const ImportListener listener(sockets + u"/pemmo.socket"_qs);
        const Result result = pemmo({u"import"_qs, u"-"_qs}, bytes);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"Merged 1 record.\n"_qs);
        QCOMPARE(listener.received(), bytes);
        QCOMPARE(listener.name(), u"standard input"_qs);
        // The handed-over copy is gone again.
        QCOMPARE(QDir(sockets).entryList({u"import-*"_qs}), QStringList());
    }

    // Bound to a desktop shortcut, `pemmo toggle` starts Pemmo when none runs; where no window can
    // be shown it fails at once, saying why, instead of crashing in the window system.
    void toggleWithoutADisplayFailsAtOnceAndSaysWhy_data() {
        QTest::addColumn<QString>("display"); // empty: no display at all
        QTest::newRow("no display") << QString();
        QTest::newRow("an X display nobody serves") << u":1999"_qs;
    }
    void toggleWithoutADisplayFailsAtOnceAndSaysWhy() {
        QFETCH(QString, display);
        const Result result = pemmo({u"toggle"_qs}, [&](QProcessEnvironment& env) {
            for (const QString& name : {u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs, u"QT_QPA_PLATFORM"_qs})
                env.remove(name);
            if (!display.isEmpty())
                env.insert(u"DISPLAY"_qs, display);
        });
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(u"pemmo: Pemmo is not running, and it cannot start here: "_qs),
                 qPrintable(result.err));
        if (!display.isEmpty())
            QVERIFY2(result.err.contains(display), qPrintable(result.err));
    }

    void unknownCommandsAndMissingArgumentsAreUsageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said"); // the first line, where it names the problem
        QTest::newRow("unknown") << QStringList{u"frobnicate"_qs}
                                 << u"pemmo: unknown command \u201Cfrobnicate\u201D"_qs;
        QTest::newRow("import without file") << QStringList{u"import"_qs} << QString();
        QTest::newRow("export with two files") << QStringList{u"export"_qs, u"a"_qs, u"b"_qs} << QString();
        // An option is never taken for a file name.
        QTest::newRow("export with an option") << QStringList{u"export"_qs, u"--json"_qs} << QString();
        QTest::newRow("import with an option") << QStringList{u"import"_qs, u"--help"_qs} << QString();
        // A command the usage lists is never called unknown.
        QTest::newRow("toggle with an argument")
            << QStringList{u"toggle"_qs, u"now"_qs} << u"pemmo: toggle takes no arguments"_qs;
    }

    // A folder given that is not one is named, rather than read as a book without people.
    void aContactsFolderThatIsNotThereIsNamed() {
        m_home.write(u"not-a-folder.vcf"_qs, card("a", "Ada Lovelace"));
        for (const QString& missing :
             {m_home.filePath(u"nowhere"_qs), m_home.filePath(u"not-a-folder.vcf"_qs)}) {
            for (const QStringList& command :
                 {QStringList{u"list"_qs, u"--contacts"_qs, missing},
                  QStringList{u"search"_qs, u"--contacts"_qs, missing, u"ada"_qs}}) {
                const Result result = pemmo(command);
                QCOMPARE(result.exitCode, 1);
                QCOMPARE(result.err, u"pemmo: no address book folder at “"_qs + missing + u"”\n"_qs);
            }
        }
    }

    void unknownCommandsAndMissingArgumentsAreUsageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const Result result = pemmo(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.contains(u"Usage:"_qs));
        if (!said.isEmpty())
            QCOMPARE(result.err.section(u'\n', 0, 0), said);
    }

    void versionIsPrinted_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("long") << u"--version"_qs;
        QTest::newRow("short") << u"-V"_qs;
    }
    void versionIsPrinted() {
        QFETCH(QString, option);
        const Result result = pemmo({option});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, u"Pemmo "_qs + QString::fromLatin1(PEMMO_VERSION) + u'\n');
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
