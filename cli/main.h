#pragma once

#include <string>
#include <vector>

namespace k64::cli {

// Runs one k64ctl call; `arguments` (UTF-8) exclude the program name. Returns the exit code.
int Main(const std::vector<std::string>& arguments);

}  // namespace k64::cli
