// k64tool as the user meets it: time from starting the program to the first painted main
// window, and the processor time an idle main window uses, and an open diagnostic window on a
// unit that sends nothing; then the processor time of a request's silent 4 s wait, how long a
// SIGTERM takes to end the program in the middle of a transfer and during a wait, and the
// transfers' wall time against their timers' floor. Prints figures; never fails.
// Runs the program on the offscreen platform unless K64_BENCH_DISPLAY=1 keeps the display.

#include "sim/frame_codec.h"
#include "support/child_process.h"
#include "support/sim_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// K64_BENCH_TOOL names another build of the program, to compare two.
#ifdef K64TOOL_PATH
const char* const kTool =
    std::getenv("K64_BENCH_TOOL") ? std::getenv("K64_BENCH_TOOL") : K64TOOL_PATH;
#else
const char* const kTool = std::getenv("K64_BENCH_TOOL");
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

// Processor time of all of a process's threads so far, in seconds, to the nanosecond
// (/proc/PID/task/*/schedstat): a 4 s wait at 0.1 % is 4 ms, below a clock tick.
double ThreadsCpuSeconds(pid_t pid)
{
    double total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (std::filesystem::directory_iterator it(tasks, error), end; !error && it != end;
         it.increment(error)) {
        std::ifstream stat(it->path() / "schedstat");
        double ns = 0;
        if (stat >> ns)
            total += ns / 1e9;
    }
    return total;
}

// The request frames the simulator received so far, each with the time its last bytes came.
struct TimedCode {
    double time;
    std::uint16_t code;
};
std::vector<TimedCode> TracedCodes(const std::string& trace)
{
    std::vector<TimedCode> codes;
    k64::sim::FrameParser parser;
    std::vector<k64::sim::Frame> frames;
    std::ifstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        double time = 0;
        std::string tag, hex;
        fields >> time >> tag;
        if (tag != "rx")
            continue;
        std::vector<std::uint8_t> bytes;
        while (fields >> hex)
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
        const std::size_t before = frames.size();
        parser.Feed(bytes, frames);
        for (std::size_t i = before; i < frames.size(); ++i)
            codes.push_back({time, frames[i].code});
    }
    return codes;
}

long CountCode(const std::vector<TimedCode>& codes, std::uint16_t code)
{
    return std::count_if(codes.begin(), codes.end(),
                         [code](const TimedCode& c) { return c.code == code; });
}

