// Command line of k64-sim.
#pragma once

#include "sim/unit_model.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace k64::sim {

inline constexpr std::uint32_t kDefaultId = 16001234;
inline constexpr const char* kDefaultType = "K64_r2";
// Older than the image the tool carries, so an update has something to do.
inline constexpr const char* kDefaultVersion = "000.013";
inline constexpr const char* kDefaultBuildDate = "Sep 01 2016";

struct Options {
    bool help = false;
    bool showVersion = false;  // --version with no value: the program's own version
    std::string link;          // symlink to the pty, or empty
    std::string stateDir;      // persistent state, or empty for memory only
    std::string traceFile;     // frame trace, or empty
    std::string settingsFile;  // initial settings text, or empty
    UnitState seed;            // the unit as it leaves the factory
    Faults faults;
    std::chrono::milliseconds prepareDelay = kDefaultPrepareDelay;
    std::chrono::milliseconds diagnosticInterval = kDefaultDiagnosticInterval;
    std::uint32_t baud = 0;             // pace of the line, 8N1; 0 for as fast as the terminal goes
    std::uint64_t diagnosticFlood = 0;  // bytes a second of diagnostic text at the least, 0 none
    std::optional<std::uint64_t> hangupAfter;  // close the line when this request frame arrives
    std::optional<std::chrono::milliseconds> knockAfter;  // a knock this long after each start
                                                          // of the diagnostic stream
};

struct [[nodiscard]] ParseResult {
    Options options;
    std::string error;  // empty when the command line was understood
};

// `args` excludes the program name.
ParseResult ParseOptions(std::span<const std::string> args);
std::string Usage(const std::string& program);

}  // namespace k64::sim
