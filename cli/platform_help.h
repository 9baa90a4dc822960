#pragma once
// What the help says differently per system: the environment it reads. Whole files per
// platform.

namespace k64::cli {

// The help's paragraph on environment variables, ending in a line feed.
extern const char* const kEnvironmentHelp;

}  // namespace k64::cli
