#pragma once
// The desktop program's --help, which speaks of the system's own ports and folders. Whole files
// per platform.

#include <string>

namespace k64::ui {

extern const char* const kProgramHelp;

// Writes --help's or --version's answer where the user who asked reads it.
void PrintProgramAnswer(const std::string& text);

}  // namespace k64::ui
