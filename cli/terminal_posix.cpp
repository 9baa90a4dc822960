#include "terminal.h"

#include <unistd.h>

namespace k64::cli {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

bool TakesEscapes(std::FILE* stream) { return IsTerminal(stream); }

}  // namespace k64::cli
