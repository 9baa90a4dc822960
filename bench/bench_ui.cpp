// k64tool as the user meets it: time from starting the program to the first painted main
// window, and the processor time an idle main window uses. Prints figures; never fails.
// Runs the program on the offscreen platform unless K64_BENCH_DISPLAY=1 keeps the display.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

#ifdef K64TOOL_PATH
const char* const kTool = K64TOOL_PATH;
#else
const char* const kTool = nullptr;
#endif

struct Child {
    pid_t pid = -1;
    int out = -1;  // the child's standard output
};

Child Start(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    std::vector<std::string> all{kTool};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, kTool, &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

// Blocks in poll until the child says it painted, or the deadline passes.
bool WaitPainted(const Child& child, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::string seen;
    while (Clock::now() < deadline) {
        pollfd p{child.out, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(child.out, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find("painted") != std::string::npos) return true;
    }
    return false;
}

void Stop(Child& child) {
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0) close(child.out);
    child = {};
}

// User plus system time of a process so far, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime + stime;
}

}  // namespace

int main() {
    if (!kTool) {
        std::puts("bench_ui: k64tool is not part of this build");
        return 0;
    }
    const auto config = std::filesystem::temp_directory_path() / ("bench_ui." + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const char* display = std::getenv("K64_BENCH_DISPLAY");
    if (!display || std::string(display) != "1") setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // Start-up: several runs, the program ends itself after its first paint.
    constexpr int kRuns = 5;
    std::vector<double> startups;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        Child child = Start({"--quit-after-paint"});
        if (child.pid < 0) break;
        if (WaitPainted(child, std::chrono::seconds(30)))
            startups.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        Stop(child);
    }
    if (!startups.empty()) {
        std::sort(startups.begin(), startups.end());
        std::printf("start-up to first painted main window: median %.1f ms, best %.1f ms (%zu runs)\n",
                    startups[startups.size() / 2], startups.front(), startups.size());
    } else {
        std::puts("start-up to first painted main window: no paint seen");
    }

    // Idle: the main window shown and left alone for 10 s.
    Child idle = Start({"--report-paint"});
    if (idle.pid > 0 && WaitPainted(idle, std::chrono::seconds(30))) {
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let start-up work settle
        const long before = CpuTicks(idle.pid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const long after = CpuTicks(idle.pid);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
        std::printf("idle main window: %.3f s processor time in %.1f s = %.2f %% of one core (target < 0.5 %%)\n",
                    cpu, seconds, 100.0 * cpu / seconds);
    } else {
        std::puts("idle main window: the program did not come up");
    }
    Stop(idle);
    std::filesystem::remove_all(config);
    return 0;
}
