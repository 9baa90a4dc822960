#pragma once
// k64ctl station: units are taken as they are plugged in and each gets the job of the command
// line; one live line per unit at work, a result line when it is done, and a table at the end.

#include "command_line.h"
#include "terminal_messages.h"

namespace k64::cli {

// Until Ctrl-C (128 + the signal) or --count N units: then kExitSuccess only when all of them
// succeeded. A settings file the write would refuse is refused before any unit is waited for.
int RunStation(const CommandLine& line, TerminalMessages& messages);

}  // namespace k64::cli
