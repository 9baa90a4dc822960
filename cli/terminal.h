#pragma once
// Whether a standard stream is a terminal: questions are asked, and progress drawn, only there.

#include <cstdio>

namespace k64::cli {

bool IsTerminal(std::FILE* stream);

}  // namespace k64::cli
