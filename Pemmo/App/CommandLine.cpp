#include "App/CommandLine.h"

#include "App/DataFolder.h"
#include "Store/PemmoStore.h"
#include "Support/AtomicFile.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"
#include "Support/WaitFor.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QFile>
#include <QFileInfo>

namespace pemmo::CommandLine {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "Usage:\n"
    "  pemmo export [FILE]   write every record as JSON to FILE, or to standard output\n"
    "  pemmo import FILE     merge an export file into Pemmo's records\n";

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

struct Session {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<PemmoStore> store;
};

// Loads the store exactly as the application does at start-up. Null (with a message printed) when
// another Pemmo process owns the data folder or the store cannot be read.
std::optional<Session> openStore(std::FILE* err) {
    const QString folder = dataFolder();
    Session session;
    session.lock = lockDataFolder(folder);
    if (!session.lock) {
        print(err, u"pemmo: another Pemmo process is using "_qs + folder + u"; quit it and try again.\n"_qs);
        return std::nullopt;
    }
    session.store = std::make_unique<PemmoStore>(folder);
    try {
        pemmo::waitFor(session.store->load());
    } catch (const std::exception& error) {
        print(err, u"pemmo: could not read the records: "_qs + QString::fromUtf8(error.what()) + u'\n');
        return std::nullopt;
    }
    return session;
}

int exportRecords(const QStringList& args, std::FILE* out, std::FILE* err) {
    if (args.size() > 1) {
        print(err, QString::fromLatin1(kUsageText));
        return kUsage;
    }
    auto session = openStore(err);
    if (!session)
        return kFailure;
    const QByteArray bytes = pemmo::waitFor(session->store->exportData());
    if (args.isEmpty() || args.first() == u"-") {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
        return std::fflush(out) == 0 ? kSuccess : kFailure;
    }
    try {
        AtomicFile::write(args.first(), bytes);
    } catch (const FileError& error) {
        print(err, u"pemmo: "_qs + error.description() + u'\n');
        return kFailure;
    }
    print(out, u"Exported to "_qs + QFileInfo(args.first()).fileName() + u".\n"_qs);
    return kSuccess;
}

int importRecords(const QStringList& args, std::FILE* out, std::FILE* err) {
    if (args.size() != 1) {
        print(err, QString::fromLatin1(kUsageText));
        return kUsage;
    }
    const QString path = args.first();
    QByteArray bytes;
    try {
        bytes = AtomicFile::read(path);
    } catch (const FileError& error) {
        print(err, u"pemmo: "_qs + error.description() + u'\n');
        return kFailure;
    }
    auto session = openStore(err);
    if (!session)
        return kFailure;
    int count = 0;
    try {
        count = pemmo::waitFor(session->store->importData(bytes));
        if (count > 0)
            pemmo::waitFor(session->store->flush());
    } catch (const DecodingError& error) {
        print(err, u"pemmo: "_qs + path + u" is not a Pemmo export file, nothing was imported ("_qs +
                       error.codingPath() +
                       (error.codingPath().isEmpty() ? QString() : QStringLiteral(": ")) +
                       error.description() + u").\n"_qs);
        return kFailure;
    } catch (const std::exception& error) {
        print(err,
              u"pemmo: could not save the imported records: "_qs + QString::fromUtf8(error.what()) + u'\n');
        return kFailure;
    }
    print(out, u"Merged "_qs + QString::number(count) + u" record"_qs + (count == 1 ? u""_qs : u"s"_qs) +
                   u".\n"_qs);
    return kSuccess;
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h" ||
        arguments.first() == u"help") {
        print(arguments.isEmpty() ? err : out, QString::fromLatin1(kUsageText));
        return arguments.isEmpty() ? kUsage : kSuccess;
    }
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == u"export")
        return exportRecords(rest, out, err);
    if (command == u"import")
        return importRecords(rest, out, err);
    print(err,
          u"pemmo: unknown command \u201C"_qs + command + u"\u201D\n"_qs + QString::fromLatin1(kUsageText));
    return kUsage;
}

} // namespace pemmo::CommandLine
