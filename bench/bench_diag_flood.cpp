// k64ctl diag --csv under a diagnostic flood from k64-sim: the recording goes to its file as it
// arrives, so the program's memory must stay flat however long it runs. Prints the peak resident
// memory, how it moved over the run, the processor share and what reached the file.
//
//   bench_diag_flood [SECONDS [BYTES_PER_SECOND]]     (default 60 s at 1000000 bytes/s)

#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"), 0 when it cannot be read.
long StatusKb(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return 0;
}

long long FileSize(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const long rate = argc > 2 ? std::atol(argv[2]) : 1'000'000;
    k64::test::TempDir dir("k64-bench-flood");
    k64::test::SimProcess sim(k64::test::SimProgram(),
                              {"--diag-interval-ms", "10", "--diag-flood", std::to_string(rate)});
    if (!dir.Valid() || !sim.Started()) {
        std::printf("diag --csv flood: k64-sim did not start\n");
        return 0;
    }
    const std::string csv = dir / "flood.csv";
    const std::string config = dir / "config";
    const std::string duration = std::to_string(seconds);
    const auto t0 = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        // The terminal side goes nowhere: the figure is about the recording.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::execl(K64CTL_PATH, K64CTL_PATH, "--port", sim.PtyPath().c_str(), "diag", "--csv",
                csv.c_str(), "--seconds", duration.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    long firstRss = 0, lastRss = 0, peak = 0;
    long long halfway = 0;
    int status = 0;
    rusage usage{};
    for (;;) {
        if (::wait4(child, &status, WNOHANG, &usage) == child)
            break;
        const double at = std::chrono::duration<double>(Clock::now() - t0).count();
        lastRss = StatusKb(child, "VmRSS");
        peak = std::max(peak, StatusKb(child, "VmHWM"));
        if (firstRss == 0 && at >= 2)
            firstRss = lastRss;
        if (halfway == 0 && at >= seconds / 2.0)
            halfway = FileSize(csv);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const long long bytes = FileSize(csv);
    std::printf("diag --csv under a %ld bytes/s flood for %d s: exit %d; peak RSS %.1f MB "
                "(RSS %.1f MB at 2 s, %.1f MB at the end); CPU %.1f %% of one core; the file "
                "had %.1f MB halfway and %.1f MB at the end (%.2f MB/s of CSV); the terminal "
                "output went to /dev/null\n",
                rate, seconds, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                static_cast<double>(std::max(peak, usage.ru_maxrss)) / 1024.0, firstRss / 1024.0,
                lastRss / 1024.0, 100.0 * cpu / wall, halfway / 1e6, bytes / 1e6,
                bytes / 1e6 / wall);
    return 0;
}
