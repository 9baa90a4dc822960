#include "sim/pty_server.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace k64::sim {
namespace {

std::string Printable(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

int ToPollTimeout(Clock::duration d)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

}  // namespace

bool Trace::Open(const std::string& path)
{
    file_.reset(std::fopen(path.c_str(), "w"));
    return file_ != nullptr;
}

void Trace::Line(const char* tag, const std::string& text)
{
    if (!file_)
        return;
    const double t = std::chrono::duration<double>(Clock::now() - start_).count();
    std::fprintf(file_.get(), "%12.6f %s %s\n", t, tag, text.c_str());
    std::fflush(file_.get());
}

void Trace::Bytes(const char* direction, const std::vector<std::uint8_t>& bytes)
{
    if (file_)
        Line(direction, HexBytes(bytes));
}

void Trace::Note(const std::string& text)
{
    if (file_)
        Line("--", Printable(text));
}

PtyServer::PtyServer(Options options, UnitState state, std::optional<StateStore> store)
    : options_(std::move(options)), unit_(std::move(state), options_.faults, options_.prepareDelay),
      store_(std::move(store)), pace_(options_.baud)
{
}

PtyServer::~PtyServer()
{
    RemoveLink();
    if (master_ >= 0)
        ::close(master_);
}

bool PtyServer::Open(std::string& error)
{
    if (!options_.traceFile.empty() && !trace_.Open(options_.traceFile)) {
        error = "cannot write trace " + options_.traceFile + ": " + std::strerror(errno);
        return false;
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    // Raw mode is a property of the terminal, so one open is enough; closing it again leaves the
    // line "closed" until the tool opens it.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    bool rawOk = ::tcgetattr(slave, &tio) == 0;
    if (rawOk) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        rawOk = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    ::close(slave);
    if (!rawOk) {
        error = std::string("cannot set raw mode: ") + std::strerror(errno);
        return false;
    }

    if (!options_.link.empty()) {
        struct stat st {};
        if (::lstat(options_.link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            error = options_.link + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        const std::string temp = options_.link + ".tmp." + std::to_string(::getpid());
        ::unlink(temp.c_str());
        if (::symlink(slavePath_.c_str(), temp.c_str()) != 0 ||
            ::rename(temp.c_str(), options_.link.c_str()) != 0) {
            error = "cannot make link " + options_.link + ": " + std::strerror(errno);
            ::unlink(temp.c_str());
            return false;
        }
        linkMade_ = true;
    }
    watching_ = watch_.Start(slavePath_);
    trace_.Note("serving on " + slavePath_ + (watching_ ? "" : " (no open/close notices)"));
    return true;
}

void PtyServer::RemoveLink()
{
    if (!linkMade_)
        return;
    linkMade_ = false;
    // Only our own link: another simulator may have taken the name over since.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(options_.link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
        ::unlink(options_.link.c_str());
}

void PtyServer::Persist()
{
    if (!store_)
        return;
    std::string error;
    if (!store_->Save(unit_.State(), error))
        std::fprintf(stderr, "k64-sim: %s\n", error.c_str());
}

void PtyServer::Enqueue(const std::vector<std::uint8_t>& bytes)
{
    if (output_.empty())
        pace_.Started(Clock::now());
    output_.insert(output_.end(), bytes.begin(), bytes.end());
}

void PtyServer::HandleFrames(std::vector<Frame>& frames)
{
    const auto now = Clock::now();
    for (Frame& frame : frames) {
        if (hungUp_)
            return;
        ++framesReceived_;
        std::vector<std::uint8_t> wire = EncodeFrame(frame.code, frame.payload, frame.flag);
        trace_.Bytes("rx", wire);
        // On a paced line the request is whole only once its last byte has come through.
        const Clock::time_point received = pace_.Paced() ? pace_.Received(wire.size(), now) : now;
        if (options_.hangupAfter && framesReceived_ >= *options_.hangupAfter) {
            trace_.Note("hanging up after frame " + std::to_string(framesReceived_));
            HangUp();
            return;
        }
        Outcome out = unit_.Handle(frame);
        if (!out.note.empty())
            trace_.Note(out.note);
        if (out.stateChanged)
            Persist();
        if (out.stopDiagnostics)
            diagnosticsOn_ = false;
        if (out.startDiagnostics && !diagnosticsOn_) {
            diagnosticsOn_ = true;
            nextDiagnostics_ = now;
            if (options_.knockAfter)
                knockDue_ = now + *options_.knockAfter;
        }
        if (!out.reply.empty()) {
            // Replies leave in the order of their requests, as from a unit that works one
            // request at a time.
            Clock::time_point due = received + out.delay;
            if (!pending_.empty())
                due = std::max(due, pending_.back().due);
            pending_.push_back({due, std::move(out.reply)});
        }
    }
}

void PtyServer::ReadLine()
{
    std::uint8_t buffer[4096];
    std::vector<Frame> frames;
    lineSawHangup_ = false;
    while (!hungUp_) {
        // Bytes of the next session can only follow this session's close notice, so applying
        // the notices first keeps every read within one session.
        CheckLine();
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t before = static_cast<std::size_t>(parser_.Discarded());
            parser_.Feed({buffer, static_cast<std::size_t>(n)}, frames);
            if (parser_.Discarded() != before) {
                trace_.Note("discarded " + std::to_string(parser_.Discarded() - before) +
                            " bytes of noise");
            }
            HandleFrames(frames);
            frames.clear();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            lineSawHangup_ = true;  // nobody has the slave open
        break;                      // EAGAIN: all read
    }
}

void PtyServer::CheckLine()
{
    // Only closes matter here: an open merely wakes the loop, whose look at the master decides.
    // (Notices may be merged when identical ones follow each other, so opens cannot be counted.)
    for (LineEvent event : watch_.Take()) {
        if (event != LineEvent::kClosed)
            continue;
        if (ownCloses_ > 0)
            --ownCloses_;
        else if (connected_)
            Disconnected();
    }
}

void PtyServer::DropUnsent()
{
    pending_.clear();
    output_.clear();
}

void PtyServer::Disconnected()
{
    connected_ = false;
    lastClose_ = Clock::now();
    if (parser_.Pending() != 0)
        trace_.Note("port closed, partial frame dropped");
    else
        trace_.Note("port closed");
    parser_.Reset();
    DropUnsent();
    diagnosticsOn_ = false;
    // A pty keeps unread bytes for the next opener, a real port does not: clear what the tool
    // left unread (diagnostic text, stray bytes) so it does not leak into the next exchange. This
    // only touches the unit-to-tool direction, so the tool's next request is never at risk; an
    // opener that reads before this runs may still see them.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        if (watching_)
            ++ownCloses_;
        ::tcflush(slave, TCIFLUSH);
        ::close(slave);
    }
}

void PtyServer::FlushOutput()
{
    while (!output_.empty()) {
        const std::size_t sendable = pace_.Sendable(output_.size(), Clock::now());
        if (sendable == 0)
            return;  // the line is still busy with what went before
        const ssize_t n = ::write(master_, output_.data(), sendable);
        if (n > 0) {
            pace_.Sent(static_cast<std::size_t>(n));
            output_.erase(output_.begin(), output_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;  // EAGAIN: wait for room; EIO: the close is noticed by the next poll
    }
}

void PtyServer::HangUp()
{
    hungUp_ = true;
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    RemoveLink();
}

PtyServer::Step PtyServer::AwaitOpen(int stopFd)
{
    pollfd probe{master_, POLLIN, 0};
    ::poll(&probe, 1, 0);
    if (!(probe.revents & POLLHUP)) {
        connected_ = true;
        trace_.Note("port opened");
        return Step::kGoOn;
    }
    // Requests of a session that opened and closed between two looks (a restart) are carried
    // out, but nothing may be sent into a closed line.
    if (probe.revents & POLLIN)
        ReadLine();
    if (hungUp_)
        return Step::kStop;
    if (connected_) {
        Disconnected();
    } else {
        parser_.Reset();
        DropUnsent();
    }
    std::chrono::milliseconds wait = kReconnectPollIdle;
    if (!watching_ && Clock::now() - lastClose_ < kReconnectFastWindow)
        wait = kReconnectPollFast;
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {watch_.Fd(), POLLIN, 0}};
    ::poll(fds, watching_ ? 2 : 1, static_cast<int>(wait.count()));
    return fds[0].revents & POLLIN ? Step::kStop : Step::kGoOn;
}

void PtyServer::SendDueReplies(Clock::time_point now)
{
    while (!pending_.empty() && pending_.front().due <= now) {
        trace_.Bytes("tx", pending_.front().bytes);
        Enqueue(pending_.front().bytes);
        pending_.pop_front();
    }
}

void PtyServer::SendDiagnostics(Clock::time_point now)
{
    if (!diagnosticsOn_ || nextDiagnostics_ > now)
        return;
    if (knockDue_ && *knockDue_ <= now) {
        diagnostics_.Knock();
        knockDue_.reset();
    }
    // A flood fills each burst up to its share of the second; the queue may then hold two
    // bursts, so that a reader keeping up is never starved.
    const std::size_t burst = static_cast<std::size_t>(options_.diagnosticFlood *
                                                       options_.diagnosticInterval.count() / 1000);
    if (output_.size() < std::max(kMaxQueuedText, 2 * burst)) {
        std::string text = diagnostics_.NextLines();
        while (text.size() < burst)
            text += diagnostics_.NextLines();
        trace_.Note("tx text " + text);
        Enqueue(std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    nextDiagnostics_ = now + options_.diagnosticInterval;
}

PtyServer::Step PtyServer::WaitAndServe(int stopFd, Clock::time_point now)
{
    Clock::duration wait = std::chrono::hours(1);
    if (!pending_.empty())
        wait = std::min(wait, pending_.front().due - now);
    if (diagnosticsOn_)
        wait = std::min(wait, nextDiagnostics_ - now);
    // A paced line waits for its own time, not for room in the terminal.
    const bool lineBusy = !output_.empty() && pace_.Paced();
    if (lineBusy)
        wait = std::min<Clock::duration>(
            wait, std::max<Clock::duration>(pace_.NextSend() - now, kPaceSlice));
    const bool wantRoom = !output_.empty() && !lineBusy;
    pollfd fds[3] = {{master_, static_cast<short>(POLLIN | (wantRoom ? POLLOUT : 0)), 0},
                     {stopFd, POLLIN, 0},
                     {watch_.Fd(), POLLIN, 0}};
    if (::poll(fds, watching_ ? 3 : 2, ToPollTimeout(wait)) < 0 && errno != EINTR) {
        std::fprintf(stderr, "k64-sim: poll: %s\n", std::strerror(errno));
        return Step::kFailed;
    }
    if (fds[1].revents & POLLIN)
        return Step::kStop;
    if (fds[2].revents & POLLIN)
        return Step::kGoOn;  // notices first, then the line
    if (fds[0].revents & POLLIN)
        ReadLine();
    if (hungUp_)
        return Step::kStop;
    if ((fds[0].revents & POLLHUP) || lineSawHangup_) {
        if (connected_)
            Disconnected();
    } else if (fds[0].revents & POLLOUT) {
        FlushOutput();
    }
    return Step::kGoOn;
}

int PtyServer::Run(int stopFd)
{
    Step step = Step::kGoOn;
    while (step == Step::kGoOn && !hungUp_) {
        CheckLine();
        if (!connected_) {
            step = AwaitOpen(stopFd);
            continue;
        }
        const auto now = Clock::now();
        SendDueReplies(now);
        SendDiagnostics(now);
        FlushOutput();
        step = WaitAndServe(stopFd, now);
    }
    if (step == Step::kFailed)
        return 1;
    Persist();
    return 0;
}

}  // namespace k64::sim
