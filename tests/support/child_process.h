#pragma once
// Programs as child processes for tests and benchmarks: one kept running and read line by line
// (the simulator, the desktop program), or one run to its end with both outputs collected (the
// command-line program). Every wait blocks in poll with a deadline.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace k64::test {

// Our environment with `overrides` set; a null value removes the variable.
using EnvironmentOverrides = std::map<std::string, std::optional<std::string>>;
std::vector<std::string> EnvironmentWith(const EnvironmentOverrides& overrides = {});

// A running child: standard input from /dev/null, standard output to a pipe read here.
class ChildProcess {
public:
    enum class Errors { Inherit, Discard };

    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 Errors errors = Errors::Inherit);
    // Stops the child (SIGTERM, then SIGKILL if it lingers) and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Spawned() const { return pid_ >= 0; }
    pid_t Pid() const { return pid_; }

    // The next line of output without its line feed; nullopt when the deadline passes or the
    // output ends first. A line is cut at 4096 bytes.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // The child has closed its output and every line of it has been read.
    bool OutputEnded() const { return ended_ && pending_.empty(); }
    // Sends SIGTERM and waits; the exit status, or -1 when the child died of a signal or never ran.
    int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits for the child to end by itself; its exit status (-1 for a signal), nullopt on time-out.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);

private:
    int Reap();

    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string pending_;  // output read but not yet returned as a line
    bool ended_ = false;
    std::optional<int> status_;
    // Windows (under Wine): the file the output goes to, and how much of it was returned.
    std::string out_path_;
    std::size_t consumed_ = 0;
};

struct ProgramResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
    double cpuSeconds = 0;  // the child's user and system time
    std::string failure;    // why it could not run or was killed; empty when it ran to its end
};

// Runs argv[0] with standard input from /dev/null and both outputs collected; a child still
// running after `limit` is killed, so a wedged program fails its caller instead of hanging it.
ProgramResult RunProgram(std::vector<std::string> argv,
                         std::vector<std::string> environment = EnvironmentWith(),
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace k64::test
