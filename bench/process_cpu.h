#pragma once
// The processor time a process has used so far, for the benchmarks that measure a waiting one.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <sys/types.h>

namespace k64::bench {

// Processor time of every thread of `pid` in seconds, from the scheduler's nanosecond count (a
// clock tick would be too coarse for an idle process); nullopt once the process is gone.
inline std::optional<double> ProcessCpu(pid_t pid)
{
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    double sum = 0;
    bool any = false;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "schedstat");
        long long ns = 0;
        if (in >> ns) {
            sum += static_cast<double>(ns) / 1e9;
            any = true;
        }
    }
    return any ? std::optional<double>(sum) : std::nullopt;
}

}  // namespace k64::bench
