// What every command of the command line shares: its exit codes and how it writes text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace pemmo::Console {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usage = 2;

// How a command ends once its answer is written and its files are safe.
enum class Ending {
    Tidy,  // returns, freeing everything it built: for commands run inside another program (tests)
    Quick, // ends the process at once and leaves the freeing to the system: for `pemmo` itself,
           // where freeing ten thousand people one by one is a good share of a short command
};

// Returns `status`, or with `Quick` flushes both streams and ends the process with it.
inline int finish(Ending ending, int status, std::FILE* out, std::FILE* err) {
    if (ending == Ending::Tidy)
        return status;
    const bool flushed = std::fflush(out) == 0;
    std::fflush(err);
    std::_Exit(flushed ? status : failure);
}

// Writes `text` as UTF-8, whatever the locale says.
inline void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

// What a command that reads the address book says when no folder is chosen in the settings (and
// the data folder has no "Contacts" folder either), in the settings window's words.
// `takesFolders`: the command accepts --contacts DIR.
inline QString noAddressBookText(bool takesFolders) {
    return QStringLiteral("pemmo: no address book folder chosen yet. Choose the folder holding your "
                          "contacts' .vcf files in Pemmo's settings window") +
           (takesFolders ? QStringLiteral(", or name it with --contacts DIR.\n") : QStringLiteral(".\n"));
}

} // namespace pemmo::Console
