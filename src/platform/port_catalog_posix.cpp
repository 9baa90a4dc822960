#include "platform/port_catalog.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace k64 {
namespace {
// Names of USB serial devices: the prefix followed by at least one digit and nothing else.
bool IsUsbSerialName(std::string_view name)
{
    for (std::string_view prefix : {std::string_view("ttyACM"), std::string_view("ttyUSB")}) {
        if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}
}  // namespace

SystemPortCatalog::SystemPortCatalog(std::string deviceDirectory)
    : deviceDirectory_(std::move(deviceDirectory))
{
}

std::vector<std::string> SystemPortCatalog::Candidates()
{
    std::vector<std::string> names;
    std::error_code error;
    // A folder that cannot be read simply has no devices; the extra ports still count.
    for (std::filesystem::directory_iterator it(deviceDirectory_, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsUsbSerialName(name))
            names.push_back((std::filesystem::path(deviceDirectory_) / name).string());
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });

    if (const char* extra = std::getenv(kExtraPortsVariable)) {
        for (std::string& name : SplitPortList(extra)) {
            // A port named twice would be probed twice, costing a full reply time-out each.
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::string> PresentPorts() { return SystemPortCatalog().Candidates(); }

std::string DefaultPortName() { return "/dev/ttyACM0"; }

std::vector<std::string> WindowPortList() { return SystemPortCatalog().Candidates(); }

std::vector<std::string> PortFolders() { return {kDeviceDirectory}; }

}  // namespace k64
