// k64tool on the offscreen platform, told to quit by a signal. In the middle of a transfer it
// stops between two blocks (no commit reaches the simulated unit, whenever the signal comes);
// during a wait it quits when the wait is over, without the box the wait led to and without
// sending anything more. Killed outright, it leaves its diagnostic recording, which the next
// start removes.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/sim_trace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <signal.h>
#include <stdlib.h>

namespace k64::test {
namespace {

using std::chrono::milliseconds;

struct SignalCase {
    const char* name;
    int signal;
    const char* update;
    std::vector<std::string> unit;  // the simulator's options besides its trace
    // The signal comes once the trace holds `after` frames of this code; with `random`, after
    // a number of them drawn anew for each of `runs` runs.
    std::uint16_t code;
    int after;
    bool random;
    int runs;
    std::vector<std::uint16_t> sent;  // the codes the unit saw besides data fragments
    bool blocks;                      // whether data fragments may have gone out
    const char* notShown;             // a box the program must not show
};

class K64toolSignalTest : public ::testing::TestWithParam<SignalCase> {};

long Count(const std::string& trace, std::uint16_t code)
{
    const std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
    return std::count(codes.begin(), codes.end(), code);
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

TEST_P(K64toolSignalTest, StopsAtABlockBoundaryOrAfterTheWait)
{
    const SignalCase& c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.signal));
    for (int run = 0; run < c.runs; ++run) {
        TempDir dir;
        const std::string trace = dir / "trace";
        std::vector<std::string> args = {"--trace", trace};
        args.insert(args.end(), c.unit.begin(), c.unit.end());
        SimProcess sim(SimProgram(), args);
        ASSERT_TRUE(sim.Started());
        UseFolder(dir, sim);
        // Its boxes, answered by --yes, go to standard error: kept in a file.
        const std::string boxes = dir / "boxes";
        ChildProcess tool("/bin/sh", {"-c", "exec \"$0\" --yes --start-update \"$1\" 2>\"$2\"",
                                      K64TOOL_PATH, c.update, boxes});
        const long after = c.random ? std::uniform_int_distribution<long>(1, 60)(random) : c.after;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Count(trace, c.code) < after && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(5));
        ASSERT_GE(Count(trace, c.code), after);

        ::kill(tool.Pid(), c.signal);
        EXPECT_EQ(tool.WaitExit(std::chrono::seconds(30)), 0) << "run " << run;
        sim.Stop();
        std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
        const auto fragments = std::remove(codes.begin(), codes.end(), 192);
        EXPECT_EQ(fragments != codes.end(), c.blocks) << "run " << run;
        codes.erase(fragments, codes.end());
        EXPECT_EQ(codes, c.sent) << "run " << run << ", signal after " << after;
        std::stringstream shown;
        shown << std::ifstream(boxes).rdbuf();
        EXPECT_EQ(shown.str().find(c.notShown), std::string::npos) << shown.str();
    }
}

// The unit answers a data fragment 10 ms late, so that a transfer takes about a second.
const std::vector<std::string> kPaced = {"--prepare-delay-ms", "0", "--delay", "192:10"};

// Mid firmware transfer, after a random number of blocks, ten times: the blocks stop and
// nothing is committed.
SignalCase MidFirmware(const char* name, int signal)
{
    return {name,
            signal,
            "firmware",
            kPaced,
            192,
            0,
            true,
            10,
            {14, 200, 10, 195},
            true,
            "Нет подтвеждения CRC"};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, K64toolSignalTest,
    ::testing::Values(
        MidFirmware("FirmwareTerm", SIGTERM), MidFirmware("FirmwareInt", SIGINT),
        MidFirmware("FirmwareHup", SIGHUP),
        SignalCase{"SoundTerm",
                   SIGTERM,
                   "sound",
                   kPaced,
                   192,
                   3,
                   false,
                   1,
                   {196},
                   true,
                   "Данные успешно записаны."},
        // During the version's wait for a silent unit: the program quits when the wait ends,
        // without the box it led to.
        SignalCase{"VersionWaitTerm",
                   SIGTERM,
                   "firmware",
                   {"--no-reply", "14"},
                   14,
                   1,
                   false,
                   1,
                   {14},
                   false,
                   "Устройство не подключено или занято"},
        // During the prepare request's wait: the unit is prepared, but no block follows.
        SignalCase{"PrepareWaitTerm",
                   SIGTERM,
                   "firmware",
                   {"--prepare-delay-ms", "1500"},
                   195,
                   1,
                   false,
                   1,
                   {14, 200, 10, 195},
                   false,
                   "Ошибка при передачи данных"}),
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
