// `pemmo import FILE`: merging an export file into the records. The command line does it itself
// when no Pemmo runs; otherwise it hands the file to the running Pemmo, the folder's one writer,
// which merges it the same way and answers with what the command prints.
#pragma once

#include "App/Console.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoroTask>
#include <QString>
#include <optional>

namespace pemmo {

class PemmoStore;

namespace ImportCommand {

// What the command prints and its exit status.
struct Outcome {
    int exitCode = Console::success;
    QString out; // for standard output
    QString err; // for standard error
    int merged = 0;
};

// The import a `pemmo` process asks the running one for.
struct Request {
    QString file;       // absolute
    QString name;       // the file as the user named it, for messages
    QString dataFolder; // the records the user means
};

// The command line sent over the local socket: "import " and the request as one line of JSON.
QByteArray command(const Request& request);
// The request in what follows "import "; absent when it is not one.
std::optional<Request> parseRequest(QByteArrayView arguments);

// The answer sent back, one line, and its reading.
QByteArray answer(const Outcome& outcome);
std::optional<Outcome> parseAnswer(QByteArrayView answer);

// Reads the export file; absent when that worked, otherwise the outcome to report.
std::optional<Outcome> read(const QString& file, QByteArray& bytes);

// Merges the bytes of an export file into `store`. With `writeThrough` the store is written before
// this returns (the command line, whose process ends next); otherwise the debounced write takes it.
// A file that is not an export, or one the store refuses, changes nothing.
QCoro::Task<Outcome> merge(PemmoStore& store, QString name, QByteArray bytes, bool writeThrough);

// `read`, then `merge`.
QCoro::Task<Outcome> run(PemmoStore& store, Request request, bool writeThrough);

} // namespace ImportCommand
} // namespace pemmo
