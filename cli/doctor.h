#pragma once
// k64ctl doctor: why the unit cannot be reached. The checks are a pure function of facts
// gathered beforehand, so every combination can be tried without the machine being in it.

#include "platform/port_access.h"
#include "platform/usb_details.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace k64::cli {

struct UnitAnswer {
    int idResult = 0;  // the device object's result of the id request
    std::uint32_t id = 0;
    int versionResult = 0;  // and of the version request
    std::string type;       // Windows-1251, as the unit sent them
    std::string version;
};

struct DoctorFacts {
    std::string port;
    DeviceNode node;
    std::optional<UsbDetails> usb;
    std::vector<std::pair<std::string, UsbDetails>> usbPorts;  // the USB serial devices present
    UserGroups user;
    std::vector<ProcessInfo> holders;  // other processes with the port open or locked
    std::vector<ProcessInfo> running;  // ModemManager and brltty, when they run
    std::map<std::string, std::string> udev;
    UnitAnswer unit;
};

enum class CheckStatus { kOk, kProblem, kSkipped };

struct CheckResult {
    CheckStatus status;
    std::string found;  // one line: what the check saw
    std::string fix;    // for a problem: the command or step that fixes it; may hold lines
};

// The five checks in order: the port node, access to it, other holders, ModemManager, the unit.
std::vector<CheckResult> RunDoctorChecks(const DoctorFacts& facts);

// Both requests answered.
bool UnitAnswered(const UnitAnswer& unit);

}  // namespace k64::cli
