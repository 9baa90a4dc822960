// The serial port and its streams on a real kernel pseudo-terminal.

#include "device/vcom_port.h"
#include "support/forked_helper.h"
#include "support/pty_pair.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace quon::io;
using k64::test::Bytes;
using k64::test::ForkedHelper;
using k64::test::PtyPair;
using k64::test::ScopedOwnerlessRecorder;
using std::chrono::milliseconds;

termios SlaveSettings(const PtyPair& pty)
{
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return tio;
}

TEST(VcomPort, MissingPortFailsSilently)
{
    ScopedOwnerlessRecorder boxes;
    VCOM_Port port("/dev/k64-no-such-port");
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(boxes.recorder.shown.empty());
}

TEST(VcomPort, NonSerialDeviceShowsStatusBoxAndStaysClosed)
{
    ScopedOwnerlessRecorder boxes;
    VCOM_Port port("/dev/null");
    EXPECT_FALSE(port.Open());
    // A half-opened port would count as open and skip its settings next time.
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Open());
    ASSERT_EQ(boxes.recorder.shown.size(), 2u);
    EXPECT_EQ(boxes.recorder.shown[0].text, "Статус порта не досупен");
    EXPECT_EQ(boxes.recorder.shown[0].caption, "Error");
    EXPECT_FALSE(port.Probe());
}

TEST(VcomPort, AppliesBinaryLineAndKeepsTheRest)
{
    PtyPair pty;
    {
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        ::tcgetattr(fd, &tio);
        tio.c_iflag |= IXON | ICRNL;
        tio.c_lflag |= ICANON | ECHO;
        tio.c_cflag |= PARENB | CSTOPB | CLOCAL;
        tio.c_oflag |= OPOST | ONLCR;
        ::cfsetspeed(&tio, B115200);
        ::tcsetattr(fd, TCSANOW, &tio);
        ::close(fd);
    }
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    const termios tio = SlaveSettings(pty);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);  // not ours to change

    // Binary bytes pass unchanged both ways.
    const Bytes all = [] {
        Bytes b(256);
        for (int i = 0; i < 256; ++i)
            b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        return b;
    }();
    VCOMOutputStream out(&port);
    VCOMInputStream in(&port);
    EXPECT_EQ(out.Write(all.data(), 256), 256);
    EXPECT_EQ(pty.Receive(256, milliseconds(2000)), all);
    pty.Send(all);
    Bytes got(256);
    EXPECT_EQ(in.Read(got.data(), 256), 256);
    EXPECT_EQ(got, all);

    // Closing puts the line back as it was found: a terminal named as the port is not left raw.
    port.Close();
    const termios after = SlaveSettings(pty);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B115200));
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_NE(after.c_iflag & IXON, 0u);
}

TEST(VcomPort, OpenIsExclusiveAndIdempotent)
{
    PtyPair pty;
    VCOM_Port first(pty.SlavePath());
    VCOM_Port second(pty.SlavePath());
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.Probe());

    // A second Open() of an open port touches nothing: queued input is not flushed.
    pty.Send({1, 2, 3});
    VCOMInputStream in(&first);
    for (int i = 0; i < 200 && in.Available() < 3; ++i)
        std::this_thread::sleep_for(milliseconds(1));
    EXPECT_TRUE(first.Open());
    EXPECT_EQ(in.Available(), 3);

    first.Close();
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.Probe());
    EXPECT_TRUE(second.Open());
}

void WritePid(const std::string& path, pid_t pid)
{
    std::ofstream(path) << std::string(10 - std::to_string(pid).size(), ' ') << pid << '\n';
}

// An operation's hold keeps the port from every other opener across its reopens, through the
// device node's own lock even when the two never see the same lock file (users whose lock
// folders differ).
TEST(VcomPort, HoldOutlivesCloseAndReachesEveryLockFolder)
{
    PtyPair pty;
    VCOM_Port first(pty.SlavePath());
    VCOM_Port second(pty.SlavePath());
    ASSERT_TRUE(first.Hold());
    ASSERT_TRUE(first.Open());
    first.Close();
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.Failure().kind, PortFailure::Kind::kHeld);
    EXPECT_FALSE(second.Probe());
    EXPECT_FALSE(second.Hold());
    const std::string lockFile = InspectPortLock(pty.SlavePath()).path;
    ASSERT_TRUE(std::filesystem::remove(lockFile));
    EXPECT_FALSE(second.Open());
    first.Unhold();
    ASSERT_TRUE(second.Open());
    EXPECT_FALSE(second.Failure());
    second.Close();
    EXPECT_FALSE(std::filesystem::exists(lockFile));  // a released lock leaves nothing behind
}

