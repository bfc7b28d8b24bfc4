#include "App/CommandLine.h"

#include "App/AICommands.h"
#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "App/DoctorCommand.h"
#include "App/ImportCommand.h"
#include "App/MomentsCommand.h"
#include "App/SearchCommand.h"
#include "Contacts/VCardFolderRepository.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Shell/SingleInstance.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/JsonWriter.h"
#include "Support/WaitFor.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace pemmo::CommandLine {
namespace {

const char* const kUsageText =
    "Usage:\n"
    "  pemmo --help | --version\n"
    "  pemmo                 start Pemmo in the tray (without a display: show its data folder)\n"
    "  pemmo toggle          show or hide the panel of the running Pemmo, or start Pemmo with it\n"
    "  pemmo quit            quit the running Pemmo (as the tray's Quit Pemmo does)\n"
    "  pemmo list [--json] [--contacts DIR]...\n"
    "                        list the people of the address book in Pemmo's order (the folders\n"
    "                        chosen in the settings, or only those given with --contacts)\n"
    "  pemmo search [--json] [--limit N] [--contacts DIR]... QUERY...\n"
    "                        run each query as the panel would and print what it shows\n"
    "  pemmo moments [--json]\n"
    "                        list the Moments on offer: recent one-on-ones to write a memory of\n"
    "  pemmo export [FILE]   write every record as JSON to FILE, or to standard output (no FILE,\n"
    "                        or -)\n"
    "  pemmo import FILE     merge an export file (- for standard input) into Pemmo's records\n"
    "                        (through the running Pemmo when there is one)\n"
    "  pemmo doctor          show the folders, files and services Pemmo starts with\n"
    "  pemmo ask [--json] QUESTION...\n"
    "                        ask the AI which people fit the question\n"
    "  pemmo briefing [--json] PERSON\n"
    "                        print the AI briefing about a person (id or name)\n"
    "  pemmo capture [--for PERSON] [--json] NOTE...\n"
    "                        print the updates the AI proposes for a quick note\n"
    "                        (the AI commands save nothing)\n";

using Console::print;

struct Session {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<PemmoStore> store;
};

// Loads the store as the owner of `folder` when `lock` holds it, else as a reader. Null (with a
// message printed) when the store cannot be read.
std::optional<Session> loadStore(std::FILE* err, const QString& folder, std::unique_ptr<QLockFile> lock) {
    Session session;
    session.lock = std::move(lock);
    session.store =
        std::make_unique<PemmoStore>(folder, PemmoStore::defaultWriteDelay, systemClock(),
                                     session.lock ? PemmoStore::Access::Owner : PemmoStore::Access::Reader);
    try {
        pemmo::waitFor(session.store->load());
    } catch (const std::exception& error) {
        print(err, u"pemmo: could not read the records: "_qs + QString::fromUtf8(error.what()) + u'\n');
        return std::nullopt;
    }
    return session;
}

// Loads the store exactly as the application does at start-up. A command that only reads
// (`forReading`) still runs while the application owns the data folder: it then reads the records
// as they are, repairing and writing nothing. Null (with a message printed) when a command that
// writes meets the running application, or when the store cannot be read.
std::optional<Session> openStore(std::FILE* err, bool forReading) {
    const QString folder = dataFolder();
    auto lock = lockDataFolder(folder);
    if (!lock && !forReading) {
        print(err, u"pemmo: the running Pemmo is using "_qs + folder + u"; quit it and try again.\n"_qs);
        return std::nullopt;
    }
    return loadStore(err, folder, std::move(lock));
}

// An argument that looks like an option ("--json") is not taken for a file name.
bool isOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(u'-');
}

