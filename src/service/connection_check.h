#pragma once
// The connection check (k64ctl doctor, and "Проверка подключения" in the window): why the unit
// cannot be reached. The checks are a pure function of facts gathered beforehand, so every
// combination can be tried without the machine being in it; gathering them is the platform's.

#include "device/device.h"
#include "device/port_failure.h"
#include "device/port_lock.h"
#include "platform/port_access.h"
#include "platform/usb_details.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace k64::service {

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
    std::vector<ProcessInfo> holders;  // other processes seen with the port open
    quon::io::PortLockView lock;
    std::vector<ProcessInfo> running;  // ModemManager and brltty, when they run
    std::map<std::string, std::string> udev;
    UnitAnswer unit;
    quon::io::PortFailure openFailure;  // why the unit's requests could not open the port
};

// What the check looks at on Windows, where the port is a numbered name: whether the system
// has it, why it would not open, and the unit.
struct WindowsFacts {
    std::string port;
    bool exists = false;
    std::vector<std::string> present;   // the COM ports the system has
    quon::io::PortFailure openFailure;  // from the unit's requests; none when they opened
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

// The three checks on Windows: the port exists, no other program holds it, the unit.
std::vector<CheckResult> RunWindowsChecks(const WindowsFacts& facts);

// Asks the unit behind `device` for its id and version (opening the port); a failure to open
// stays in the device for TakePortFailure().
UnitAnswer AskUnit(TDevice& device);

// Both requests answered.
bool UnitAnswered(const UnitAnswer& unit);

// The checks as printed: a mark and the finding, each line of its fix indented below it.
std::vector<std::string> ReportLines(const std::vector<CheckResult>& results);

// 0 when all is well and the unit answered, 1 when any check found a problem.
[[nodiscard]] int ReportExitCode(const std::vector<CheckResult>& results);

struct ConnectionReport {
    std::vector<std::string> lines;
    int exitCode = 1;
    std::string problem;  // what the first check with a problem found
};

// The report of `results`: ReportLines, ReportExitCode and the first problem.
ConnectionReport MakeReport(const std::vector<CheckResult>& results);

// Gathers the facts from the system and the unit behind `device`, then runs the checks. The
// unit is asked last: its requests open the port.
ConnectionReport CheckConnection(TDevice& device);

}  // namespace k64::service