// The user's update against root's request: root passes every permission check, so only the
// node's lock, held between the user's exchanges, keeps it out.
TEST(VcomPort, AnotherUsersHoldKeepsRootOut)
{
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
    const std::string port = pty.SlavePath();
    auto user = std::make_unique<ForkedHelper>([&port] {
        static VCOM_Port held(port);
        return ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
               ::setresuid(65534, 65534, 65534) == 0 && held.Hold();
    });
    ASSERT_TRUE(user->Ready());
    // As if the user's lock file had gone to a folder root does not look in.
    std::filesystem::remove(InspectPortLock(port).path);
    // Refused without so much as an open of the terminal: the other side sees every open and
    // close (a unit's session, the simulator), and the user's transfer must not.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, port.c_str(), IN_OPEN | IN_CLOSE), 0);
    VCOM_Port root(port);
    EXPECT_FALSE(root.Open());
    EXPECT_EQ(root.Failure().kind, PortFailure::Kind::kHeld);
    EXPECT_EQ(root.Failure().holderPid, user->Pid());
    char events[256];
    EXPECT_LT(::read(watch, events, sizeof events), 0);
    ::close(watch);
    user.reset();
    EXPECT_TRUE(root.Open());
}

// What is found at the lock file's path decides; a process named there counts only while it
// has the port open, and nothing is ever created through a link.
TEST(VcomPort, LockFileSituations)
{
    using Kind = PortFailure::Kind;
    PtyPair pty;
    const std::string port = pty.SlavePath();
    const std::string lock = InspectPortLock(port).path;
    const std::string target = lock + ".target";
    const pid_t dead = ::fork();
    if (dead == 0)
        _exit(0);
    ::waitpid(dead, nullptr, 0);
    ForkedHelper opener([&port] { return ::open(port.c_str(), O_RDWR | O_NOCTTY) >= 0; });
    ASSERT_TRUE(opener.Ready());
    struct Case {
        const char* name;
        std::function<void()> make;
        Kind kind;
        pid_t holder;  // as the port and the doctor's look at the lock see it
    };
    const Case cases[] = {
        {"DeadPid", [&] { WritePid(lock, dead); }, Kind::kNone, 0},
        {"LiveUnrelatedPid", [&] { WritePid(lock, 1); }, Kind::kNone, 0},
        {"LivePidWithPortOpen", [&] { WritePid(lock, opener.Pid()); }, Kind::kHeld, opener.Pid()},
        {"Link", [&] { ASSERT_EQ(::symlink(target.c_str(), lock.c_str()), 0); },
         Kind::kLockNotRegularFile, 0},
        {"Folder", [&] { ASSERT_EQ(::mkdir(lock.c_str(), 0755), 0); }, Kind::kLockNotRegularFile,
         0},
        {"Fifo", [&] { ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0); }, Kind::kLockNotRegularFile, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const PortLockView view = InspectPortLock(port);
        EXPECT_EQ(view.notRegularFile, c.kind == Kind::kLockNotRegularFile);
        EXPECT_EQ(view.pid, c.holder);
        VCOM_Port vcom(port);
        EXPECT_EQ(vcom.Open(), c.kind == Kind::kNone);
        EXPECT_EQ(vcom.Failure().kind, c.kind);
        EXPECT_EQ(vcom.Failure().holderPid, c.holder);
        if (c.kind == Kind::kLockNotRegularFile) {
            EXPECT_EQ(vcom.Failure().lockPath, lock);
        }
        vcom.Close();
        EXPECT_FALSE(std::filesystem::exists(target));
        std::filesystem::remove(lock);
    }
}