int exportRecords(const QStringList& args, std::FILE* out, std::FILE* err, Console::Ending ending) {
    if (args.size() > 1 || (!args.isEmpty() && isOption(args.first()))) {
        print(err, QString::fromLatin1(kUsageText));
        return Console::usage;
    }
    auto session = openStore(err, true);
    if (!session)
        return Console::failure;
    // A newer Pemmo's store stays readable, but an export in this Pemmo's layout leaves out what
    // this Pemmo cannot read: say so.
    if (pemmo::waitFor(session->store->readOnlyReason()) == PemmoStore::newerStoreReason())
        print(err, u"pemmo: this store was written by a newer Pemmo; the export holds only what this "
                   u"Pemmo can read.\n"_qs);
    const QByteArray bytes = pemmo::waitFor(session->store->exportData());
    session->lock.reset(); // nothing more is read, and a quick ending skips destructors
    if (args.isEmpty() || args.first() == u"-") {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
        return Console::finish(ending, std::fflush(out) == 0 ? Console::success : Console::failure, out, err);
    }
    try {
        AtomicFile::write(args.first(), bytes);
    } catch (const FileError& error) {
        print(err, u"pemmo: "_qs + error.description() + u'\n');
        return Console::failure;
    }
    print(out, u"Exported to "_qs + QFileInfo(args.first()).fileName() + u".\n"_qs);
    return Console::finish(ending, Console::success, out, err);
}

// The running Pemmo answers once it has merged the file; a big file takes it a while.
constexpr std::chrono::minutes kImportAnswerTimeout{2};

int importRecords(const QStringList& args, std::FILE* out, std::FILE* err) {
    if (args.size() != 1 || isOption(args.first())) {
        print(err, QString::fromLatin1(kUsageText));
        return Console::usage;
    }
    // "-" is standard input, read whole before anything is locked.
    const bool fromInput = args.first() == u"-";
    const QString name = fromInput ? u"standard input"_qs : args.first();
    QByteArray piped;
    if (fromInput) {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly)) {
            print(err, u"pemmo: could not read standard input: "_qs + input.errorString() + u'\n');
            return Console::failure;
        }
        piped = input.readAll();
    }
    const QString folder = dataFolder();
    auto lock = lockDataFolder(folder);
    ImportCommand::Outcome outcome;
    if (!lock) {
        // The running Pemmo is the folder's one writer: it merges the file itself. What came on
        // standard input reaches it as a private file beside its socket, removed afterwards.
        QString file = QFileInfo(name).absoluteFilePath();
        std::unique_ptr<QTemporaryFile> copy;
        if (fromInput) {
            const QString beside = SingleInstance::defaultFolder();
            QDir().mkpath(beside);
            copy = std::make_unique<QTemporaryFile>(QDir(beside).filePath(u"import-XXXXXX.json"_qs));
            if (!copy->open() || copy->write(piped) != piped.size() || !copy->flush()) {
                print(err, u"pemmo: could not hand standard input to the running Pemmo: "_qs +
                               copy->errorString() + u'\n');
                return Console::failure;
            }
            file = copy->fileName();
        }
        const ImportCommand::Request request{file, name, folder};
        const auto answer = SingleInstance().send(ImportCommand::command(request), kImportAnswerTimeout);
        const auto remote = answer ? ImportCommand::parseAnswer(*answer) : std::nullopt;
        if (!remote) {
            print(err, u"pemmo: the running Pemmo is using "_qs + folder + u"; quit it and try again.\n"_qs);
            return Console::failure;
        }
        outcome = *remote;
    } else {
        QByteArray bytes = std::move(piped);
        if (auto unreadable = fromInput ? std::nullopt : ImportCommand::read(name, bytes)) {
            outcome = *unreadable;
        } else {
            auto session = loadStore(err, folder, std::move(lock));
            if (!session)
                return Console::failure;
            outcome = pemmo::waitFor(ImportCommand::merge(*session->store, name, std::move(bytes), true));
        }
    }
    print(out, outcome.out);
    print(err, outcome.err);
    return outcome.exitCode;
}

// ---- list ---------------------------------------------------------------------------------------

