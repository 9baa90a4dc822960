// k64ctl doctor: gathers the facts from the system and the unit, then prints the checks.

#include "device/port_lock.h"
#include "device_commands.h"
#include "display.h"
#include "doctor.h"
#include "session.h"

#include <algorithm>
#include <cstring>

namespace k64::cli {
namespace {

DoctorFacts GatherFacts(TDevice& device)
{
    DoctorFacts facts;
    facts.port = device.PortName();
    facts.node = InspectDeviceNode(facts.port);
    facts.usb = ReadUsbDetails(facts.port);
    SystemPortCatalog catalog;
    for (const std::string& name : catalog.Candidates()) {
        if (std::optional<UsbDetails> usb = ReadUsbDetails(name))
            facts.usbPorts.emplace_back(name, std::move(*usb));
    }
    facts.user = CurrentUserGroups();
    facts.running = ProcessesNamed({"ModemManager", "brltty"});
    if (!facts.node.exists || !facts.node.characterDevice)
        return facts;
    facts.holders = ProcessesWithOpen(facts.node);
    // Between two exchanges a holder has the port only through its lock.
    if (const int pid = quon::io::PortLockHolder(facts.port); pid != 0) {
        const ProcessInfo locker{pid, ProcessName(pid)};
        if (std::find(facts.holders.begin(), facts.holders.end(), locker) == facts.holders.end())
            facts.holders.push_back(locker);
    }
    facts.udev = UdevProperties(facts.node);
    // The unit last: its requests open the port.
    UnitAnswer& unit = facts.unit;
    unit.idResult = device.GetId(&unit.id);
    std::string text;
    if (Succeeded(unit.idResult) && Succeeded(unit.versionResult = device.GetVersion(&text))) {
        VersionInfo info{};
        device.ParseVersion(&info, text);
        unit.type.assign(info.Type, ::strnlen(info.Type, sizeof info.Type));
        unit.version.assign(info.Version, ::strnlen(info.Version, sizeof info.Version));
    }
    return facts;
}

const char* Mark(CheckStatus status)
{
    switch (status) {
    case CheckStatus::kOk: return "[ок] ";
    case CheckStatus::kProblem: return "[!!] ";
    case CheckStatus::kSkipped: break;
    }
    return "[--] ";
}

}  // namespace

int RunDoctor(const CommandLine& line)
{
    Session session(line);
    const DoctorFacts facts = GatherFacts(session.Device());
    for (const CheckResult& check : RunDoctorChecks(facts)) {
        PrintLine(Mark(check.status) + check.found);
        // A fix of several lines: one command or step a line, indented under its finding.
        for (std::size_t start = 0; start < check.fix.size();) {
            const std::size_t end = std::min(check.fix.find('\n', start), check.fix.size());
            PrintLine("     " + check.fix.substr(start, end - start));
            start = end + 1;
        }
    }
    return UnitAnswered(facts.unit) ? kExitSuccess : kExitFailure;
}

}  // namespace k64::cli
