#pragma once
// k64ctl update-firmware and update-sound: the desktop program's two update buttons on a
// terminal, driving the same transfers. Log lines go to standard output, boxes as
// TerminalMessages shows them, a progress line to standard error when that is a terminal.

#include "command_line.h"
#include "terminal_messages.h"

namespace k64::cli {

// Runs "update-firmware" or "update-sound" on the port of this call (--port), else the stored
// one, else the default port. --yes answers every question with OK/Yes; without it the questions
// are asked on the terminal (k64ctl refuses the command before it runs when there is none).
// kExitSuccess only when the unit confirmed the commit. The firmware update keeps the unit's
// settings before it and compares them after it, unless --no-backup.
int RunUpdateCommand(const CommandLine& line, TerminalMessages& messages);

}  // namespace k64::cli