// Streamed, not built as a JSON tree first: at ten thousand people the tree costs more than
// reading them. Pretty-printed with two spaces, as before.
void labeledValues(JsonWriter& json, const QList<LabeledValue>& values) {
    json.beginArray();
    for (const LabeledValue& v : values) {
        json.beginObject();
        json.key("label");
        json.value(v.label);
        json.key("value");
        json.value(v.value);
        json.endObject();
    }
    json.endArray();
}

void optionalText(JsonWriter& json, const std::optional<QString>& value) {
    if (value)
        json.value(*value);
    else
        json.null();
}

void profileJson(JsonWriter& json, const Profile& profile) {
    const Person& p = *profile.person;
    json.beginObject();
    json.key("id");
    json.value(p.id);
    json.key("givenName");
    json.value(p.givenName);
    json.key("familyName");
    json.value(p.familyName);
    json.key("nickname");
    json.value(p.nickname);
    json.key("organization");
    optionalText(json, p.organization);
    json.key("jobTitle");
    optionalText(json, p.jobTitle);
    json.key("emails");
    labeledValues(json, p.emails);
    json.key("phones");
    labeledValues(json, p.phones);
    json.key("birthday");
    if (p.birthday) {
        json.beginObject();
        if (p.birthday->year) {
            json.key("year");
            json.value(*p.birthday->year);
        }
        json.key("month");
        json.value(p.birthday->month);
        json.key("day");
        json.value(p.birthday->day);
        json.endObject();
    } else {
        json.null();
    }
    json.key("hasFullImage");
    json.value(p.hasFullImage);
    json.key("displayName");
    json.value(p.displayName());
    json.key("headline");
    optionalText(json, profile.headline());
    json.endObject();
}

int listPeople(const QStringList& args, std::FILE* out, std::FILE* err, Console::Ending ending) {
    bool json = false;
    const QString defaultFolder = AppEnvironment::defaultContactFolder(dataFolder());
    QStringList folders;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--json") {
            json = true;
        } else if (args[i] == u"--contacts" && i + 1 < args.size()) {
            const QFileInfo folder(args[++i]);
            if (!folder.isDir()) {
                print(err, u"pemmo: no address book folder at “"_qs + args[i] + u"”\n"_qs);
                return Console::failure;
            }
            folders.append(folder.absoluteFilePath());
        } else {
            print(err, QString::fromLatin1(kUsageText));
            return Console::usage;
        }
    }
    if (folders.isEmpty())
        folders = AppEnvironment::configuredContactFolders(dataFolder());
    folders.removeDuplicates();

    // The address book starts reading the moment it is made, on a thread of its own: made first,
    // it reads while the records load.
    VCardFolderRepository contacts(folders, defaultFolder, VCardFolderRepository::defaultTimeLimit,
                                   VCardFolderRepository::defaultQuietPeriod, nullptr,
                                   VCardFolderRepository::standardCacheFolder());
    contacts.setMakesThumbnails(false); // nothing here shows a picture
    auto session = openStore(err, true);
    if (!session)
        return Console::failure;
    PhotoStore photos(QDir(dataFolder()).filePath(PhotoStore::folderName()));
    ProfileSyncEngine engine(contacts, *session->store, photos);
    if (folders.isEmpty()) {
        // An empty list, said why: nobody is in an address book that is not there.
        print(err, Console::noAddressBookText(true));
    } else {
        // The store is loaded already (a failure to read it was reported above): one refresh
        // joins the people with their records, without `start` loading the store a second time.
        pemmo::waitFor(engine.refresh());
        if (engine.state().kind == SyncState::Kind::Error) {
            print(err, u"pemmo: "_qs + engine.state().message + u'\n');
            return Console::failure;
        }
    }

    const QList<Profile> profiles = engine.profiles();
    if (json) {
        // Written out a piece at a time: one buffer that stays in the cache, instead of the whole
        // text (7 MB at ten thousand people) written to fresh pages first.
        constexpr std::size_t piece = 256 * 1024;
        JsonWriter json(JsonWriter::Style::Pretty);
        std::string& bytes = json.buffer();
        bytes.reserve(piece + 64 * 1024);
        const auto writeOut = [&bytes, out] {
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            bytes.clear();
        };
        json.beginArray();
        for (const Profile& profile : profiles) {
            profileJson(json, profile);
            if (bytes.size() >= piece)
                writeOut();
        }
        json.endArray();
        bytes += '\n';
        writeOut();
    } else {
        for (const Profile& profile : profiles) {
            const auto headline = profile.headline();
            print(out, profile.person->displayName() + (headline ? u" \u2014 "_qs + *headline : QString()) +
                           u'\n');
        }
    }
    const int status = std::fflush(out) == 0 ? Console::success : Console::failure;
    // The contact cache the reading queued is written first. (A pending write of the records is
    // dropped either way, as when the store is destroyed.)
    contacts.finishQueuedWork();
    session->lock.reset(); // a quick ending skips destructors
    return Console::finish(ending, status, out, err);
}

