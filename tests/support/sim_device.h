#pragma once
// The simulator and a device object bound to its line, as the tool holds them.

#include "device/device.h"
#include "support/memory_ports.h"
#include "support/sim_process.h"

#include <string>
#include <vector>

namespace k64::test {

#ifdef K64_SIM_PATH
struct SimDevice {
    explicit SimDevice(const std::vector<std::string>& args = {},
                       const WaitClock& clock = SteadyWaitClock())
        : process(SimProgram(), args), store(process.PtyPath()), device(store, catalog, clock)
    {
    }
    SimProcess process;
    MemoryPortStore store;
    ListPortCatalog catalog;
    TDevice device;
};
#endif

}  // namespace k64::test
