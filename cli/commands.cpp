#include "commands.h"

#include "platform/port_catalog.h"

#include <cstdio>
#include <string>

namespace k64::cli {
namespace {

void PrintLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

int RunPorts()
{
    SystemPortCatalog catalog;
    for (const std::string& name : catalog.Candidates())
        PrintLine(name);
    return kExitSuccess;
}

} // namespace

int RunCommand(const CommandLine& line, TerminalMessages& messages)
{
    (void)messages;
    if (line.command == "ports")
        return RunPorts();
    std::fprintf(stderr, "k64ctl: команда %s пока не поддерживается\n", line.command.c_str());
    return kExitUsage;
}

} // namespace k64::cli
