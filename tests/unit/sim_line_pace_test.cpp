// The simulated line's pace: bytes take ten bit times each, queued bytes wait their turn, and an
// idle line saves up no time.
#include "sim/line_pace.h"

#include <gtest/gtest.h>

namespace k64::sim {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using Clock = LinePace::Clock;

TEST(SimLinePace, BytesTakeTheirTime)
{
    const Clock::time_point t0{std::chrono::hours(1)};
    struct Case {
        std::uint32_t baud;
        std::size_t bytes;
        Clock::duration rxTime;  // of `bytes` arriving at once
        Clock::duration after;   // looking at the sender this long after it started
        std::size_t sendable;    // of 1000 queued
    };
    const Case cases[] = {
        {9600, 96, milliseconds(100), milliseconds(100), 96},
        {9600, 1, microseconds(1041), microseconds(1000), 0},
        {115200, 1152, milliseconds(100), milliseconds(50), 576},
        {300, 3, milliseconds(100), milliseconds(2000), 60},
        {9600, 10, milliseconds(10) + microseconds(416), milliseconds(5000), 1000},
    };
    for (const Case& c : cases) {
        LinePace pace(c.baud);
        const auto done = pace.Received(c.bytes, t0);
        EXPECT_NEAR(std::chrono::duration<double>(done - t0).count(),
                    std::chrono::duration<double>(c.rxTime).count(), 1e-6)
            << c.baud;
        pace.Started(t0);
        EXPECT_EQ(pace.Sendable(1000, t0 + c.after), c.sendable) << c.baud;
    }
}

TEST(SimLinePace, QueuesAndIdles)
{
    const Clock::time_point t0{std::chrono::hours(1)};
    LinePace pace(10000);  // a millisecond a byte
    // A second burst arriving while the first is still coming through waits behind it.
    EXPECT_EQ(pace.Received(10, t0), t0 + milliseconds(10));
    EXPECT_EQ(pace.Received(10, t0 + milliseconds(5)), t0 + milliseconds(20));
    // After sending 10 bytes the next ones count from where those ended, not from now.
    pace.Started(t0);
    EXPECT_EQ(pace.Sendable(100, t0 + milliseconds(10)), 10u);
    pace.Sent(10);
    EXPECT_EQ(pace.Sendable(100, t0 + milliseconds(15)), 5u);
    EXPECT_EQ(pace.NextSend(), t0 + milliseconds(11));
    // An idle second later a new start does not allow a burst.
    pace.Started(t0 + milliseconds(1000));
    EXPECT_EQ(pace.Sendable(100, t0 + milliseconds(1000)), 0u);
    // Unpaced: everything, at once.
    LinePace unpaced;
    EXPECT_EQ(unpaced.Sendable(100, t0), 100u);
    EXPECT_EQ(unpaced.Received(100, t0), t0);
}

}  // namespace
}  // namespace k64::sim
