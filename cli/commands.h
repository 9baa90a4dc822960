#pragma once
// The commands of k64ctl. Each mirrors an action of the desktop program and reports through the
// same boxes, shown on the terminal.

#include "command_line.h"
#include "terminal_messages.h"

namespace k64::cli {

// Runs the parsed command; returns the exit status.
int RunCommand(const CommandLine& line, TerminalMessages& messages);

}  // namespace k64::cli
