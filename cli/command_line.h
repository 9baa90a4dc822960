#pragma once
// k64ctl's command line: one table of commands, each with its operands and options bound to the
// fields of CommandLine and the handler that runs it.

#include <optional>
#include <string>
#include <vector>

namespace k64::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;        // the unit or a file failed
inline constexpr int kExitUsage = 2;          // the command line (or a refused settings value)
inline constexpr int kExitInterrupted = 130;  // Ctrl-C, as shells count it (128 + SIGINT)
inline constexpr int kExitTerminated = 143;   // SIGTERM (128 + 15)

struct CommandLine {
    // Taken by every command; those that do not reach a unit ignore them.
    std::optional<std::string> port;  // this call only; never stored
    bool json = false;                // one JSON document on standard output
    // Many units at once: these ports, or every port whose unit answers.
    std::vector<std::string> ports;
    bool all = false;
    unsigned jobs = 0;  // at most this many units at a time; 0 for all of them

    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> output;     // read-settings, backup --output
    std::optional<std::string> outputDir;  // read-settings --output-dir (many units)
    bool force = false;                    // write-settings, restore --force
    bool yes = false;                      // update-firmware/update-sound --yes
    std::optional<double> seconds;         // diag --seconds
    std::optional<std::string> csv;        // diag --csv
    std::optional<std::string> csvDir;     // diag --csv-dir (many units)
    bool noBackup = false;                 // write-settings, restore, update-firmware --no-backup
    bool restoreSettings = false;          // update-firmware --restore-settings
    std::optional<std::string> unit;       // history --unit
    bool merge = false;                    // write-settings, restore, station --merge
    bool noVerify = false;                 // write-settings, restore, station --no-verify

    // station: the job, and which units.
    bool updateFirmware = false;
    bool forceFirmware = false;
    bool updateSound = false;
    std::optional<std::string> settings;  // --settings FILE
    std::vector<std::string> watch;       // --watch DIR, any number
    bool includePresent = false;
    unsigned count = 0;              // --count N; 0 until stopped
    std::optional<std::string> log;  // --log FILE

    bool Fleet() const { return all || !ports.empty(); }
};

class TerminalMessages;
using CommandHandler = int (*)(const CommandLine&, TerminalMessages&);

struct [[nodiscard]] ParseResult {
    // On a usage error only `json` is set: whether --json is among the arguments.
    CommandLine line;
    CommandHandler run = nullptr;  // set when the line is usable
    // Set when the command asks questions, which a terminal or --yes has to answer: the one
    // question that answers them all before a run on many units ("Обновить прошивку").
    const char* asks = nullptr;
    // A usage error: one line saying what is wrong, and where to find help.
    std::string error;
    std::string helpHint;
    // --help or --version: print this on standard output and end with success; nothing runs.
    std::optional<std::string> text;
};

// `arguments` without the program name; `defaultPort` is named in the help.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& defaultPort);

// What the command table holds, for checks that the manual pages and the completion keep up
// with it: each command with the names of its own options ("--csv", "-y"), and the options the
// program takes before or after any command.
struct CommandOptions {
    std::string name;
    std::vector<std::string> options;
};
std::vector<CommandOptions> CommandTable();
std::vector<std::string> ProgramOptions();

}  // namespace k64::cli
