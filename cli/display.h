#pragma once
// Windows-1251 data shown on the terminal.

#include "service/shown_text.h"

#include <string>
#include <string_view>

namespace k64::cli {

// Writes `line` and a line feed to standard output.
void PrintLine(const std::string& line);

// Shared with the window's log.
using service::EscapedName;
using service::ForTerminal;

// A port as `ports` lists it: its name, and for a USB device, tab-separated, vendor:product ids,
// manufacturer, product and serial number, each escaped like a name. The name stays the first
// column for scripts.
std::string PortLine(const std::string& name);

}  // namespace k64::cli
