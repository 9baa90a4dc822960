#include "support/sim_process.h"
#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace k64::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for `events` on `fd`; revents, or 0 on time-out.
short WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, MillisLeft(deadline));
        if (r > 0) return p.revents;
        if (r == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

}  // namespace

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds startup) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> argv_text;
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_fd_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        return;
    }
    const auto deadline = Clock::now() + startup;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        if (!(WaitFor(out_fd_, POLLIN, deadline) & (POLLIN | POLLHUP))) return;
        char buffer[256];
        const ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
        if (n <= 0) return;  // the child ended without naming its terminal
        line.append(buffer, static_cast<std::size_t>(n));
    }
    pty_path_ = line.substr(0, line.find('\n'));
}

SimProcess::~SimProcess() {
    Stop(std::chrono::seconds(10));
    if (out_fd_ >= 0) ::close(out_fd_);
}

int SimProcess::Reap() {
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return *status_;
}

std::optional<int> SimProcess::WaitExit(std::chrono::milliseconds timeout) {
    if (status_) return status_;
    if (pid_ < 0) return -1;
    // The child's end of the output pipe closes when it exits; drain until then.
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const short ev = WaitFor(out_fd_, POLLIN, deadline);
        if (ev == 0) return std::nullopt;
        char buffer[256];
        if (::read(out_fd_, buffer, sizeof buffer) <= 0) break;
    }
    return Reap();
}

int SimProcess::Stop(std::chrono::milliseconds timeout) {
    if (status_) return *status_;
    if (pid_ < 0) return -1;
    ::kill(pid_, SIGTERM);
    if (auto status = WaitExit(timeout)) return *status;
    ::kill(pid_, SIGKILL);
    Reap();
    return -1;
}

SimLine::SimLine(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
}

SimLine::~SimLine() { Close(); }

void SimLine::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SimLine::Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && (WaitFor(fd_, POLLOUT, deadline) & POLLOUT)) continue;
        return false;
    }
    return true;
}

std::vector<std::uint8_t> SimLine::ReadUntil(const std::function<bool(const std::vector<std::uint8_t>&)>& done,
                                             std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + timeout;
    while (!done(got)) {
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (!(ev & POLLIN)) break;
        std::uint8_t buffer[1024];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) break;
    }
    return got;
}

std::vector<std::uint8_t> SimLine::Read(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + timeout;
    while (got.size() < count) {
        if (!(WaitFor(fd_, POLLIN, deadline) & POLLIN)) break;
        std::uint8_t buffer[1024];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) break;
    }
    return got;
}

bool SimLine::WaitHangup(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (ev == 0) return false;
        if (ev & (POLLHUP | POLLERR)) return true;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno == EIO)) return true;
    }
}

std::vector<std::uint8_t> SimFrameBytes(std::uint16_t code_word, std::span<const std::uint8_t> payload) {
    return EncodeFrame(code_word, Bytes(payload.begin(), payload.end()));
}

}  // namespace k64::test
