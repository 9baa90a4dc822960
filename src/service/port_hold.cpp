#include "port_hold.h"

namespace k64::service {

PortHold::PortHold(DeviceInterface& device) : device_(device), held_(device.HoldPort()) {}

PortHold::~PortHold()
{
    if (held_)
        device_.ReleasePort();
}

}  // namespace k64::service
