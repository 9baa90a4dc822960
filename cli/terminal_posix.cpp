#include "terminal.h"

#include <unistd.h>

namespace k64::cli {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

}  // namespace k64::cli
