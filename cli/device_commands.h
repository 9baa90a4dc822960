#pragma once
// The commands that talk to the unit.

#include "command_line.h"
#include "terminal_messages.h"

namespace k64::cli {

int RunFind(TerminalMessages& messages);
int RunId(const CommandLine& line, TerminalMessages& messages);
int RunVersion(const CommandLine& line, TerminalMessages& messages);
int RunReadSettings(const CommandLine& line, TerminalMessages& messages);
// Diagnostic mode: what the diagnostic window would show, until --seconds pass or Ctrl-C.
int RunDiag(const CommandLine& line, TerminalMessages& messages);
// Checks, one line each, why the unit on the port cannot be reached; 0 when it answered.
int RunDoctor(const CommandLine& line);

}  // namespace k64::cli
