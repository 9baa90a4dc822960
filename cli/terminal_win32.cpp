#include "terminal.h"

#include <windows.h>
#include <io.h>

namespace k64::cli {

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

bool TakesEscapes(std::FILE* stream)
{
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return IsTerminal(stream) && ::GetConsoleMode(handle, &mode) != 0 &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace k64::cli
