#pragma once
// Drives a transfer's timer where no message loop does (k64ctl, benchmarks). Ticks start one
// interval apart, as the window's timer would start them; the time a tick spends on its request
// counts towards the next interval instead of adding to it. Between ticks the thread sleeps.

#include <chrono>
#include <functional>

namespace k64::update {

// Calls `tick` while `enabled` holds, the first time one interval from now. Returns the number
// of ticks. `enabled` is read after every tick, so a tick that disables its timer ends the run.
long PumpTimer(std::chrono::milliseconds interval, const std::function<bool()>& enabled,
               const std::function<void()>& tick);

}  // namespace k64::update