// Waits (polling the trace file, the benchmark's own cost) until `count` frames of `code` came.
bool WaitForFrames(const std::string& trace, std::uint16_t code, long count,
                   std::chrono::seconds limit = std::chrono::seconds(60))
{
    const auto deadline = Clock::now() + limit;
    while (CountCode(TracedCodes(trace), code) < count) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A simulated unit with `faults` whose port the program finds stored, its trace in `folder`.
struct Unit {
    Unit(const std::filesystem::path& config, const std::string& trace,
         std::vector<std::string> faults)
    {
        faults.insert(faults.end(), {"--trace", trace});
        sim = std::make_unique<k64::test::SimProcess>(k64::test::SimProgram(), faults);
        if (!sim->Started())
            return;
        std::filesystem::create_directories(config / "QF");
        std::ofstream(config / "QF" / "TB_USB_PORT.conf")
            << "[General]\nPort=" << sim->PtyPath() << "\n";
    }
    std::unique_ptr<k64::test::SimProcess> sim;
};

// The program's processor time while its firmware update waits 4 s for a version reply that
// never comes, measured over 3 s of the wait.
void PrintSilentWait(const std::filesystem::path& config)
{
    const std::string trace = (config / "trace-silent").string();
    Unit unit(config, trace, {"--no-reply", "14"});
    ChildProcess tool(kTool, {"--yes", "--start-update", "firmware"},
                      ChildProcess::Errors::Discard);
    if (!unit.sim->Started() || !tool.Spawned() || !WaitForFrames(trace, 14, 1)) {
        std::puts("silent 4 s wait: the wait did not begin");
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double before = ThreadsCpuSeconds(tool.Pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double cpu = ThreadsCpuSeconds(tool.Pid()) - before;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("silent 4 s wait: %.4f s processor time in %.1f s = %.3f %% of one core "
                "(target <= 0.1 %%)\n",
                cpu, seconds, 100.0 * cpu / seconds);
}

// SIGTERM once the unit has taken `blocks` blocks of a firmware transfer at 150 ms a block, or
// (with `blocks` 0) 1 s into a 4 s version wait: the time to the program's end, and whether
// the unit saw a commit.
void PrintSignalToExit(const std::filesystem::path& config, int blocks, int runs)
{
    const std::vector<std::string> faults =
        blocks > 0 ? std::vector<std::string>{"--prepare-delay-ms", "0", "--delay", "192:150"}
                   : std::vector<std::string>{"--no-reply", "14"};
    std::vector<double> seconds;
    long commits = 0;
    for (int run = 0; run < runs; ++run) {
        const std::string trace = (config / ("trace-signal-" + std::to_string(run))).string();
        Unit unit(config, trace, faults);
        ChildProcess tool(kTool, {"--yes", "--start-update", "firmware"},
                          ChildProcess::Errors::Discard);
        const bool ready =
            unit.sim->Started() && tool.Spawned() &&
            (blocks > 0 ? WaitForFrames(trace, 192, blocks + run) : WaitForFrames(trace, 14, 1));
        if (!ready)
            continue;
        if (blocks == 0)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto start = Clock::now();
        ::kill(tool.Pid(), SIGTERM);
        if (!tool.WaitExit(std::chrono::seconds(30)))
            continue;
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        unit.sim->Stop();
        commits += CountCode(TracedCodes(trace), 190);
    }
    if (seconds.empty()) {
        std::puts("SIGTERM to exit: no run ended");
        return;
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("SIGTERM to exit %s: median %.3f s, longest %.3f s (%zu runs), commits %ld\n",
                blocks > 0 ? "mid firmware transfer, 150 ms a block"
                           : "1 s into a 4 s wait (the rest of the wait is 3 s)",
                seconds[seconds.size() / 2], seconds.back(), seconds.size(), commits);
}

// A transfer's wall time from its first block to its commit, against the floor of its blocks
// times its timer's interval, with instant acknowledgements.
void PrintTransferOverFloor(const std::filesystem::path& config, const char* update,
                            std::uint16_t prepare, double interval)
{
    const std::string trace = (config / ("trace-" + std::string(update))).string();
    Unit unit(config, trace, {"--prepare-delay-ms", "0"});
    ChildProcess tool(kTool, {"--yes", "--start-update", update}, ChildProcess::Errors::Discard);
    if (!unit.sim->Started() || !tool.Spawned() || !WaitForFrames(trace, 190, 1)) {
        std::printf("%s update: no commit seen\n", update);
        return;
    }
    const std::vector<TimedCode> codes = TracedCodes(trace);
    const auto prepared = std::find_if(codes.begin(), codes.end(),
                                       [prepare](const TimedCode& c) { return c.code == prepare; });
    const auto commit =
        std::find_if(codes.begin(), codes.end(), [](const TimedCode& c) { return c.code == 190; });
    const long blocks = CountCode(codes, 192);
    const double wall = commit->time - prepared->time;
    const double floor = static_cast<double>(blocks) * interval;
    std::printf("%s update in the window: %ld blocks in %.3f s, floor %.3f s, %.3f x the floor\n",
                update, blocks, wall, floor, wall / floor);
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
    setenv("K64_HISTORY_DIR", (config / "history").c_str(), 1);
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

    PrintSilentWait(config);
    PrintSignalToExit(config, 5, 5);
    PrintSignalToExit(config, 0, 3);
    PrintTransferOverFloor(config, "firmware", 195, 0.001);
    PrintTransferOverFloor(config, "sound", 196, 0.010);
    std::filesystem::remove_all(config);
    return 0;
}
