#pragma once
// What the help says differently per system: the environment it reads and which commands exist
// there. Whole files per platform.

#include <string_view>

namespace k64::cli {

// The help's paragraph on environment variables, ending in a line feed.
extern const char* const kEnvironmentHelp;

// False for a command this system does not have (the connection check outside Linux).
bool CommandAvailable(std::string_view name);

}  // namespace k64::cli
