// Cross-built for Windows; bench_wine runs it under Wine. GetId round trips (open, request,
// reply, close) timed inside one process, so that the process start-up, which dominates a whole
// k64ctl.exe run, is not in the figure.
//
//   bench_device_win.exe COMn [count]

#include "device/device.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class FixedPort final : public k64::PortNameStore {
public:
    explicit FixedPort(std::string name) : name_(std::move(name)) {}
    std::string Load() override { return name_; }
    void Save(const std::string&) override {}

private:
    std::string name_;
};

class NoCatalog final : public k64::PortCatalog {
public:
    std::vector<std::string> Candidates() override { return {}; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_device_win COMn [count]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;
    FixedPort store(argv[1]);
    NoCatalog catalog;
    k64::TDevice device(store, catalog);
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(count));
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::uint32_t id = 0;
        const auto t0 = Clock::now();
        if (device.GetId(&id) != k64::kOk)
            ++failures;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("GetId round trip in process (open, request, reply, close) x%d: mean %.3f ms, "
                "median %.3f ms, p99 %.3f ms, max %.3f ms, failures %d\n",
                count, sum / count, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(),
                failures);
    return failures == 0 ? 0 : 1;
}
