#pragma once
// GetId round trips (open, request, reply, close) timed through the device layer and printed as
// one line: the same figure on a pty here and on a COM port under Wine.

#include "device/device.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace k64::bench {

// Returns the failures: a result other than kOk, or an id other than `expected` when given.
inline int PrintGetIdRoundTrips(TDevice& device, int count, const char* label,
                                std::optional<std::uint32_t> expected = std::nullopt)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(count));
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::uint32_t id = 0;
        const auto t0 = Clock::now();
        if (device.GetId(&id) != kOk || (expected && id != *expected))
            ++failures;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("%s x%d: mean %.3f ms, median %.3f ms, p99 %.3f ms, max %.3f ms, failures %d\n",
                label, count, sum / count, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(),
                failures);
    return failures;
}

}  // namespace k64::bench
