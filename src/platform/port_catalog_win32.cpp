#include "platform/port_catalog.h"

#include <utility>

namespace k64 {
namespace {
std::vector<std::string> NumberedComPorts(int first, int last)
{
    std::vector<std::string> names;
    for (int n = first; n <= last; ++n)
        names.push_back("COM" + std::to_string(n));
    return names;
}
} // namespace

SystemPortCatalog::SystemPortCatalog(std::string deviceDirectory)
    : deviceDirectory_(std::move(deviceDirectory))
{
}

// COM1 is a built-in port, never the unit's virtual one, so the search starts at COM2.
std::vector<std::string> SystemPortCatalog::Candidates() { return NumberedComPorts(2, 254); }

std::string DefaultPortName() { return "COM5"; }

std::vector<std::string> WindowPortList() { return NumberedComPorts(2, 255); }

std::vector<std::string> PortFolders() { return {}; }

} // namespace k64
