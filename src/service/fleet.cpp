#include "fleet.h"

#include "parameters/settings_history.h"
#include "service/port_failure_text.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace k64::service {

void RunConcurrently(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                     const std::function<bool()>& stopped)
{
    const std::size_t threads = jobs == 0 ? count : std::min<std::size_t>(jobs, count);
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t i; !stopped() && (i = next++) < count;)
            work(i);
    };
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    for (std::thread& thread : pool)
        thread.join();
}

void RunOnUnits(std::size_t count, const std::function<UnitResult&(std::size_t)>& unit,
                unsigned jobs, const std::function<bool()>& stopped, const UnitOperation& operation,
                const std::function<std::string(const std::string& fact)>& explain,
                std::mutex& guard)
{
    using Clock = std::chrono::steady_clock;
    RunConcurrently(
        count, jobs,
        [&](std::size_t i) {
            const Clock::time_point start = Clock::now();
            UnitResult& result = unit(i);
            std::optional<std::string> error;
            if (result.serial.empty()) {
                UnitDevice device(result.port);
                std::uint32_t id = 0;
                if (Succeeded(device.Device().GetId(&id))) {
                    const std::lock_guard lock(guard);
                    result.serial = UnitSerial(id);
                } else {
                    // Why, as a run on one unit says it.
                    std::string fact =
                        PortFailureLine(result.port, device.Device().TakePortFailure());
                    if (fact.empty())
                        fact = SilenceLine(device.Device().TakeSilence());
                    error = explain(fact);
                }
            }
            if (!error)
                error = operation(i);
            const std::lock_guard lock(guard);
            result.finished = true;
            result.ok = !error;
            result.error = error.value_or("");
            result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        },
        stopped);
}

UnitDevice::UnitDevice(const std::string& port) : device_(store_, catalog_)
{
    store_.name = port;
    device_.SetPortName(port);
}

std::vector<std::optional<std::uint32_t>> ProbeUnits(const std::vector<std::string>& ports)
{
    std::vector<std::optional<std::uint32_t>> ids(ports.size());
    RunConcurrently(
        ports.size(), 0,
        [&](std::size_t i) {
            UnitDevice unit(ports[i]);
            std::uint32_t id = 0;
            if (Succeeded(unit.Device().GetId(&id)))
                ids[i] = id;
        },
        [] { return false; });
    return ids;
}

}  // namespace k64::service
