#pragma once
// k64ctl --ports P1,P2,... COMMAND and k64ctl --all COMMAND: one command on many units at once.

#include "command_line.h"
#include "json_output.h"
#include "service/fleet.h"
#include "terminal_messages.h"

#include <vector>

namespace k64::cli {

// Runs the parsed command once per unit, each on its own port, after its questions were put
// once for all (a caller without a terminal has checked --yes); kExitSuccess only when every
// unit succeeded, 128 + the signal number when a signal stopped the run.
int RunFleet(const ParseResult& parsed, TerminalMessages& messages);

// One unit's entry in the --json document of a run on many units, {"units": [...]}: what the
// command tells of it (`document`, an object or nothing) under the run's own keys "port",
// "serial", "ok", "error" and "seconds".
Json UnitEntry(const service::UnitResult& unit, Json document = nullptr);

}  // namespace k64::cli
