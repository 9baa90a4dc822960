// The connection check on Windows: the port's name in the system, what opening it says, and
// the unit.

#include "connection_check.h"

#include "platform/port_catalog.h"

#include <algorithm>
#include <cstring>

namespace k64::service {

ConnectionReport CheckConnection(TDevice& device)
{
    WindowsFacts facts;
    facts.port = device.PortName();
    facts.present = PresentPorts();
    // "com7" and "COM7" are one port.
    facts.exists =
        std::any_of(facts.present.begin(), facts.present.end(), [&](const std::string& name) {
            return ::_stricmp(name.c_str(), facts.port.c_str()) == 0;
        });
    if (facts.exists) {
        facts.unit = AskUnit(device);
        facts.openFailure = device.TakePortFailure();
    }
    return MakeReport(RunWindowsChecks(facts));
}

}  // namespace k64::service
