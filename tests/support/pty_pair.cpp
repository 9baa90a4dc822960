#include "support/pty_pair.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace k64::test {

using std::chrono::milliseconds;

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        throw std::runtime_error("ptsname failed");
    slavePath_ = name;
    keepAlive_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keepAlive_ < 0)
        throw std::runtime_error("cannot open the pty slave");
    termios tio{};
    ::tcgetattr(keepAlive_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(keepAlive_, TCSANOW, &tio);
}

PtyPair::~PtyPair()
{
    if (master_ >= 0)
        ::close(master_);
    ::close(keepAlive_);
}

void PtyPair::Send(const Bytes& bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

Bytes PtyPair::Receive(std::size_t count, milliseconds limit) const
{
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
        const auto left =
            std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN))
            continue;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
    }
    return got;
}

void PtyPair::CloseMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

ScriptedUnit::ScriptedUnit(PtyPair& pty, Handler handler) : pty_(pty), handler_(std::move(handler))
{
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { Run(); });
}

ScriptedUnit::~ScriptedUnit()
{
    const char stop = 1;
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::vector<Frame> ScriptedUnit::Frames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

bool ScriptedUnit::WaitFrames(std::size_t count, milliseconds limit) const
{
    // Polling the record in short sleeps is fine here: this is the test side, not a product wait.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Frames().size() >= count)
            return true;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return Frames().size() >= count;
}

void ScriptedUnit::Run()
{
    sim::FrameParser parser;
    for (;;) {
        const int master = pty_.Master();
        if (master < 0)
            return;
        pollfd fds[2] = {{master, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return;
        std::uint8_t buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        std::vector<Frame> arrived;
        parser.Feed(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), arrived);
        for (const Frame& frame : arrived) {
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(frame);
            }
            const UnitReply reply = handler_(frame);
            if (reply.delay.count() > 0) {
                pollfd stop{stopPipe_[0], POLLIN, 0};
                if (::poll(&stop, 1, static_cast<int>(reply.delay.count())) > 0)
                    return;
            }
            pty_.Send(reply.bytes);
            if (reply.hangUp) {
                pty_.CloseMaster();
                return;
            }
        }
    }
}

ScriptedUnit::Handler ModelUnit(std::uint32_t id, sim::VersionRecord firmware)
{
    sim::UnitState state;
    state.id = id;
    state.firmware = std::move(firmware);
    auto unit = std::make_shared<sim::Unit>(std::move(state), sim::Faults{}, milliseconds(0));
    return [unit](const Frame& f) {
        const sim::Outcome out = unit->Handle(f);
        return UnitReply{out.reply, out.delay};
    };
}

WaitClock::TimePoint ScaledClock::Now() const
{
    return origin_ + (std::chrono::steady_clock::now() - origin_) * scale_;
}

milliseconds ScaledClock::RealSpan(milliseconds span) const
{
    if (span.count() <= 0)
        return milliseconds(0);
    return std::max(milliseconds(1), milliseconds((span.count() + scale_ - 1) / scale_));
}

}  // namespace k64::test
