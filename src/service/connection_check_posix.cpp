// The connection check on Linux: the facts come from the device node, the user's groups,
// /proc, udev and the unit itself.

#include "connection_check.h"

#include "platform/port_catalog.h"

namespace k64::service {
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
    facts.lock = quon::io::InspectPortLock(facts.port);
    facts.udev = UdevProperties(facts.node);
    // The unit last: its requests open the port.
    facts.unit = AskUnit(device);
    // The checks say why the port failed, and more; this one only /proc cannot show.
    facts.openFailure = device.TakePortFailure();
    return facts;
}

}  // namespace

ConnectionReport CheckConnection(TDevice& device)
{
    return MakeReport(RunDoctorChecks(GatherFacts(device)));
}

}  // namespace k64::service
