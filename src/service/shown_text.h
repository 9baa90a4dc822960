#pragma once
// Text from outside (file and process names, bytes from the unit) made safe to show as one
// line, in the log of the window and on a terminal alike.

#include <filesystem>
#include <string>
#include <string_view>

namespace k64::service {

// UTF-8 for display. Control characters other than tab, which bytes from the unit or a file
// could use to move the cursor or recolour a terminal, are shown as "?".
std::string ForTerminal(std::string_view cp1251);

// A file system name (UTF-8 or plain bytes) as one unambiguous line: control bytes become
// \xNN and a backslash is doubled; everything else passes unchanged.
std::string EscapedName(std::string_view name);

// A path, in UTF-8, escaped like a name; but where the backslash is the separator (Windows), no
// name can hold one, and it is shown single.
std::string EscapedPath(const std::filesystem::path& path);

}  // namespace k64::service
