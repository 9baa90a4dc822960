#pragma once
// The commands that talk to the unit.

#include "command_line.h"
#include "device/device.h"
#include "platform/port_catalog.h"
#include "platform/port_name_store.h"
#include "terminal_messages.h"

namespace k64::cli {

// The device object of one call, on the port given for this call, else on the stored one, else
// on the platform's default port. Nothing is stored here.
class Session {
public:
    explicit Session(const CommandLine& line) : device_(store_, catalog_)
    {
        if (line.port)
            device_.SetPortName(*line.port);
        else if (store_.Load().empty())
            device_.SetPortName(DefaultPortName());
    }
    TDevice& Device() { return device_; }

private:
    QtPortNameStore store_;
    SystemPortCatalog catalog_;
    TDevice device_;  // after the two it refers to
};

int RunFind(TerminalMessages& messages);
int RunId(const CommandLine& line, TerminalMessages& messages);
int RunVersion(const CommandLine& line, TerminalMessages& messages);
int RunReadSettings(const CommandLine& line, TerminalMessages& messages);
int RunWriteSettings(const CommandLine& line, TerminalMessages& messages);
// Diagnostic mode: what the diagnostic window would show, until --seconds pass or Ctrl-C.
int RunDiag(const CommandLine& line, TerminalMessages& messages);
// Checks, one line each, why the unit on the port cannot be reached; 0 when it answered.
int RunDoctor(const CommandLine& line);

} // namespace k64::cli
