#include "update/timer_pump.h"

#include <thread>

namespace k64::update {

long PumpTimer(std::chrono::milliseconds interval, const std::function<bool()>& enabled,
               const std::function<void()>& tick)
{
    using Clock = std::chrono::steady_clock;
    long ticks = 0;
    Clock::time_point due = Clock::now() + interval;
    while (enabled()) {
        std::this_thread::sleep_until(due);
        const Clock::time_point started = Clock::now();
        tick();
        ++ticks;
        // Measured from when this tick started, not from when it was due: a slow request
        // delays the next block, it never makes the following ones come in a burst.
        due = started + interval;
    }
    return ticks;
}

}  // namespace k64::update
