#pragma once
// The data the programs carry inside themselves, looked up by name: "parameter_list" (the XML
// description of the settings), "blow" (the firmware image), "wave_list" (the sound container).

#include <optional>
#include <span>
#include <string_view>

namespace k64::resources {

// The bytes of the named resource, or nothing when no resource has that name.
std::optional<std::span<const unsigned char>> Find(std::string_view name);

}  // namespace k64::resources
