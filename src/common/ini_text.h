#pragma once
// The few INI values the programs keep in a file of the user's (the portable copy's
// k64-portable.ini): read one value, or set one and keep every other line as it was. Sections
// and keys compare without regard to ASCII case, as Windows reads INI files; values are UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace k64 {

// The value of `key` in `section`, blanks around it removed; nullopt when there is none.
[[nodiscard]] std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                                  std::string_view key);

// `text` with `key` in `section` set to `value`: the key's line replaced, else a line added at
// the end of the section, else the section added at the end. A line feed or carriage return in
// `value` would start a line of its own and is left out.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace k64
