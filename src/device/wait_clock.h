#pragma once
// The clock that reply waits are measured on. The product always uses the steady clock; tests
// pass a faster one so that a 4 s time-out does not cost them 4 s.

#include <chrono>

namespace k64 {

class WaitClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~WaitClock() = default;
    virtual TimePoint Now() const = 0;
    // How long to block in the kernel so that `span` passes on this clock (at least 1 ms when
    // `span` is positive, so a wait never degenerates into a spin).
    virtual std::chrono::milliseconds RealSpan(std::chrono::milliseconds span) const = 0;
};

// The steady clock: real time.
const WaitClock& SteadyWaitClock();

}  // namespace k64
