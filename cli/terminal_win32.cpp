#include "terminal.h"

#include <io.h>

namespace k64::cli {

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

}  // namespace k64::cli
