#pragma once
// Texts from the unit, from settings files and from the embedded resources are Windows-1251
// bytes; the windows and the terminal speak UTF-8. These two conversions are the only bridge.

#include <optional>
#include <string>
#include <string_view>

namespace k64 {

// Every byte maps to a character (the one unassigned byte becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);

// Null when the text is not valid UTF-8 or holds a character Windows-1251 cannot represent:
// such text is refused, never silently replaced.
std::optional<std::string> Utf8ToCp1251(std::string_view text);

}  // namespace k64
