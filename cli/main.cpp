// k64ctl: the service tool's operations from a terminal, for scripts and machines without a
// display. The program's entry point is per platform (main_posix.cpp, main_win32.cpp); both
// hand their arguments here as UTF-8.

#include "main.h"

#include "command_line.h"
#include "commands.h"
#include "platform/port_catalog.h"
#include "terminal_messages.h"

#include <cstdio>

namespace k64::cli {

int Main(const std::vector<std::string>& arguments)
{
    TerminalMessages messages(stdout, stderr, stdin,
                              TerminalMessages::StandardStreamsAreTerminal());
    // The serial port's own failures have no window to belong to; they come out here too.
    ScopedOwnerlessMessages ownerless(&messages);

    const ParseResult parsed = ParseCommandLine(arguments, k64::DefaultPortName());
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "k64ctl: %s\n\n%s", parsed.error.c_str(), parsed.usage.c_str());
        return kExitUsage;
    }
    if (parsed.text) {
        std::fputs(parsed.text->c_str(), stdout);
        return kExitSuccess;
    }
    return RunCommand(parsed.line, messages);
}

}  // namespace k64::cli
