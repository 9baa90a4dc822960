// k64ctl: the service tool's operations from a terminal, for scripts and machines without a
// display.

#include "command_line.h"
#include "commands.h"
#include "platform/port_catalog.h"
#include "terminal_messages.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());

    using namespace k64::cli;
    TerminalMessages messages(stdout, stderr, stdin, TerminalMessages::StandardStreamsAreTerminal());
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
