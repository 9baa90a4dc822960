#include "support/sim_process.h"

#include "support/poll_wait.h"
#include "support/pty_pair.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace k64::test {

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds startup)
    : child_(program, args)
{
    if (auto line = child_.ReadLine(startup))
        pty_path_ = *line;
}

SimLine::SimLine(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
}

SimLine::~SimLine() { Close(); }

void SimLine::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool SimLine::Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && (WaitFor(fd_, POLLOUT, deadline) & POLLOUT))
            continue;
        return false;
    }
    return true;
}

std::vector<std::uint8_t>
SimLine::ReadUntil(const std::function<bool(const std::vector<std::uint8_t>&)>& done,
                   std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> got;
    const auto deadline = SteadyClock::now() + timeout;
    while (!done(got)) {
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (!(ev & POLLIN))
            break;
        std::uint8_t buffer[1024];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)))
            break;
    }
    return got;
}

std::vector<std::uint8_t> SimLine::Read(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> got;
    const auto deadline = SteadyClock::now() + timeout;
    while (got.size() < count) {
        if (!(WaitFor(fd_, POLLIN, deadline) & POLLIN))
            break;
        std::uint8_t buffer[1024];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)))
            break;
    }
    return got;
}

bool SimLine::WaitHangup(std::chrono::milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (ev == 0)
            return false;
        if (ev & (POLLHUP | POLLERR))
            return true;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno == EIO))
            return true;
    }
}

}  // namespace k64::test
