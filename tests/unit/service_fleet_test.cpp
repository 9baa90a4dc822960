// Runs on many units: every unit run once, never more at a time than asked, each result in its
// own place, and a stop honoured before the next unit begins.

#include "service/fleet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace k64::service {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

struct RunCase {
    const char* name;
    std::size_t count;
    unsigned jobs;
    std::size_t atOnce;     // the most that run together
    std::size_t stopAfter;  // stopped() answers true once this many have finished
    std::size_t run;        // how many are run: the first ones
};

class RunConcurrentlyTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunConcurrentlyTest, CapEveryUnitOnceResultsInPlace)
{
    const RunCase& c = GetParam();
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0, peak = 0, finished = 0;
    std::vector<std::size_t> begun;
    std::vector<std::size_t> results(c.count, 0);
    RunConcurrently(
        c.count, c.jobs,
        [&](std::size_t i) {
            {
                std::unique_lock lock(mutex);
                begun.push_back(i);
                peak = std::max(peak, ++running);
                changed.notify_all();
                // The first ones wait for each other, so that the peak reaches what may run at
                // once; the time-out only keeps a broken run from hanging the test.
                changed.wait_for(lock, 10s,
                                 [&] { return peak >= c.atOnce || begun.size() == c.run; });
            }
            // Held a little, so that one begun beyond the cap would overlap and show.
            std::this_thread::sleep_for(5ms);
            const std::lock_guard lock(mutex);
            --running;
            ++finished;
            results[i] = i + 1;
        },
        [&] {
            const std::lock_guard lock(mutex);
            return finished >= c.stopAfter;
        });

    EXPECT_EQ(peak, c.atOnce);
    std::vector<std::size_t> expected(c.count, 0);
    std::iota(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(c.run), 1);
    EXPECT_EQ(results, expected);
    std::vector<std::size_t> order(c.run);
    std::iota(order.begin(), order.end(), 0);
    if (c.jobs != 1)
        std::sort(begun.begin(), begun.end());
    EXPECT_EQ(begun, order);  // each once; one at a time, in their order
}

INSTANTIATE_TEST_SUITE_P(Runs, RunConcurrentlyTest,
                         testing::Values(RunCase{"TwoAtATime", 5, 2, 2, kNever, 5},
                                         RunCase{"OneAtATimeInOrder", 5, 1, 1, kNever, 5},
                                         RunCase{"NoCapAllAtOnce", 3, 0, 3, kNever, 3},
                                         RunCase{"CapAboveCount", 2, 4, 2, kNever, 2},
                                         RunCase{"NoUnits", 0, 2, 0, kNever, 0},
                                         RunCase{"StoppedAfterTwo", 5, 1, 1, 2, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace k64::service
