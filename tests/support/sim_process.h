// The simulator as a child process, and one opening of its line as the tool makes it for every
// exchange. Waits block in poll with a deadline.
#pragma once

#include "support/child_process.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k64::test {

#ifdef K64_SIM_PATH
inline std::string SimProgram() { return K64_SIM_PATH; }
#endif

class SimProcess {
public:
    // Starts `program` with `args` and reads the terminal path from its first output line.
    SimProcess(const std::string& program, const std::vector<std::string>& args,
               std::chrono::milliseconds startup = std::chrono::seconds(10));

    // True when the child runs and has named its terminal.
    bool Started() const { return !pty_path_.empty(); }
    const std::string& PtyPath() const { return pty_path_; }
    pid_t Pid() const { return child_.Pid(); }

    // Sends SIGTERM (the simulator saves its state on it) and waits; the exit status, or -1 when
    // the child died of a signal or never ran.
    int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return child_.Stop(timeout);
    }
    // Waits for the child to end by itself; its exit status (-1 for a signal), nullopt on time-out.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout)
    {
        return child_.WaitExit(timeout);
    }

private:
    ChildProcess child_;
    std::string pty_path_;
};

class SimLine {
public:
    explicit SimLine(const std::string& path);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Write(std::span<const std::uint8_t> bytes,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Exactly `count` bytes, or fewer when the deadline passes first; never reads beyond them.
    std::vector<std::uint8_t> Read(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads until `done(bytes so far)` holds or the deadline passes.
    std::vector<std::uint8_t>
    ReadUntil(const std::function<bool(const std::vector<std::uint8_t>&)>& done,
              std::chrono::milliseconds timeout);
    // True when the far end hangs up before the deadline (bytes still arriving are discarded).
    bool WaitHangup(std::chrono::milliseconds timeout);
    void Close();

private:
    int fd_ = -1;
};

}  // namespace k64::test
