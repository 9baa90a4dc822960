#include "device/port_hold.h"

namespace k64 {

PortHold::PortHold(DeviceInterface& device) : device_(device), held_(device.HoldPort()) {}

void PortHold::Release()
{
    if (held_)
        device_.ReleasePort();
    held_ = false;
}

}  // namespace k64
