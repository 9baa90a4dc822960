#pragma once
// Where the settings history lives (entries: parameters/settings_history.h). One folder for the
// desktop program and k64ctl alike, so that either finds what the other stored.

#include <filesystem>

namespace k64 {

// Overrides the folder: for tests, and for shops that keep the history on a shared drive.
inline constexpr const char* kHistoryFolderVariable = "K64_HISTORY_DIR";

// K64_HISTORY_DIR when set; else "history" beside a portable copy; else on Linux $XDG_DATA_HOME
// (or ~/.local/share) + k64/history, on Windows %LOCALAPPDATA%\k64\history. The folder may not
// exist yet.
std::filesystem::path HistoryFolder();

}  // namespace k64
