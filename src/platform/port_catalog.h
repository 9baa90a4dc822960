#pragma once
// Which ports exist on this machine: the candidates the port search probes, the list the main
// window offers, and the name used when none has been stored yet.

#include "device/port_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace k64 {

// Colon-separated extra ports probed after the present devices, e.g. a pseudo-terminal of the
// simulator or of socat. Read on every search, so a test can set it per run.
inline constexpr const char* kExtraPortsVariable = "K64_EXTRA_PORTS";

// Where USB serial devices appear on POSIX systems.
inline constexpr const char* kDeviceDirectory = "/dev";

class SystemPortCatalog final : public PortCatalog {
public:
    // `deviceDirectory` is the folder where USB serial devices appear (POSIX only; tests point
    // it at a folder of their own). Windows probes numbered COM ports and ignores it.
    explicit SystemPortCatalog(std::string deviceDirectory = kDeviceDirectory);
    std::vector<std::string> Candidates() override;

private:
    [[maybe_unused]] std::string deviceDirectory_;
};

// The candidates that exist right now, for listing: on POSIX systems all of them (they are
// found by looking), on Windows the numbered ports the system knows.
std::vector<std::string> PresentPorts();

// "/dev/ttyACM0" on POSIX systems, "COM5" on Windows.
std::string DefaultPortName();

// The entries of the main window's port box, in display order.
std::vector<std::string> WindowPortList();

// The folders whose entries come and go with the cable: the port box refreshes when one of them
// changes. Empty where ports are numbered rather than listed (Windows).
std::vector<std::string> PortFolders();

// Orders names so that numbers inside them compare by value: ttyACM2 before ttyACM10.
bool NaturalLess(std::string_view a, std::string_view b);

// Splits a colon-separated list, dropping empty entries ("a::b:" gives a, b).
std::vector<std::string> SplitPortList(std::string_view list);

}  // namespace k64
