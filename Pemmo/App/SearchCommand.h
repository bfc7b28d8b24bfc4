// `pemmo search`: runs queries as the panel would, over the user's people and lists, and prints
// the sections and rows it would show. Where Pemmo runs, its own search answers (its people are
// indexed already); otherwise, or when it does not answer in time, the command searches alone.
#pragma once

#include "App/Console.h"
#include "App/RunningPemmo.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoroTask>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <optional>

namespace pemmo {

class SearchViewModel;

namespace SearchCommand {

// What the running Pemmo is asked to search.
struct Request {
    QStringList queries;
    bool json = false;
    int limit = 0;      // results shown at most
    QString dataFolder; // the records the user means
};

// The line sent over the local socket, and its reading on the other side.
QByteArray command(const Request& request);
std::optional<Request> parseRequest(QByteArrayView line);

// The running Pemmo's answer to `line`: the bytes the command would print, searched over `model`,
// or a refusal when it cannot answer exactly as the command would (`ready` false while its people
// or its semantic index are being brought up to date; records in another folder than `dataFolder`).
QCoro::Task<QByteArray> serve(SearchViewModel& model, QString dataFolder, bool ready, QByteArray line);

// `arguments` without the command name: [--json] [--limit N] [--contacts DIR]... QUERY...
// `ending`: see Console::Ending. `askTimeout`: how long to wait for the running Pemmo's answer
// (absent: never ask it).
int run(const QStringList& arguments, std::FILE* out, std::FILE* err,
        Console::Ending ending = Console::Ending::Tidy,
        std::optional<std::chrono::milliseconds> askTimeout = RunningPemmo::defaultTimeout);

} // namespace SearchCommand
} // namespace pemmo
