// Figures for the device link on a kernel pseudo-terminal:
//  1. CPU time spent while an exchange waits 4 s for a reply that never comes (target < 0.1 %
//     of the wait), with and without an idle hook;
//  2. round trip of a small request and reply with the port opened and closed per exchange
//     (target < 0.5 ms).

#include "device/device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class FixedStore final : public k64::PortNameStore {
public:
    explicit FixedStore(std::string n) : name_(std::move(n)) {}
    std::string Load() override { return name_; }
    void Save(const std::string&) override {}

private:
    std::string name_;
};

class NoCatalog final : public k64::PortCatalog {
public:
    std::vector<std::string> Candidates() override { return {}; }
};

struct Pty {
    int master = -1;
    int keepAlive = -1;
    std::string slave;
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            std::perror("pty");
            std::exit(1);
        }
        slave = ::ptsname(master);
        // Held open so the master never sees the slave hang up between exchanges.
        keepAlive = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(keepAlive, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keepAlive, TCSANOW, &tio);
    }
    ~Pty()
    {
        ::close(master);
        ::close(keepAlive);
    }
};

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void SilentWait(bool withHook)
{
    Pty pty;
    FixedStore store(pty.slave);
    NoCatalog catalog;
    k64::TDevice device(store, catalog);
    int hooks = 0;
    if (withHook)
        device.SetIdleHook([&hooks] { ++hooks; });
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    std::uint32_t id = 0;
    const int result = device.GetId(&id);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    std::printf("silent wait%s: result %d, wall %.3f s, CPU %.4f s = %.4f %% of the wait",
                withHook ? " with idle hook" : "", result, wall, cpu, 100.0 * cpu / wall);
    if (withHook)
        std::printf(", hook called %d times", hooks);
    std::printf("\n");
}

// Answers every id request on the master at once.
void Unit(int master, std::atomic<bool>& stop)
{
    std::vector<std::uint8_t> pending;
    const std::uint8_t reply[] = {0x0B, 0, 4, 0, 1, 2, 3, 4, 0, 0, 0, 0};
    while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        std::uint8_t buf[1024];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        pending.insert(pending.end(), buf, buf + n);
        while (pending.size() >= 4) {
            const std::size_t len = pending[2] | pending[3] << 8;
            if (pending.size() < len + 8)
                break;
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(len + 8));
            if (::write(master, reply, sizeof reply) != sizeof reply)
                return;
        }
    }
}

void RoundTrips(int count)
{
    Pty pty;
    std::atomic<bool> stop{false};
    std::thread unit(Unit, pty.master, std::ref(stop));
    FixedStore store(pty.slave);
    NoCatalog catalog;
    k64::TDevice device(store, catalog);
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(count));
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::uint32_t id = 0;
        const auto t0 = Clock::now();
        if (device.GetId(&id) != k64::kOk || id != 0x04030201)
            ++failures;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    stop = true;
    unit.join();
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("round trip (open, id request, reply, close) x%d: mean %.3f ms, median %.3f ms, "
                "p99 %.3f ms, max %.3f ms, failures %d\n",
                count, sum / count, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(),
                failures);
}

}  // namespace

int main()
{
    SilentWait(false);
    SilentWait(true);
    RoundTrips(2000);
    return 0;
}
