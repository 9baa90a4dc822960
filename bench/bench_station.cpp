// k64ctl station as a workshop runs it. Simulated units at 115200 baud appear as links in a
// watched folder, the job being the firmware and a settings preset: the time from each plug-in
// to its "готово" line, for one unit alone and for 8 plugged 0.5 s apart (the aim: each within
// 1.2 times one alone). Then the processor time of a station that waits with no unit for 10 s
// (the aim: at most 0.1 %).

#include "process_cpu.h"
#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace k64::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kDone = "готово — можно отключать";

// A station on its own folders, its output read on a thread of its own so that each line gets
// the time it came.
class Station {
public:
    Station(const TempDir& dir, int count)
    {
        std::filesystem::create_directory(dir / "ports");
        std::ofstream(dir / "dealer.txt") << "MicLevel=12\r\nUserNumber1=+79001234567\r\n";
        ::setenv("K64_HISTORY_DIR", (dir / "history").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ::setenv("K64_EXTRA_PORTS", "", 1);
        std::vector<std::string> args = {"station",          "--update-firmware", "--settings",
                                         dir / "dealer.txt", "--merge",           "--watch",
                                         dir / "ports"};
        if (count > 0)
            args.insert(args.end(), {"--count", std::to_string(count)});
        process_ = std::make_unique<ChildProcess>(K64CTL_PATH, args, ChildProcess::Errors::Discard);
        reader_ = std::thread([this] {
            while (!process_->OutputEnded()) {
                if (const auto line = process_->ReadLine(1s)) {
                    const std::lock_guard lock(mutex_);
                    lines_.emplace_back(Clock::now(), *line);
                }
            }
        });
        WaitFor("Станция ждет устройства");
    }
    ~Station()
    {
        process_->Stop();
        reader_.join();
    }
    pid_t Pid() const { return process_->Pid(); }

    // When the first line holding `text` came; nullopt after 120 s without one.
    std::optional<Clock::time_point> WaitFor(const std::string& text)
    {
        const auto deadline = Clock::now() + 120s;
        while (Clock::now() < deadline) {
            {
                const std::lock_guard lock(mutex_);
                for (const auto& [when, line] : lines_)
                    if (line.find(text) != std::string::npos)
                        return when;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    std::unique_ptr<ChildProcess> process_;
    std::mutex mutex_;
    std::vector<std::pair<Clock::time_point, std::string>> lines_;
    std::thread reader_;
};

// Seconds from each plug-in to its unit's "готово" line; -1 for a unit that never got one.
std::vector<double> PlugIn(int units, std::chrono::milliseconds apart)
{
    TempDir dir;
    Station station(dir, units);
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<Clock::time_point> plugged;
    for (int i = 0; i < units; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(apart);
        sims.push_back(std::make_unique<SimProcess>(
            SimProgram(), std::vector<std::string>{"--baud", "115200", "--prepare-delay-ms", "0",
                                                   "--id", std::to_string(16000001 + i), "--link",
                                                   dir / ("ports/unit" + std::to_string(i))}));
        plugged.push_back(Clock::now());
    }
    std::vector<double> seconds;
    for (int i = 0; i < units; ++i) {
        const auto done = station.WaitFor(std::to_string(16000001 + i) + " " + kDone);
        seconds.push_back(done ? std::chrono::duration<double>(*done - plugged[i]).count() : -1);
    }
    return seconds;
}

}  // namespace

int main()
{
    std::printf("k64ctl station, firmware and a settings preset, units at 115200 baud\n");
    const std::vector<double> alone = PlugIn(1, 0ms);
    std::printf("one unit alone: %.2f s from plug-in to \"готово\"\n", alone.front());
    std::fflush(stdout);
    const std::vector<double> eight = PlugIn(8, 500ms);
    std::printf("8 units plugged 0.5 s apart:\n%6s %10s %12s\n", "unit", "seconds", "x alone");
    for (std::size_t i = 0; i < eight.size(); ++i)
        std::printf("%6zu %10.2f %12.2f\n", i + 1, eight[i],
                    alone.front() > 0 ? eight[i] / alone.front() : 0);
    const double worst = *std::max_element(eight.begin(), eight.end());
    std::printf("slowest %.2f s = %.2f x one alone (aim: at most 1.2 x)\n", worst,
                alone.front() > 0 ? worst / alone.front() : 0);
    std::fflush(stdout);

    TempDir dir;
    Station idle(dir, 0);
    constexpr auto kIdle = 10s;
    const double before = k64::bench::ProcessCpu(idle.Pid()).value_or(0);
    std::this_thread::sleep_for(kIdle);
    const double used = k64::bench::ProcessCpu(idle.Pid()).value_or(0) - before;
    std::printf("idle station, no unit, %lld s: CPU %.3f s = %.3f %% (aim: at most 0.1 %%)\n",
                static_cast<long long>(kIdle.count()), used,
                100 * used / std::chrono::duration<double>(kIdle).count());
    return 0;
}
