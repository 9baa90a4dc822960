#pragma once
// The editor's check of a value the user typed for one parameter, also used by k64ctl before it
// stores a value given on its command line.

#include "parameters/parameter_list.h"

#include <optional>
#include <string>

namespace k64 {

// Null when `valueText` (Windows-1251) may be stored into `parameter`; otherwise the reason to
// show the user (UTF-8). Number: a whole number (ParseWholeNumber) within min..max. String: an
// empty text, or a length within min..max. Enum: any item number is taken as it stands. A text
// holding a line break or a zero byte is refused for every type, since it would split or cut
// the settings text it is written into.
[[nodiscard]] std::optional<std::string> ValidateValue(const Parameter& parameter,
                                                       const std::string& valueText);

}  // namespace k64
