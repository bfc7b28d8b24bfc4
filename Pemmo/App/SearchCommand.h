// `pemmo search`: runs queries as the panel would, over the user's people and lists, and prints
// the sections and rows it would show.
#pragma once

#include <QStringList>
#include <cstdio>

namespace pemmo::SearchCommand {

// `arguments` without the command name: [--json] [--limit N] [--contacts DIR]... QUERY...
int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace pemmo::SearchCommand
