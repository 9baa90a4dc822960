#pragma once
// Where k64ctl's text goes, and the unit's Windows-1251 text made fit for the terminal.

#include "service/shown_text.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace k64::cli {

// Where the command's text goes: standard output, or standard error under --json; in a run on
// many units, the unit's own output (fleet_output.h).
std::FILE* TextStream();
// Where its warnings and errors go: standard error, or the unit's own output.
std::FILE* ErrorStream();

// Writes `line` and a line feed to TextStream().
void PrintLine(const std::string& line);
// Writes "k64ctl: ", `text` and a line feed to ErrorStream(): why the command failed, which is
// also the message of the --json failure document.
void PrintError(const std::string& text);

// Shared with the window's log.
using service::EscapedName;
using service::EscapedPath;
using service::ForTerminal;

}  // namespace k64::cli
