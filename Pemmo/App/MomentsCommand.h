// `pemmo moments`: the pending Moments as the panel offers them (event, person, end, until when),
// read from the user's calendars, address book and records, for scripts and checks.
#pragma once

#include <QStringList>
#include <cstdio>

namespace pemmo::MomentsCommand {

// `arguments` without the command name: [--json]
int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace pemmo::MomentsCommand
