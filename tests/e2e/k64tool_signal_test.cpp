// k64tool on the offscreen platform, told to quit by a signal in the middle of an update: the
// transfer stops between two blocks (no commit reaches the simulated unit) and the program ends
// normally. Killed outright, it leaves its diagnostic recording, which the next start removes.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/sim_trace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace k64::test {
namespace {

struct SignalCase {
    const char* name;
    int signal;
    const char* update;
    std::uint16_t prepare;
};

class K64toolSignalTest : public ::testing::TestWithParam<SignalCase> {};

std::size_t Blocks(const std::string& trace)
{
    const std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
    return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), 192));
}

// The programs started from here keep their settings, history and cache in `dir`, with the
// simulator's port stored, and draw offscreen.
void UseFolder(const TempDir& dir, const SimProcess& sim)
{
    std::filesystem::create_directories(dir / "config/QF");
    std::ofstream(dir / "config/QF/TB_USB_PORT.conf")
        << "[General]\nPort=" << sim.PtyPath() << "\n";
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("K64_HISTORY_DIR", (dir / "history").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

TEST_P(K64toolSignalTest, StopsBetweenBlocksAndQuits)
{
    const SignalCase& c = GetParam();
    TempDir dir;
    const std::string trace = dir / "trace";
    SimProcess sim(SimProgram(),
                   {"--trace", trace, "--prepare-delay-ms", "0", "--delay", "192:20"});
    ASSERT_TRUE(sim.Started());
    UseFolder(dir, sim);
    ChildProcess tool(K64TOOL_PATH, {"--yes", "--start-update", c.update},
                      ChildProcess::Errors::Discard);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Blocks(trace) < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(Blocks(trace), 3u);

    ::kill(tool.Pid(), c.signal);
    EXPECT_EQ(tool.WaitExit(std::chrono::seconds(30)), 0);
    sim.Stop();
    const std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
    ASSERT_FALSE(codes.empty());
    EXPECT_NE(std::find(codes.begin(), codes.end(), c.prepare), codes.end());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 190), 0);
    EXPECT_EQ(codes.back(), 192);  // nothing after the last block
}

INSTANTIATE_TEST_SUITE_P(Rows, K64toolSignalTest,
                         ::testing::Values(SignalCase{"FirmwareTerm", SIGTERM, "firmware", 195},
                                           SignalCase{"FirmwareHup", SIGHUP, "firmware", 195},
                                           SignalCase{"SoundInt", SIGINT, "sound", 196}),
                         [](const auto& info) { return std::string(info.param.name); });

// The diagnostic recordings in the cache folder.
std::vector<std::string> Recordings(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

// Killed with its diagnostic window open, a window leaves its recording (named with its process
// id); the next start removes it. One still in use is kept (settings_file_create_test).
TEST(K64toolRecording, KilledWindowsRecordingGoesAtTheNextStart)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {});
    ASSERT_TRUE(sim.Started());
    UseFolder(dir, sim);
    const std::string folder = dir / "cache/k64";
    ChildProcess killed(K64TOOL_PATH, {"--show-diagnostic"}, ChildProcess::Errors::Discard);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Recordings(folder).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(killed.Pid(), SIGKILL);
    killed.WaitExit(std::chrono::seconds(30));
    const std::vector<std::string> left = Recordings(folder);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with("diagnostic-" + std::to_string(killed.Pid()) + "-")) << left[0];

    ChildProcess next(K64TOOL_PATH, {"--quit-after-paint"}, ChildProcess::Errors::Discard);
    EXPECT_EQ(next.WaitExit(std::chrono::seconds(30)), 0);
    EXPECT_EQ(Recordings(folder), std::vector<std::string>{});
}

}  // namespace
}  // namespace k64::test
