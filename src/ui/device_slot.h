#pragma once
// The one device object of a run. The main window fills and replaces it; the editor and the
// diagnostic window use whatever it holds at the moment they act, and do nothing when it is
// empty.

#include "device/device.h"

#include <functional>
#include <memory>
#include <string>

namespace k64::ui {

class DeviceSlot {
public:
    TDevice* get() const { return device_.get(); }
    explicit operator bool() const { return device_ != nullptr; }
    TDevice* operator->() const { return device_.get(); }

    // Puts a new device object in, destroying the old one (which closes its port). The new one
    // waits for the unit in the event loop (EventLoopSleeper), so the windows stay painted.
    void Replace(std::unique_ptr<TDevice> device);
    void Reset() { device_.reset(); }

    // A request is waiting for the unit right now; a timer tick or a close that comes in from
    // the wait's event loop must leave the device alone.
    bool WaitRunning() const { return device_ && device_->Busy(); }

    // How many device objects were put in so far (each replacement counts).
    int Generation() const { return generation_; }

    // Where the reason of a port failure is written: the main window's log.
    void SetFailureLog(std::function<void(const std::string&)> log)
    {
        failureLog_ = std::move(log);
    }
    // Called after a box: when the device could not get its port, or the unit did not answer,
    // the reason and where to look next go to the log, once.
    void LogFailure();

private:
    std::unique_ptr<TDevice> device_;
    int generation_ = 0;
    std::function<void(const std::string&)> failureLog_;
};

}  // namespace k64::ui