TEST(VcomPort, StaleInputIsDiscardedOnOpen)
{
    PtyPair pty;
    pty.Send(k64::test::EncodeFrame(11, {1, 2, 3, 4}));
    std::this_thread::sleep_for(milliseconds(20));
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    VCOMInputStream in(&port);
    EXPECT_EQ(in.Available(), 0);
    EXPECT_TRUE(in.IsEmpty());
}

TEST(VcomStreams, ClosedPortResults)
{
    VCOM_Port port("/dev/k64-no-such-port");
    port.SetOutQueueCounter([] { return 0u; });
    VCOMOutputStream out(&port);
    VCOMInputStream in(&port);
    std::uint8_t b[4] = {};
    EXPECT_EQ(out.Write(b, 4), kStreamNotOpen);
    EXPECT_EQ(in.Read(b, 4), kStreamNotOpen);
    EXPECT_EQ(out.FreeSpace(), 0);
    EXPECT_EQ(in.Available(), 0);
    EXPECT_TRUE(in.IsEmpty());
    EXPECT_TRUE(out.IsEmpty());
}

TEST(VcomStreams, ShortReadReportsShortAndLosesTheBytes)
{
    PtyPair pty;
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    VCOMInputStream in(&port);
    pty.Send({1, 2, 3, 4, 5});
    std::uint8_t b[8] = {};
    EXPECT_EQ(in.Read(b, 8), kStreamShort);
    EXPECT_EQ(in.Available(), 0);
    EXPECT_FALSE(port.HungUp());
}

TEST(VcomStreams, ReadWaitsForBytesOnTheirWay)
{
    PtyPair pty;
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    VCOMInputStream in(&port);
    std::thread later([&] {
        pty.Send({1, 2});
        std::this_thread::sleep_for(milliseconds(50));
        pty.Send({3, 4});
    });
    std::uint8_t b[4] = {};
    EXPECT_EQ(in.Read(b, 4), 4);
    later.join();
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{1, 2, 3, 4}));
}

TEST(VcomStreams, HangUpEndsReadAndWaits)
{
    PtyPair pty;
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    VCOMInputStream in(&port);
    pty.Send({9});
    std::this_thread::sleep_for(milliseconds(20));
    pty.CloseMaster();
    std::uint8_t b[100] = {};
    EXPECT_EQ(in.Read(b, 100), kStreamShort);
    EXPECT_TRUE(port.HungUp());
    // A dead line is reported, not waited on (the limit would be an hour).
    EXPECT_EQ(port.WaitReadable(milliseconds(3'600'000)), WaitResult::kHungUp);
    EXPECT_EQ(port.WaitIdle(milliseconds(3'600'000)), WaitResult::kHungUp);
}

TEST(VcomStreams, WaitsReportReadinessAndTimeOut)
{
    PtyPair pty;
    VCOM_Port port(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.WaitReadable(milliseconds(20)), WaitResult::kTimedOut);
    pty.Send({1});
    EXPECT_EQ(port.WaitReadable(milliseconds(2000)), WaitResult::kReady);
    EXPECT_EQ(port.WaitIdle(milliseconds(20)), WaitResult::kTimedOut);
}

// The 64-byte transmit window, fed by a queue count the test controls (ptys report 0).
struct WindowCase {
    unsigned queued;
    int free;
};

class TransmitWindow : public testing::TestWithParam<WindowCase> {};

TEST_P(TransmitWindow, FreeSpaceFollowsTheQueue)
{
    PtyPair pty;
    VCOM_Port port(pty.SlavePath());
    const unsigned queued = GetParam().queued;
    port.SetOutQueueCounter([queued] { return queued; });
    VCOMOutputStream out(&port);
    EXPECT_EQ(out.FreeSpace(), 0) << "closed";
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(out.FreeSpace(), GetParam().free);
    EXPECT_EQ(out.IsEmpty(), queued == 0);
}

INSTANTIATE_TEST_SUITE_P(VcomStreams, TransmitWindow,
                         testing::Values(WindowCase{0, 64}, WindowCase{10, 54}, WindowCase{63, 1},
                                         WindowCase{64, 0}, WindowCase{65, 0},
                                         WindowCase{100000, 0}));

}  // namespace
