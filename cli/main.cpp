// k64ctl: the service tool's operations from a terminal, for scripts and machines without a
// display. The program's entry point is per platform (main_posix.cpp, main_win32.cpp); both
// hand their arguments here as UTF-8.

#include "main.h"

#include "command_line.h"
#include "fleet_command.h"
#include "json_output.h"
#include "platform/port_catalog.h"
#include "terminal_messages.h"
#include "terminal_output.h"

#include <cstdio>

namespace k64::cli {
namespace {

// The questions of a command need a terminal or --yes; false (said on standard error) when
// neither is there, before any unit is asked anything.
bool CanAnswer(const CommandLine& line)
{
    if (line.yes || TerminalMessages::StandardStreamsAreTerminal())
        return true;
    PrintError(line.command + " задает вопросы; без терминала подтвердите их ключом --yes");
    return false;
}

}  // namespace

int Main(const std::vector<std::string>& arguments)
{
    const ParseResult parsed = ParseCommandLine(arguments, k64::DefaultPortName());
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "k64ctl: %s\n%s\n", parsed.error.c_str(), parsed.helpHint.c_str());
        if (parsed.line.json)
            std::fputs(DumpJson(ErrorDocument(parsed.error, kExitUsage)).c_str(), stdout);
        return kExitUsage;
    }
    if (parsed.text) {
        std::fputs(parsed.text->c_str(), stdout);
        return kExitSuccess;
    }
    const bool json = parsed.line.json;
    SetJsonMode(json);
    // Under --json standard output holds the document alone; results go with the messages.
    TerminalMessages messages(json ? stderr : stdout, stderr, stdin,
                              TerminalMessages::StandardStreamsAreTerminal());
    // The serial port's own failures have no window to belong to; they come out here too.
    ScopedOwnerlessMessages ownerless(&messages);
    int status = kExitUsage;
    if (parsed.asks == nullptr || CanAnswer(parsed.line))
        status =
            parsed.line.Fleet() ? RunFleet(parsed, messages) : parsed.run(parsed.line, messages);
    if (json)
        std::fputs(DumpJson(FinalDocument(status)).c_str(), stdout);
    return status;
}

}  // namespace k64::cli
