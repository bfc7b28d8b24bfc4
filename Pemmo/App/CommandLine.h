// The `pemmo` command line: export and import of the store.
#pragma once

#include "App/Console.h"

#include <QStringList>
#include <cstdio>

namespace pemmo::CommandLine {

// Runs the command in `arguments` (without the program name) and returns the exit status.
// `ending`: see Console::Ending.
int run(const QStringList& arguments, std::FILE* out = stdout, std::FILE* err = stderr,
        Console::Ending ending = Console::Ending::Tidy);

} // namespace pemmo::CommandLine
