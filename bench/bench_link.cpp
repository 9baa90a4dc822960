// Figures for the device link on a kernel pseudo-terminal:
//  1. CPU time spent while an exchange waits 4 s for a reply that never comes (target < 0.1 %
//     of the wait), with and without a sleeper (how often the wait wakes its caller);
//  2. round trip of a small request and reply with the port opened and closed per exchange
//     (target < 0.5 ms);
//  3. the share of that round trip spent taking and letting go of the port lock.

#include "device/device.h"
#include "get_id_round_trips.h"
#include "support/memory_ports.h"
#include "support/observing_sleeper.h"
#include "support/pty_pair.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;
using k64::test::ListPortCatalog;
using k64::test::MemoryPortStore;
using k64::test::PtyPair;

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void SilentWait(bool withSleeper)
{
    PtyPair pty;
    MemoryPortStore store(pty.SlavePath());
    ListPortCatalog catalog;
    k64::TDevice device(store, catalog);
    int sleeps = 0;
    k64::test::ObservingSleeper sleeper([&sleeps] { ++sleeps; });
    if (withSleeper)
        device.Port().SetSleeper(&sleeper);
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    std::uint32_t id = 0;
    const int result = device.GetId(&id);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    std::printf("silent wait%s: result %d, wall %.3f s, CPU %.4f s = %.4f %% of the wait",
                withSleeper ? " with a sleeper" : "", result, wall, cpu, 100.0 * cpu / wall);
    if (withSleeper)
        std::printf(", the wait woke its sleeper %d times", sleeps);
    std::printf("\n");
}

void RoundTrips(int count)
{
    PtyPair pty;
    // Answers every request at once with id 0x04030201.
    const k64::test::ScriptedUnit unit(pty, [](const k64::test::Frame&) {
        return k64::test::UnitReply{k64::test::EncodeFrame(0x0B, {1, 2, 3, 4})};
    });
    MemoryPortStore store(pty.SlavePath());
    ListPortCatalog catalog;
    k64::TDevice device(store, catalog);
    k64::bench::PrintGetIdRoundTrips(device, count, "round trip (open, id request, reply, close)",
                                     0x04030201);
}

// What every exchange outside an operation's hold pays for the port lock.
void LockCost(int count)
{
    PtyPair pty;
    quon::io::PortLock lock;
    const auto t0 = Clock::now();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        if (!lock.Acquire(pty.SlavePath()))
            ++failures;
        lock.Release();
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / count;
    std::printf("port lock taken and let go x%d: mean %.1f us, failures %d\n", count, us, failures);
}

}  // namespace

int main()
{
    SilentWait(false);
    SilentWait(true);
    RoundTrips(2000);
    LockCost(2000);
    return 0;
}