// ---- without a command ------------------------------------------------------------------------

// What `pemmo` shows where there is no display for the tray application.
int status(std::FILE* out, std::FILE* err) {
    auto session = openStore(err, true);
    if (!session)
        return Console::failure;
    const auto records = pemmo::waitFor(session->store->allRecords()).size();
    print(out, u"Pemmo "_qs + QCoreApplication::applicationVersion() + u"\nData folder: "_qs + dataFolder() +
                   u"\nRecords: "_qs + QString::number(records) +
                   u"\nThere is no display here for the tray panel; the command line works:\n"_qs +
                   QString::fromLatin1(kUsageText));
    return Console::success;
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err, Console::Ending ending) {
    if (arguments.isEmpty())
        return status(out, err);
    if (arguments.first() == u"--help" || arguments.first() == u"-h" || arguments.first() == u"help") {
        print(out, QString::fromLatin1(kUsageText));
        return Console::success;
    }
    if (arguments.first() == u"--version" || arguments.first() == u"-V") {
        print(out, u"Pemmo "_qs + QCoreApplication::applicationVersion() + u'\n');
        return Console::success;
    }
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    // `pemmo toggle` alone never gets here (it needs the window system); with more it is misused.
    if (command == u"toggle") {
        print(err, u"pemmo: toggle takes no arguments\n"_qs + QString::fromLatin1(kUsageText));
        return Console::usage;
    }
    if (command == u"quit") {
        if (!rest.isEmpty()) {
            print(err, u"pemmo: quit takes no arguments\n"_qs + QString::fromLatin1(kUsageText));
            return Console::usage;
        }
        // Where no tray shows the icon, this is the way out; the running Pemmo saves what waits.
        if (!SingleInstance().send("quit")) {
            print(err, u"pemmo: Pemmo is not running.\n"_qs);
            return Console::failure;
        }
        return Console::success;
    }
    if (command == u"export")
        return exportRecords(rest, out, err, ending);
    if (command == u"import")
        return importRecords(rest, out, err);
    if (command == u"list")
        return listPeople(rest, out, err, ending);
    if (command == u"search")
        return SearchCommand::run(rest, out, err, ending);
    if (command == u"doctor")
        return DoctorCommand::run(rest, out, err);
    if (command == u"ask")
        return AICommands::ask(rest, out, err);
    if (command == u"briefing")
        return AICommands::briefing(rest, out, err);
    if (command == u"capture")
        return AICommands::capture(rest, out, err);
    if (command == u"moments")
        return MomentsCommand::run(rest, out, err);

    print(err,
          u"pemmo: unknown command \u201C"_qs + command + u"\u201D\n"_qs + QString::fromLatin1(kUsageText));
    return Console::usage;
}

} // namespace pemmo::CommandLine
