// POSIX back end of VCOM_Port: termios, poll, and TIOCEXCL for the exclusive open (the flock on
// the node belongs to the port's lock).
// The descriptor is non-blocking; every blocking behaviour is a poll with a deadline taken from
// the monotonic clock, so signals neither cut a wait short nor stretch it.

#include "device/vcom_port.h"

#include <cerrno>
#include <climits>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quon::io {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

speed_t SpeedCode(unsigned baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

// Ptys and some adapters have no modem lines; that is no reason to refuse the port.
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

// Opens the port for one exchange. The hold's lock already has the node flock()ed through a
// descriptor of its own; a flock here would collide with it.
int OpenForExchange(const std::string& path, PortFailure* failure)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        *failure = SystemFailure(errno);
    return fd;
}

}  // namespace

VCOM_Port::OpenOutcome VCOM_Port::OpenDevice(const LineSettings& line)
{
    const int fd = OpenForExchange(name_, &failure_);
    if (fd < 0)
        return OpenOutcome::kNotOpened;
    handle_ = fd;
    // Keeps other openers off the tty (the lock above only binds those who ask for it).
    ::ioctl(fd, TIOCEXCL);

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        failure_ = PortFailure::Of(PortFailure::Kind::kNotTerminal, errno);
        return OpenOutcome::kNoStatus;
    }
    savedLine_ = std::make_shared<const termios>(tio);

    // A binary line: no translation, echo, signals or software flow control (XON/XOFF bytes
    // occur in frames). Hardware flow control, modem control and the like stay as found.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= CREAD;
    tio.c_cflag |= line.byteSize == 7 ? CS7 : CS8;
    if (line.parity == 1 || line.parity == 2)
        tio.c_cflag |= PARENB | (line.parity == 1 ? PARODD : 0);
    if (line.stopBits != 0)
        tio.c_cflag |= CSTOPB;
    // VMIN 1 makes an empty non-blocking read say EAGAIN; 0 would mean end of file.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, SpeedCode(line.baudRate));
    ::cfsetospeed(&tio, SpeedCode(line.baudRate));
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        failure_ = SystemFailure(errno);
        return OpenOutcome::kLineRejected;
    }

    int rts = TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &rts) != 0 && !NoModemLines(errno)) {
        failure_ = SystemFailure(errno);
        return OpenOutcome::kLineRejected;
    }

    // No port time-outs to apply: Read and Write enforce them with poll.

    // Whatever arrived before this exchange (a late reply to an earlier one) is not its reply.
    ::tcflush(fd, TCIFLUSH);
    return OpenOutcome::kOpened;
}

void VCOM_Port::CloseDevice()
{
    const int fd = static_cast<int>(handle_);
    // A terminal named as the port (or any device) is left as we found it, not raw.
    if (savedLine_)
        ::tcsetattr(fd, TCSANOW, static_cast<const termios*>(savedLine_.get()));
    // The exclusive flag outlives our descriptor while anyone else holds the tty.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool VCOM_Port::DeviceOutQueue(unsigned* count)
{
    int n = 0;
    if (::ioctl(static_cast<int>(handle_), TIOCOUTQ, &n) != 0 || n < 0)
        return false;
    *count = static_cast<unsigned>(n);
    return true;
}

bool VCOM_Port::DeviceInQueue(unsigned* count)
{
    int n = 0;
    if (::ioctl(static_cast<int>(handle_), FIONREAD, &n) != 0 || n < 0)
        return false;
    *count = static_cast<unsigned>(n);
    return true;
}

int VCOM_Port::DeviceWrite(const void* data, int count, milliseconds limit)
{
    const int fd = static_cast<int>(handle_);
    const auto deadline = Clock::now() + limit;
    const auto* bytes = static_cast<const unsigned char*>(data);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            hungUp_ = true;
            break;
        }
        const int ms = RemainingMs(deadline);
        if (ms == 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, ms);
        if (r < 0 && errno != EINTR) {
            hungUp_ = true;
            break;
        }
        if (r > 0 && (p.revents & POLLOUT) == 0) {
            hungUp_ = true;
            break;
        }
    }
    return done;
}

int VCOM_Port::DeviceRead(void* data, int count, milliseconds limit)
{
    const int fd = static_cast<int>(handle_);
    const auto deadline = Clock::now() + limit;
    auto* bytes = static_cast<unsigned char*>(data);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            hungUp_ = true;  // end of file or EIO: the other side is gone
            break;
        }
        const int ms = RemainingMs(deadline);
        if (ms == 0 || DeviceWait(milliseconds(ms), true) != WaitResult::kReady)
            break;
    }
    return done;
}

WaitResult VCOM_Port::DeviceWait(milliseconds limit, bool forData)
{
    const int fd = static_cast<int>(handle_);
    if (hungUp_)
        return WaitResult::kHungUp;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const int ms = RemainingMs(deadline);
        pollfd p{fd, static_cast<short>(forData ? POLLIN : 0), 0};
        // A sleeper comes back when the descriptor is readable or the time is up; the poll then
        // only tells which, and a hang-up shows there too.
        const bool slept =
            ms > 0 && sleeper_ != nullptr &&
            sleeper_->Sleep(forData ? handle_ : WaitSleeper::kNoHandle, milliseconds(ms));
        const int r = ::poll(&p, 1, slept ? 0 : ms);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            hungUp_ = true;  // cannot wait on this descriptor: fail rather than spin
            return WaitResult::kHungUp;
        }
        if (r == 0 && slept && RemainingMs(deadline) > 0)
            continue;  // the event loop woke for a descriptor that had nothing after all
        if (r == 0)
            return WaitResult::kTimedOut;  // poll sleeps at least `ms`, rounded up to the deadline
        unsigned queued = 0;
        const bool haveBytes = DeviceInQueue(&queued) && queued > 0;
        if ((p.revents & POLLIN) && haveBytes)
            return WaitResult::kReady;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Bytes that came before the hang-up can still be read.
            if (forData && haveBytes)
                return WaitResult::kReady;
            hungUp_ = true;
            return WaitResult::kHungUp;
        }
        if (p.revents & POLLIN) {
            // Readable without a byte to count: let the buffer settle instead of spinning.
            const int settle = ms < 1 ? 0 : 1;
            pollfd none{fd, 0, 0};
            ::poll(&none, 1, settle);
            if (settle == 0)
                return WaitResult::kTimedOut;
        }
    }
}

bool VCOM_Port::DeviceProbe()
{
    const int fd = OpenForExchange(name_, &failure_);
    if (fd < 0)
        return false;
    termios tio{};
    const bool serial = ::tcgetattr(fd, &tio) == 0;
    if (!serial)
        failure_ = PortFailure::Of(PortFailure::Kind::kNotTerminal, errno);
    ::close(fd);
    return serial;
}

}  // namespace quon::io
