#pragma once
// What the programs tell of themselves ("О программе" in the window, --version): their version,
// the firmware image and the sound data they carry, the licence and where the sources are.

#include <string>

namespace k64::service {

// Lines ended by line feeds, in UTF-8, the first one `program` and the version.
std::string AboutText(const std::string& program);

}  // namespace k64::service
