// What the simulator keeps in --state DIR across a restart, and its terminal link.
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace k64::test {
namespace {

namespace fs = std::filesystem;

Bytes Exchange(const SimProcess& sim, const Bytes& request, std::size_t expect)
{
    SimLine line(sim.PtyPath());
    EXPECT_TRUE(line.Write(request));
    return line.Read(expect);
}

std::string FreshDir(const std::string& name)
{
    const fs::path dir = fs::path(::testing::TempDir()) / (name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    return dir.string();
}

TEST(SimState, SettingsAndIdSurviveARestart)
{
    const std::string dir = FreshDir("sim_state");
    const Bytes settings = EncodeFrame(201, Bytes{'A', '=', '7', '\n', 0});
    const Bytes id_reply = {0x0B, 0x00, 0x04, 0x00, 0x09, 0x00, 0x00, 0x00, 0, 0, 0, 0};
    {
        SimProcess sim(SimProgram(), {"--state", dir, "--id", "1"});
        ASSERT_TRUE(sim.Started());
        ASSERT_EQ(Exchange(sim, settings, settings.size()), settings);
        ASSERT_EQ(Exchange(sim, EncodeFrame(13, Bytes{9, 0, 0, 0}), id_reply.size()), id_reply);
        EXPECT_EQ(sim.Stop(), 0);
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    // The saved state wins over the factory values given on the command line.
    SimProcess sim(SimProgram(), {"--state", dir, "--id", "1"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(Exchange(sim, EncodeFrame(200), settings.size()), settings);
    EXPECT_EQ(Exchange(sim, EncodeFrame(10), id_reply.size()), id_reply);
}

TEST(SimState, WithoutStateDirNothingIsKept)
{
    const Bytes empty_settings = {0xC9, 0x00, 0x01, 0x00, 0x00, 0, 0, 0, 0};
    {
        SimProcess sim(SimProgram(), {});
        ASSERT_TRUE(sim.Started());
        const Bytes settings = EncodeFrame(201, Bytes{'B', '=', '1', 0});
        ASSERT_EQ(Exchange(sim, settings, settings.size()), settings);
    }
    SimProcess sim(SimProgram(), {});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(Exchange(sim, EncodeFrame(200), empty_settings.size()), empty_settings);
}

TEST(SimLink, PointsAtTheTerminalWhileRunning)
{
    const std::string link = FreshDir("sim_link");
    std::string path;
    {
        SimProcess sim(SimProgram(), {"--link", link});
        ASSERT_TRUE(sim.Started());
        path = sim.PtyPath();
        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(link, ec).string(), path);
        // The link opens the unit like the terminal path does.
        SimLine line(link);
        ASSERT_TRUE(line.Write(EncodeFrame(14)));
        EXPECT_EQ(line.Read(2), (Bytes{0x96, 0x00}));
        EXPECT_EQ(sim.Stop(), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind";
}

TEST(SimOptions, BadCommandLineEndsWithStatusTwo)
{
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--bogus"}, {"--id", "x"}, {"--delay", "14"}}) {
        SimProcess sim(SimProgram(), args);
        EXPECT_FALSE(sim.Started());
        EXPECT_EQ(sim.WaitExit(std::chrono::seconds(10)), 2) << args[0];
    }
}

}  // namespace
}  // namespace k64::test
