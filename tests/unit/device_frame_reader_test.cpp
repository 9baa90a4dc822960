// Cutting frames out of the byte stream of a real pseudo-terminal.

#include "device/frame_reader.h"
#include "device/messages.h"
#include "device/vcom_port.h"
#include "support/pty_pair.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace quon::io;
using k64::FrameReader;
using k64::test::Bytes;
using k64::test::EncodeFrame;
using k64::test::PtyPair;
using std::chrono::milliseconds;

class PortWaiter final : public k64::ReadWaiter {
public:
    explicit PortWaiter(VCOM_Port& port) : port_(port) {}
    WaitResult Wait(milliseconds limit, bool forData) override
    {
        return forData ? port_.WaitReadable(limit) : port_.WaitIdle(limit);
    }

private:
    VCOM_Port& port_;
};

struct Link {
    PtyPair pty;
    VCOM_Port port{pty.SlavePath()};
    VCOMInputStream in{&port};
    PortWaiter waiter{port};
    FrameReader reader;

    Link() { EXPECT_TRUE(port.Open()); }
    FrameReader::Result Receive(milliseconds timeout)
    {
        reader.Reset();
        return reader.Receive(in, waiter, timeout);
    }
    // Lets bytes written to the master reach the slave's queue.
    void Settle(int bytes)
    {
        for (int i = 0; i < 500 && in.Available() < bytes; ++i)
            std::this_thread::sleep_for(milliseconds(1));
    }
};

Bytes Payload(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return b;
}

