#include "support/child_process.h"

#include "support/poll_wait.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace k64::test {
namespace {

constexpr std::size_t kLongestLine = 4096;

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers(strings.size() + 1, nullptr);
    for (std::size_t i = 0; i < strings.size(); ++i)
        pointers[i] = strings[i].data();
    return pointers;
}

int ExitStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

}  // namespace

std::vector<std::string> EnvironmentWith(const EnvironmentOverrides& overrides)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (overrides.count(entry.substr(0, entry.find('='))) == 0)
            env.push_back(entry);
    }
    for (const auto& [name, value] : overrides)
        if (value)
            env.push_back(name + "=" + *value);
    return env;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           Errors errors)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (errors == Errors::Discard)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv_text(args.size() + 1);
    argv_text[0] = program;
    std::copy(args.begin(), args.end(), argv_text.begin() + 1);
    std::vector<char*> argv = Pointers(argv_text);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_fd_ = out[0];
}

ChildProcess::~ChildProcess()
{
    Stop(std::chrono::seconds(10));
    if (out_fd_ >= 0)
        ::close(out_fd_);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos || pending_.size() >= kLongestLine) {
            const std::size_t length = std::min({end, pending_.size(), kLongestLine});
            std::string line = pending_.substr(0, length);
            pending_.erase(0, end == length ? length + 1 : length);
            return line;
        }
        if (out_fd_ < 0 || !(WaitFor(out_fd_, POLLIN, deadline) & (POLLIN | POLLHUP)))
            return std::nullopt;
        char buffer[256];
        const ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
        if (n <= 0) {
            ended_ = true;  // the child closed its output
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

int ChildProcess::Reap()
{
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    status_ = ExitStatus(raw);
    return *status_;
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds timeout)
{
    if (status_)
        return status_;
    if (pid_ < 0)
        return -1;
    // The child's end of the output pipe closes when it exits; drain until then.
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (WaitFor(out_fd_, POLLIN, deadline) == 0)
            return std::nullopt;
        char buffer[256];
        if (::read(out_fd_, buffer, sizeof buffer) <= 0)
            break;
    }
    return Reap();
}

int ChildProcess::Stop(std::chrono::milliseconds timeout)
{
    if (status_)
        return *status_;
    if (pid_ < 0)
        return -1;
    ::kill(pid_, SIGTERM);
    if (auto status = WaitExit(timeout))
        return *status;
    ::kill(pid_, SIGKILL);
    Reap();
    return -1;
}

ProgramResult RunProgram(std::vector<std::string> argv, std::vector<std::string> environment,
                         std::chrono::milliseconds limit)
{
    ProgramResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        result.failure = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        result.failure = std::string("pipe: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    std::vector<char*> argp = Pointers(argv);
    std::vector<char*> envp = Pointers(environment);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        result.failure = "posix_spawn " + argv[0] + ": " + std::strerror(spawned);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }

    const auto deadline = SteadyClock::now() + limit;
    std::array<pollfd, 2> fds{{{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (SteadyClock::now() >= deadline) {
            result.failure = argv[0] + " did not finish in time";
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds.data(), fds.size(), MillisLeft(deadline)) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            ::close(fd.fd);
    int raw = 0;
    rusage usage{};
    while (::wait4(pid, &raw, 0, &usage) < 0 && errno == EINTR) {
    }
    result.status = ExitStatus(raw);
    result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return result;
}

}  // namespace k64::test
