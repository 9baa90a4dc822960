#pragma once
// k64ctl's command line: global options, one command, its operands and options.

#include <optional>
#include <string>
#include <vector>

namespace k64::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the unit or a file failed
inline constexpr int kExitUsage = 2;    // the command line (or a refused settings value)

struct CommandLine {
    std::optional<std::string> port;  // this call only; never stored
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> output;  // read-settings, backup --output
    bool force = false;                 // write-settings, restore --force
    bool yes = false;                   // update-firmware/update-sound --yes
    std::optional<double> seconds;      // diag --seconds
    std::optional<std::string> csv;     // diag --csv
    bool noBackup = false;              // write-settings, restore, update-firmware --no-backup
    bool restoreSettings = false;       // update-firmware --restore-settings
    std::optional<std::string> unit;    // history --unit
};

struct ParseResult {
    CommandLine line;
    std::string error;  // empty when the line is usable
    // --help or --version: print this on standard output and end with success; nothing runs.
    std::optional<std::string> text;
    // The list of commands and options that follows a usage error.
    std::string usage;
};

// What the command table holds, for checks that the manual pages and the completion keep up
// with it: each command with the names of its own options ("--csv", "-y"), and the options the
// program takes before any command.
struct CommandOptions {
    std::string name;
    std::vector<std::string> options;
};
std::vector<CommandOptions> CommandTable();
std::vector<std::string> ProgramOptions();

// `arguments` without the program name; `defaultPort` is named in the help.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& defaultPort);

}  // namespace k64::cli
