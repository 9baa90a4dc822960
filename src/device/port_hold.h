#pragma once

#include "device/device.h"

namespace k64 {

// Keeps the unit's port from other processes for the length of one operation of several
// exchanges (a settings write with its backup, an update from prepare to commit), so that
// nothing else reaches the unit between them. Released by Release() or when the hold goes out
// of scope, whichever comes first.
class PortHold {
public:
    explicit PortHold(DeviceInterface& device);
    ~PortHold() { Release(); }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;
    // False when another process holds the port; then nothing was sent.
    explicit operator bool() const { return held_; }
    void Release();

private:
    DeviceInterface& device_;
    bool held_;
};

}  // namespace k64
