// `pemmo search`: runs queries as the panel would, over the user's people and lists, and prints
// the sections and rows it would show.
#pragma once

#include "App/Console.h"

#include <QStringList>
#include <cstdio>

namespace pemmo::SearchCommand {

// `arguments` without the command name: [--json] [--limit N] [--contacts DIR]... QUERY...
// `ending`: see Console::Ending.
int run(const QStringList& arguments, std::FILE* out, std::FILE* err,
        Console::Ending ending = Console::Ending::Tidy);

} // namespace pemmo::SearchCommand
