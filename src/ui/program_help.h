#pragma once
// The desktop program's --help, which speaks of the system's own ports and folders. Whole files
// per platform.

namespace k64::ui {

extern const char* const kProgramHelp;

}  // namespace k64::ui
