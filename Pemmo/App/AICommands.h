// The AI on the command line, for scripts: `pemmo ask`, `pemmo briefing` and `pemmo capture`. They
// use the application's own settings, keyring and AI service, and never save anything.
#pragma once

#include <QStringList>
#include <cstdio>

namespace pemmo::AICommands {

// `pemmo ask [--json] QUESTION...`: the people the AI picks for the question, with its reasons.
int ask(const QStringList& arguments, std::FILE* out, std::FILE* err);
// `pemmo briefing [--json] PERSON`: the briefing (a cached one while the record is unchanged).
int briefing(const QStringList& arguments, std::FILE* out, std::FILE* err);
// `pemmo capture [--for PERSON] [--json] NOTE...`: the proposal a note gives; nothing is saved.
int capture(const QStringList& arguments, std::FILE* out, std::FILE* err);

} // namespace pemmo::AICommands
