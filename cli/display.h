#pragma once
// Windows-1251 data shown on the terminal.

#include <filesystem>
#include <string>
#include <string_view>

namespace k64::cli {

// Writes `line` and a line feed to standard output.
void PrintLine(const std::string& line);

// UTF-8 for the terminal. Control characters other than tab, which bytes from the unit or a
// file could use to move the cursor or recolour the terminal, are shown as "?".
std::string ForTerminal(std::string_view cp1251);

// A file system name (UTF-8 or plain bytes) as one unambiguous line: control bytes become
// \xNN and a backslash is doubled; everything else passes unchanged.
std::string EscapedName(std::string_view name);

// A path, in UTF-8, escaped like a name; but where the backslash is the separator (Windows), no
// name can hold one, and it is shown single.
std::string EscapedPath(const std::filesystem::path& path);

// A port as `ports` lists it: its name, and for a USB device, tab-separated, vendor:product ids,
// manufacturer, product and serial number, each escaped like a name. The name stays the first
// column for scripts.
std::string PortLine(const std::string& name);

}  // namespace k64::cli
