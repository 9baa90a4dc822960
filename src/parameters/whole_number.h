#pragma once
// The one reading of whole-number text, shared by the parameter list's limits and item values
// and by the editor's check of a typed Number value.

#include <cstdint>
#include <optional>
#include <string_view>

namespace k64 {

// Optional leading spaces (not tabs), an optional sign, then decimal digits or hexadecimal
// digits after "$", "x", "X", "0x" or "0X"; nothing may follow. The signed result must lie in
// the 32-bit range for hexadecimal text too, so "$FFFFFFFF" is refused rather than read as -1.
// Null when the text is not such a number.
[[nodiscard]] std::optional<std::int32_t> ParseWholeNumber(std::string_view text);

}  // namespace k64