Bytes Header(std::uint16_t code, std::uint16_t length)
{
    return {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8),
            static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct WireCase {
    const char* name;
    Bytes wire;
    bool complete;
    std::uint16_t codeWord;
    Bytes payload;
};

const WireCase kWire[] = {
    {"Empty", EncodeFrame(194), true, 194, {}},
    {"Id", EncodeFrame(11, {1, 2, 3, 4}), true, 11, {1, 2, 3, 4}},
    {"FlagKept", EncodeFrame(0x80C9, {'a', 0}), true, 0x80C9, {'a', 0}},
    {"Largest", EncodeFrame(201, Payload(1016)), true, 201, Payload(1016)},
    {"TooLarge", EncodeFrame(201, Payload(1017)), false, 0, {}},
    {"TrailerMissing", Cat(Header(11, 4), {1, 2, 3, 4}), false, 0, {}},
    {"TrailerHalf", Cat(Header(11, 4), {1, 2, 3, 4, 0, 0}), false, 0, {}},
    {"PayloadShort", Cat(Header(11, 4), {1, 2}), false, 0, {}},
    {"HeaderHalf", {0x0B, 0x00}, false, 0, {}},
    {"TrailerValueIgnored", Cat(Cat(Header(193, 0), {}), {9, 9, 9, 9}), true, 193, {}},
};

class Reception : public testing::TestWithParam<WireCase> {};

TEST_P(Reception, CutsOrTimesOut)
{
    Link link;
    link.pty.Send(GetParam().wire);
    const auto result = link.Receive(milliseconds(300));
    if (!GetParam().complete) {
        EXPECT_EQ(result, FrameReader::Result::kTimedOut);
        EXPECT_EQ(link.reader.GetState(), FrameReader::kIdle);
        return;
    }
    ASSERT_EQ(result, FrameReader::Result::kComplete);
    EXPECT_EQ(link.reader.GetState(), FrameReader::kComplete);
    EXPECT_EQ(link.reader.CodeWord(), GetParam().codeWord);
    ASSERT_EQ(link.reader.PayloadLength(), GetParam().payload.size());
    EXPECT_EQ(Bytes(link.reader.Payload(), link.reader.Payload() + link.reader.PayloadLength()),
              GetParam().payload);
}

INSTANTIATE_TEST_SUITE_P(FrameReader, Reception, testing::ValuesIn(kWire),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameReader, FrameSplitOverManyWrites)
{
    Link link;
    const Bytes wire = EncodeFrame(150, Cat({5, 0}, {'K', '6', '4', '_', 'r'}));
    std::thread unit([&] {
        std::size_t from = 0;
        for (const std::size_t cut : {1u, 3u, 5u, 6u, 10u, 12u, 15u}) {
            link.pty.Send(Bytes(wire.begin() + static_cast<long>(from),
                                wire.begin() + static_cast<long>(cut)));
            from = cut;
            std::this_thread::sleep_for(milliseconds(15));
        }
        link.pty.Send(Bytes(wire.begin() + static_cast<long>(from), wire.end()));
    });
    const auto result = link.Receive(milliseconds(5000));
    unit.join();
    ASSERT_EQ(result, FrameReader::Result::kComplete);
    auto m = quon::tms::messages::CreateMessage(link.reader.CodeWord(), link.reader.Payload(),
                                                link.reader.PayloadLength());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(dynamic_cast<quon::tms::messages::TextMessage&>(*m).GetText(), "K64_r");
}

TEST(FrameReader, BackToBackFramesAreCutOneAtATime)
{
    Link link;
    link.pty.Send(Cat(EncodeFrame(194), EncodeFrame(11, {1, 2, 3, 4})));
    link.Settle(20);
    link.reader.Reset();
    ASSERT_EQ(link.reader.Receive(link.in, link.waiter, milliseconds(5000)),
              FrameReader::Result::kComplete);
    EXPECT_EQ(link.reader.CodeWord(), 194);
    link.reader.Reset();
    ASSERT_EQ(link.reader.Receive(link.in, link.waiter, milliseconds(5000)),
              FrameReader::Result::kComplete);
    EXPECT_EQ(link.reader.CodeWord(), 11);
}

TEST(FrameReader, PassesAloneFinishQueuedFrames)
{
    struct Case {
        Bytes wire;
        int passes;
    };
    for (const Case& c : {Case{EncodeFrame(194), 1}, Case{EncodeFrame(11, {1, 2, 3, 4}), 2}}) {
        Link link;
        link.pty.Send(c.wire);
        link.Settle(static_cast<int>(c.wire.size()));
        link.reader.Reset();
        link.reader.Start();
        int passes = 1;
        while (passes < 10 && !link.reader.Pass(link.in))
            ++passes;
        EXPECT_LE(passes, c.passes) << "passes needed for " << c.wire.size() << " bytes";
    }
}

TEST(FrameReader, HangUpEndsTheWaitAtOnce)
{
    Link link;
    std::thread unplug([&] {
        std::this_thread::sleep_for(milliseconds(50));
        link.pty.Send(Header(201, 10));
        link.pty.CloseMaster();
    });
    // A missed hang-up would show as kTimedOut after a whole hour.
    EXPECT_EQ(link.Receive(milliseconds(3'600'000)), FrameReader::Result::kHungUp);
    unplug.join();
    EXPECT_EQ(link.reader.GetState(), FrameReader::kIdle);
}

TEST(FrameReader, HangUpWhileAbandoningTooLargeFrame)
{
    Link link;
    std::thread unplug([&] {
        link.pty.Send(Header(201, 2000));
        std::this_thread::sleep_for(milliseconds(50));
        link.pty.CloseMaster();
    });
    EXPECT_EQ(link.Receive(milliseconds(3'600'000)), FrameReader::Result::kHungUp);
    unplug.join();
}

// Time jumps past the deadline while the reply comes, as for a process stopped (Ctrl-Z) during
// the wait and continued later: what arrived meanwhile is taken, not declared timed out.
TEST(FrameReader, ReplyQueuedWhileSuspendedIsTaken)
{
    class JumpingClock final : public k64::WaitClock {
    public:
        TimePoint Now() const override
        {
            return start_ + (calls_++ < 2 ? milliseconds(0) : std::chrono::hours(2));
        }
        milliseconds RealSpan(milliseconds span) const override { return span; }

    private:
        TimePoint start_ = std::chrono::steady_clock::now();
        mutable int calls_ = 0;
    } clock;
    Link link;
    std::thread reply([&] {
        std::this_thread::sleep_for(milliseconds(50));
        link.pty.Send(EncodeFrame(194));
    });
    link.reader.Reset();
    EXPECT_EQ(link.reader.Receive(link.in, link.waiter, std::chrono::hours(1), clock),
              FrameReader::Result::kComplete);
    reply.join();
}

}  // namespace
