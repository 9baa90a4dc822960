// k64ctl diag --csv against k64-sim: the recording is complete whether the run ends by its
// --seconds, by Ctrl-C, by SIGKILL or by a reader that went away, and a knock of the simulated
// unit shows in it.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <signal.h>
#include <stdlib.h>

namespace {

using namespace std::chrono_literals;
using k64::test::ChildProcess;

// One CSV record, RFC 4180 quoting undone.
std::vector<std::string> Fields(const std::string& row)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"')
            fields.back() += row[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

struct Ending {
    const char* name;
    std::vector<std::string> args;  // after "diag --csv FILE"
    int signal;                     // sent once the knock was shown, 0 for none
    int status;                     // -1: died of the signal
};

class DiagCsv : public ::testing::TestWithParam<Ending> {};

TEST_P(DiagCsv, RecordsEveryLineWithTheKnock)
{
    k64::test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    k64::test::SimProcess sim(k64::test::SimProgram(),
                              {"--diag-interval-ms", "20", "--knock-after-ms", "300"});
    ASSERT_TRUE(sim.Started());
    const std::string csv = dir / "rec.csv";
    std::vector<std::string> args = {"--port", sim.PtyPath(), "diag", "--csv", csv};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    ChildProcess ctl(K64CTL_PATH, args, ChildProcess::Errors::Discard);
    ASSERT_TRUE(ctl.Spawned());

    // The terminal shows the knock as a large X.
    bool knockShown = false;
    while (!knockShown) {
        const auto line = ctl.ReadLine(10s);
        ASSERT_TRUE(line) << "no knock on the terminal";
        knockShown = line->rfind("X = ", 0) == 0 && std::abs(std::atoi(line->c_str() + 4)) >= 400;
    }
    if (GetParam().signal != 0) {
        ASSERT_EQ(::kill(ctl.Pid(), GetParam().signal), 0);
    }
    ASSERT_EQ(ctl.WaitExit(10s), GetParam().status);

    std::ifstream in(csv, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << "last row cut";
    std::vector<std::string> rows;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        rows.push_back(text.substr(at, end - at));
    ASSERT_GT(rows.size(), 10u);
    EXPECT_EQ(rows[0], "time,tag,x,y,z,text");

    std::set<std::string> tags;
    double lastTime = 0;
    bool knockRecorded = false;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Fields(rows[i]);
        ASSERT_EQ(f.size(), 6u) << rows[i];
        // Seconds to the millisecond, never going back.
        ASSERT_EQ(f[0].size() - f[0].find('.'), 4u) << rows[i];
        EXPECT_GE(std::stod(f[0]), lastTime) << rows[i];
        lastTime = std::stod(f[0]);
        tags.insert(f[1]);
        if (f[1] == "$AccD:") {
            EXPECT_EQ(f[5], "") << rows[i];
            knockRecorded = knockRecorded || std::abs(std::stoi(f[2])) >= 400;
        } else {
            EXPECT_EQ(f[2] + f[3] + f[4], "") << rows[i];
            EXPECT_FALSE(f[5].empty()) << rows[i];
        }
        if (f[1] == "$Can:") {
            EXPECT_EQ(f[5].rfind("1,0x0C4,", 0), 0u) << rows[i];
        }
    }
    EXPECT_EQ(tags, (std::set<std::string>{"$AccD:", "$AccE:", "$VS:", "$Can:"}));
    EXPECT_TRUE(knockRecorded);
}

// A file that cannot be written is told before the run, not after it.
TEST(DiagCsvFile, UnwritableIsToldAtOnce)
{
    k64::test::SimProcess sim(k64::test::SimProgram(), {});
    ASSERT_TRUE(sim.Started());
    const k64::test::ProgramResult r = k64::test::RunProgram(
        {K64CTL_PATH, "--port", sim.PtyPath(), "diag", "--csv", "/nonexistent/k64/rec.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("/nonexistent/k64/rec.csv (нет такого файла или папки)"),
              std::string::npos)
        << r.err;
}

// A file that stops taking rows part way (here the file size limit) ends the run with the
// reason; the rows before it stay.
TEST(DiagCsvFile, WriteErrorEndsTheRun)
{
    k64::test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    k64::test::SimProcess sim(k64::test::SimProgram(), {"--diag-interval-ms", "10"});
    ASSERT_TRUE(sim.Started());
    const k64::test::ProgramResult r =
        k64::test::RunProgram({"/bin/bash", "-c",
                               "trap '' XFSZ; ulimit -f 1; exec " + std::string(K64CTL_PATH) +
                                   " --port " + sim.PtyPath() + " diag --csv " + (dir / "x.csv")},
                              k64::test::EnvironmentWith(), std::chrono::seconds(20));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir / "x.csv" + " (файл слишком велик)"), std::string::npos) << r.err;
    std::ifstream in(dir / "x.csv", std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(text.size(), 1024u);
    EXPECT_NE(text.find("\r\n0."), std::string::npos);
}

// diag --csv x.csv | head -1: the run ends quietly when head has its line, with the rows
// received so far in the file and the port free for the next command.
TEST(DiagCsvFile, ReaderGoneEndsQuietly)
{
    k64::test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    k64::test::SimProcess sim(k64::test::SimProgram(), {"--diag-interval-ms", "10"});
    ASSERT_TRUE(sim.Started());
    const std::string ctl = std::string(K64CTL_PATH) + " --port " + sim.PtyPath();
    const k64::test::ProgramResult r = k64::test::RunProgram(
        {"/bin/bash", "-c",
         "set -o pipefail; " + ctl + " diag --csv " + (dir / "x.csv") + " | head -1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::ifstream in(dir / "x.csv", std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(text.rfind("time,tag,x,y,z,text\r\n", 0), 0u);
    EXPECT_NE(text.find("$AccD:"), std::string::npos) << text;
    EXPECT_EQ(k64::test::RunProgram({K64CTL_PATH, "--port", sim.PtyPath(), "id"}).status, 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, DiagCsv,
                         ::testing::Values(Ending{"Seconds", {"--seconds", "1.5"}, 0, 0},
                                           Ending{"CtrlC", {}, SIGINT, 0},
                                           Ending{"Killed", {}, SIGKILL, -1}),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                             return info.param.name;
                         });

}  // namespace
