// k64ctl doctor: the connection check, printed.

#include "device_commands.h"
#include "json_output.h"
#include "service/connection_check.h"
#include "session.h"
#include "terminal_output.h"

namespace k64::cli {

int RunDoctor(const CommandLine& line)
{
    Session session(line);
    const service::ConnectionReport report = service::CheckConnection(session.Device());
    for (const std::string& text : report.lines)
        PrintLine(text);
    if (report.exitCode != 0)
        NoteError(report.problem);
    return report.exitCode;
}

}  // namespace k64::cli
