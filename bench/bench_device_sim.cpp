// The device object against k64-sim: how many id exchanges (open, request, reply, close) run per
// second, and how much processor time the tool spends while the unit takes 19 s to confirm a
// sound-update prepare request (the wait must sleep, not spin).

#include "support/sim_device.h"

#include <chrono>
#include <cstdio>
#include <string>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void IdExchanges()
{
    k64::test::SimDevice sim;
    if (!sim.process.Started()) {
        std::printf("GetId exchanges: k64-sim did not start\n");
        return;
    }
    constexpr int kCount = 2000;
    int failed = 0;
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    for (int i = 0; i < kCount; ++i) {
        std::uint32_t id = 0;
        if (sim.device.GetId(&id) != k64::kOk)
            ++failed;
    }
    const double wall = Since(t0);
    const double cpu = CpuSeconds() - cpu0;
    std::printf("GetId against k64-sim x%d: %.0f exchanges/s, %.3f ms each, tool CPU %.1f %% of "
                "the wall time, %d failed\n",
                kCount, kCount / wall, 1000.0 * wall / kCount, 100.0 * cpu / wall, failed);
}

void SlowPrepare()
{
    k64::test::SimDevice sim({"--delay", "196:19000"});
    if (!sim.process.Started()) {
        std::printf("BeginWaveUpdate wait: k64-sim did not start\n");
        return;
    }
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    const int result = sim.device.BeginWaveUpdate();
    const double wall = Since(t0);
    const double cpu = CpuSeconds() - cpu0;
    std::printf("BeginWaveUpdate answered after 19 s: result %d, wall %.3f s, tool CPU %.4f s = "
                "%.4f %% of the wait\n",
                result, wall, cpu, 100.0 * cpu / wall);
}

}  // namespace

int main()
{
    IdExchanges();
    SlowPrepare();
    return 0;
}
