#pragma once
// The commands that change a unit's settings, and the settings history that keeps what they
// replace: before a write (write-settings, restore) or a firmware update the unit's current
// settings are stored as a history entry, so that no owner's settings are ever lost.

#include "command_line.h"
#include "device/device.h"
#include "parameters/parameter_list.h"
#include "terminal_messages.h"

#include <filesystem>
#include <optional>
#include <string>

namespace k64::cli {

int RunWriteSettings(const CommandLine& line, TerminalMessages& messages);
int RunRestore(const CommandLine& line, TerminalMessages& messages);
int RunBackup(const CommandLine& line, TerminalMessages& messages);
int RunHistory(const CommandLine& line, TerminalMessages& messages);
int RunDiff(const CommandLine& line, TerminalMessages& messages);

// The unit's serial number and settings (into `list`), in one id and one settings exchange;
// false, with the failure shown, when it does not answer.
bool ReadUnitSettings(DeviceInterface& device, ParameterList& list, std::string* serial,
                      TerminalMessages& messages);
// Stores `list` as a history entry of `serial` and names it on standard output; false, with the
// failure shown, when it cannot be written.
bool StoreBackup(const ParameterList& list, const std::string& serial, TerminalMessages& messages);
// Saves `list` as a settings file at `output` (a command-line name); false, with the failure
// shown, when the save fails.
bool SaveSettingsTo(const std::string& output, const ParameterList& list,
                    TerminalMessages& messages);
// Prints one line per value that differs between `before` and `after`; true when any did.
bool PrintDifferences(const ParameterList& before, const ParameterList& after);

}  // namespace k64::cli
