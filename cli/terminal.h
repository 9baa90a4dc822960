#pragma once
// Whether a standard stream is a terminal: questions are asked, and progress drawn, only there.

#include <cstdio>

namespace k64::cli {

bool IsTerminal(std::FILE* stream);
// A terminal that takes the escape sequences which erase a line and move the cursor up, so that
// live lines can be redrawn in place: every POSIX terminal; a Windows console once its
// virtual-terminal processing is on (switched on at start; consoles before Windows 10 refuse).
bool TakesEscapes(std::FILE* stream);

}  // namespace k64::cli
