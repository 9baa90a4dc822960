// The simulator's command line.
#include "sim/options.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace k64::sim {
namespace {

using Args = std::vector<std::string>;
using namespace std::chrono_literals;

TEST(SimOptions, RefusedCommandLines)
{
    const Args cases[] = {
        {"--bogus"},
        {"--link"},
        {"--id", "-1"},
        {"--id", "4294967296"},
        {"--id", "12x"},
        {"--no-reply", "32768"},
        {"--delay", "14"},
        {"--delay", "x:5"},
        {"--delay", "14:-5"},
        {"--drop-ack", "0"},
        {"--hangup-after", "0"},
        {"--reject-commit=1"},
        {"--version", "0123456789abcdef"},  // 16 bytes: no room for the zero
        {"--type", std::string(48, 't')},
        {"--diag-interval-ms", "5"},
        {"--baud", "299"},
        {"--baud", "4000001"},
        {"--baud", "96OO"},
        {"--diag-flood", "1e6"},
    };
    for (const auto& args : cases) {
        EXPECT_FALSE(ParseOptions(args).error.empty())
            << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

TEST(SimOptions, AcceptedValues)
{
    const Args args = {"--id=4294967295",
                       "--version",
                       "012345678901234",
                       "--delay=14:1500",
                       "--delay",
                       "200:0",
                       "--no-reply",
                       "10",
                       "--no-reply",
                       "200",
                       "--drop-ack",
                       "3",
                       "--hangup-after",
                       "5",
                       "--reject-commit",
                       "--prepare-delay-ms",
                       "0",
                       "--diag-flood",
                       "1000000",
                       "--baud=9600"};
    const ParseResult r = ParseOptions(args);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.seed.id, 4294967295u);
    EXPECT_EQ(r.options.seed.firmware.version, "012345678901234");
    EXPECT_EQ(r.options.faults.delay,
              (std::map<std::uint16_t, std::chrono::milliseconds>{{14, 1500ms}, {200, 0ms}}));
    EXPECT_EQ(r.options.faults.noReply, (std::set<std::uint16_t>{10, 200}));
    EXPECT_EQ(r.options.faults.dropAck, (std::set<std::uint64_t>{3}));
    EXPECT_EQ(r.options.hangupAfter, 5u);
    EXPECT_TRUE(r.options.faults.rejectCommit);
    EXPECT_EQ(r.options.prepareDelay, std::chrono::milliseconds(0));
    EXPECT_EQ(r.options.baud, 9600u);
    EXPECT_EQ(r.options.diagnosticFlood, 1'000'000u);
}

TEST(SimOptions, HelpNamesEveryOption)
{
    const std::string usage = Usage("k64-sim");
    for (const char* name : {"--link",
                             "--state",
                             "--trace",
                             "--help",
                             "--id",
                             "--type",
                             "--version",
                             "--build-date",
                             "--settings-file",
                             "--prepare-delay-ms",
                             "--diag-interval-ms",
                             "--diag-flood",
                             "--no-reply",
                             "--wrong-reply",
                             "--malformed-reply",
                             "--delay",
                             "--drop-ack",
                             "--reject-commit",
                             "--hangup-after",
                             "--baud"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
    for (const char* help : {"--help", "-h"})
        EXPECT_TRUE(ParseOptions(Args{help}).options.help) << help;
}

// Last and without a value, --version asks for the program's version; with one it is the unit's.
TEST(SimOptions, VersionOptionWithAndWithoutValue)
{
    EXPECT_TRUE(ParseOptions(Args{"--id", "5", "--version"}).options.showVersion);
    const ParseResult r = ParseOptions(Args{"--version", "000.014", "--id", "5"});
    EXPECT_FALSE(r.options.showVersion);
    EXPECT_EQ(r.options.seed.firmware.version, "000.014");
}

}  // namespace
}  // namespace k64::sim
