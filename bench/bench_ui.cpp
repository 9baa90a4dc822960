// k64tool as the user meets it: time from starting the program to the first painted main
// window, and the processor time an idle main window uses, and an open diagnostic window on a
// unit that sends nothing. Prints figures; never fails.
// Runs the program on the offscreen platform unless K64_BENCH_DISPLAY=1 keeps the display.

#include "support/child_process.h"
#include "support/sim_process.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

#ifdef K64TOOL_PATH
const char* const kTool = K64TOOL_PATH;
#else
const char* const kTool = nullptr;
#endif

using k64::test::ChildProcess;

// Blocks in poll until the child says it painted, or the deadline passes.
bool WaitPainted(ChildProcess& child, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const auto line =
            child.ReadLine(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!line)
            return false;
        if (line->find("painted") != std::string::npos)
            return true;
    }
    return false;
}

// User plus system time of a process so far, in clock ticks.
long CpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15)
            stime = std::atol(field.c_str());
    }
    return utime + stime;
}

// Processor time of a k64tool started with `args`, left alone for 10 s after its first paint.
void PrintIdleCpu(const char* what, const std::vector<std::string>& args)
{
    ChildProcess idle(kTool, args, ChildProcess::Errors::Discard);
    if (idle.Spawned() && WaitPainted(idle, std::chrono::seconds(30))) {
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let start-up work settle
        const long before = CpuTicks(idle.Pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const long after = CpuTicks(idle.Pid());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu =
            static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
        std::printf("%s: %.3f s processor time in %.1f s = %.2f %% of one core (target < 0.5 %%)\n",
                    what, cpu, seconds, 100.0 * cpu / seconds);
    } else {
        std::printf("%s: the program did not come up\n", what);
    }
    idle.Stop();
}

}  // namespace

int main()
{
    if (!kTool) {
        std::puts("bench_ui: k64tool is not part of this build");
        return 0;
    }
    const auto config =
        std::filesystem::temp_directory_path() / ("bench_ui." + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const char* display = std::getenv("K64_BENCH_DISPLAY");
    if (!display || std::string(display) != "1")
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // Start-up: several runs, the program ends itself after its first paint.
    constexpr int kRuns = 5;
    std::vector<double> startups;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        ChildProcess child(kTool, {"--quit-after-paint"}, ChildProcess::Errors::Discard);
        if (!child.Spawned())
            break;
        if (WaitPainted(child, std::chrono::seconds(30)))
            startups.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    if (!startups.empty()) {
        std::sort(startups.begin(), startups.end());
        std::printf(
            "start-up to first painted main window: median %.1f ms, best %.1f ms (%zu runs)\n",
            startups[startups.size() / 2], startups.front(), startups.size());
    } else {
        std::puts("start-up to first painted main window: no paint seen");
    }

    PrintIdleCpu("idle main window", {"--report-paint"});

    // The diagnostic window open on a unit that has sent its first lines and then nothing: the
    // simulator's next burst is an hour away.
    k64::test::SimProcess sim(k64::test::SimProgram(), {"--diag-interval-ms", "3600000"});
    if (sim.Started()) {
        std::filesystem::create_directories(config / "QF");
        std::ofstream(config / "QF" / "TB_USB_PORT.conf")
            << "[General]\nPort=" << sim.PtyPath() << "\n";
        PrintIdleCpu("diagnostic window without data", {"--report-paint", "--show-diagnostic"});
    } else {
        std::puts("diagnostic window without data: k64-sim did not start");
    }
    std::filesystem::remove_all(config);
    return 0;
}
