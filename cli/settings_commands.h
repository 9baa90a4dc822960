#pragma once
// The commands that change a unit's settings, and the settings history that keeps what they
// replace: before a write (write-settings, restore) or a firmware update the unit's current
// settings are stored as a history entry, so that no owner's settings are ever lost.

#include "command_line.h"
#include "parameters/parameter_list.h"
#include "service/settings_workflows.h"
#include "terminal_messages.h"

#include <filesystem>
#include <string>

namespace k64::cli {

int RunWriteSettings(const CommandLine& line, TerminalMessages& messages);
int RunRestore(const CommandLine& line, TerminalMessages& messages);
int RunBackup(const CommandLine& line, TerminalMessages& messages);
int RunHistory(const CommandLine& line, TerminalMessages& messages);
int RunDiff(const CommandLine& line, TerminalMessages& messages);

// Reads the settings file at `path` into `list` with the refusals of a write, and how to write
// it into `options` (--merge, --no-verify of `line`): a file that is no settings text is the
// caller's mistake (2), like a value outside its limits unless --force, and with --merge a line
// that names no parameter; every refusal is named before giving up, not just the first. 0 when
// the list may be sent.
[[nodiscard]] int LoadForWrite(const std::filesystem::path& path, const CommandLine& line,
                               ParameterList& list, service::WriteOptions& options,
                               TerminalMessages& messages);

// For write-settings and restore FILE: the file checked as their write checks it, so that a run
// on many units refuses it before any unit is asked anything. 0 for every other command.
[[nodiscard]] int CheckSettingsSource(const CommandLine& line, TerminalMessages& messages);

// Saves `list` as a settings file at `output` (a command-line name); false, with the failure
// shown, when the save fails.
[[nodiscard]] bool SaveSettingsTo(const std::string& output, const ParameterList& list,
                                  TerminalMessages& messages);

}  // namespace k64::cli
