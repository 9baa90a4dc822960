#pragma once
// The listings of k64ctl, `ports` and `params`: commands that need no unit. Each mirrors an
// action of the desktop program.

#include "command_line.h"
#include "terminal_messages.h"

namespace k64::cli {

int RunPorts(const CommandLine& line, TerminalMessages& messages);
int RunParams(const CommandLine& line, TerminalMessages& messages);

}  // namespace k64::cli
