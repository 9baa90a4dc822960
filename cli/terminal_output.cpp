#include "terminal_output.h"

#include "fleet_output.h"
#include "json_output.h"

#include <cstdio>

namespace k64::cli {

std::FILE* TextStream()
{
    if (std::FILE* unit = UnitOutput())
        return unit;
    return JsonMode() ? stderr : stdout;
}

std::FILE* ErrorStream()
{
    std::FILE* unit = UnitOutput();
    return unit != nullptr ? unit : stderr;
}

void PrintLine(const std::string& line)
{
    std::FILE* out = TextStream();
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
}

void PrintError(const std::string& text)
{
    NoteError(text);
    std::fprintf(ErrorStream(), "k64ctl: %s\n", text.c_str());
}

}  // namespace k64::cli
