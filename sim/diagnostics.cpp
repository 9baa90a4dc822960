#include "sim/diagnostics.h"

#include <atomic>
#include <cmath>
#include <cstdio>

namespace k64::sim {
namespace {
std::atomic<bool> g_knock_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace

void RequestKnock() { g_knock_requested.store(true); }

double DiagnosticStream::Jitter(double amplitude)
{
    // xorshift32: deterministic for a seed, good enough for sensor noise.
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return amplitude * (static_cast<double>(random_) / 2147483647.5 - 1.0);
}

std::string DiagnosticStream::NextLines()
{
    const double t = static_cast<double>(tick_) * 0.25;
    char line[96];
    std::string out;
    // Axes in hundredths of g around a slightly tilted rest position.
    double x = 3.0 + 4.0 * std::sin(t * 0.7) + Jitter(1.5);
    double y = -2.0 + 3.0 * std::cos(t * 0.5) + Jitter(1.5);
    double z = 98.0 + 1.5 * std::sin(t * 0.3) + Jitter(1.0);
    if (g_knock_requested.exchange(false))
        Knock();
    if (knock_ > 0) {
        // Swings of alternating sign, each smaller than the one before.
        const double swing = (knock_ % 2 ? 1.0 : -1.0) * kKnockPeak * knock_ / kKnockTicks;
        x += swing;
        y -= 0.6 * swing;
        z += 0.8 * swing;
        --knock_;
    }
    std::snprintf(line, sizeof line, "$AccD:%.2f,%.2f,%.2f\r\n", x, y, z);
    out += line;
    switch (tick_ % 3) {
    case 0: {
        if (Jitter(1.0) > 0.8)
            ++events_;
        const double peak = std::fabs(Jitter(20.0));
        std::snprintf(line, sizeof line, "$AccE:%u,%.1f\r\n", events_, peak);
        break;
    }
    case 1:
        std::snprintf(line, sizeof line, "$VS:%.2f\r\n",
                      12.6 + 0.2 * std::sin(t * 0.1) + Jitter(0.05));
        break;
    default: {
        const unsigned rpm = static_cast<unsigned>(800.0 + 40.0 * std::sin(t) + Jitter(15.0));
        std::snprintf(line, sizeof line, "$Can:1,0x0C4,%u,%u\r\n", rpm,
                      static_cast<unsigned>(tick_ % 256));
        break;
    }
    }
    out += line;
    ++tick_;
    return out;
}

}  // namespace k64::sim
