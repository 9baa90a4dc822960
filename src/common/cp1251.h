#pragma once
// Texts from the unit, from settings files and from the embedded resources are Windows-1251
// bytes; the windows and the terminal speak UTF-8. These two conversions are the only bridge.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace k64 {

// Every byte maps to a character (the one unassigned byte becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);

// Null when the text is not valid UTF-8 or holds a character Windows-1251 cannot represent:
// such text is refused, never silently replaced. `failedAt`, when given, then receives the byte
// offset of the first character that could not be converted.
[[nodiscard]] std::optional<std::string> Utf8ToCp1251(std::string_view text,
                                                      std::size_t* failedAt = nullptr);

// True when `text` is well-formed UTF-8 throughout.
bool IsUtf8(std::string_view text);

// The UTF-8 character starting at byte `at` of `text` as a person reads it: the character and
// its code point ("\"Ω\" (U+03A9)"), or the byte in hex ("0xC3") where no character starts.
std::string DescribeUtf8At(std::string_view text, std::size_t at);

}  // namespace k64
