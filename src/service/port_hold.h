#pragma once

#include "device/device.h"

namespace k64::service {

// Keeps the unit's port for the length of one command of several exchanges, so that nothing
// else reaches the unit between them; released when the hold goes out of scope.
class PortHold {
public:
    explicit PortHold(DeviceInterface& device);
    ~PortHold();
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;
    explicit operator bool() const { return held_; }

private:
    DeviceInterface& device_;
    bool held_;
};

}  // namespace k64::service
