// The simulator answering raw request frames over its terminal, compared byte for byte.
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace k64::test {
namespace {

using namespace std::chrono_literals;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bytes kReqId = EncodeFrame(10);
const Bytes kReqVersion = EncodeFrame(14);
// Serial number 0x12345678, as the simulators below are started.
const Bytes kIdReply = {0x0B, 0x00, 0x04, 0x00, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0};
const std::string kVersionText = "K64_r2\n000.013\nSep 01 2016";
const Bytes kVersionReply =
    Concat({{0x96, 0x00, 28, 0x00, 26, 0x00}, Text(kVersionText), {0, 0, 0, 0}});

std::vector<std::string> Concat2(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::string> BaseArgs() { return {"--id", "305419896", "--prepare-delay-ms", "0"}; }

// One opening of the line: write, read `expect` bytes, close.
Bytes Exchange(const SimProcess& sim, const Bytes& request, std::size_t expect)
{
    SimLine line(sim.PtyPath());
    EXPECT_TRUE(line.IsOpen());
    EXPECT_TRUE(line.Write(request));
    return line.Read(expect);
}

class SimRequests : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        settings_file_ = ::testing::TempDir() + "sim_requests_settings.txt";
        std::ofstream(settings_file_, std::ios::binary) << "Key=1\nPin=0000\n";
        auto args = BaseArgs();
        args.insert(args.end(), {"--settings-file", settings_file_});
        sim_ = new SimProcess(SimProgram(), args);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    static inline SimProcess* sim_ = nullptr;
    static inline std::string settings_file_;
};

struct ReplyCase {
    const char* name;
    Bytes request;
    Bytes reply;
};

TEST_F(SimRequests, EachReadRequestGetsItsReply)
{
    ASSERT_TRUE(sim_->Started());
    const ReplyCase cases[] = {
        {"id", kReqId, kIdReply},
        {"id with bit 15 set", EncodeFrame(0x800A), kIdReply},
        {"version", kReqVersion, kVersionReply},
        {"settings", EncodeFrame(200),
         Concat({{0xC9, 0x00, 16, 0x00}, Text("Key=1\nPin=0000\n"), {0, 0, 0, 0, 0}})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Exchange(*sim_, c.request, c.reply.size()), c.reply) << c.name;
    }
}

TEST_F(SimRequests, RequestsWithoutReplyLeaveTheLineClean)
{
    // Followed in the same opening by an id request, whose reply must be the first thing back.
    const struct {
        const char* name;
        Bytes request;
    } cases[] = {
        {"restart", EncodeFrame(15)},
        {"unknown code 12", EncodeFrame(12)},
        {"unknown code 197", EncodeFrame(197)},
        {"id set with 3 bytes", EncodeFrame(13, Bytes{1, 2, 3})},
        {"fragment without prepare", EncodeFrame(192, Bytes{0, 0, 0, 0, 1, 0, 0xAA})},
        {"fragment count not matching", EncodeFrame(192, Bytes{0, 0, 0, 0, 5, 0, 0xAA})},
        {"commit without transfer", EncodeFrame(190, Bytes{0, 0, 0, 0, 0, 0, 0, 0})},
        {"reply code sent as request", EncodeFrame(11, Bytes{1, 2, 3, 4})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Exchange(*sim_, Concat({c.request, kReqId}), kIdReply.size()), kIdReply)
            << c.name;
    }
}

TEST_F(SimRequests, FindsTheNextRequestAfterNoise)
{
    const struct {
        const char* name;
        Bytes noise;
    } cases[] = {
        {"text", Text("hello, unit\r\n")},
        {"all ones", Bytes(9, 0xFF)},
        {"known code announcing 65535 bytes", {0x0A, 0x00, 0xFF, 0xFF}},
        {"frame with a non-zero trailer", {0x0A, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
        {"half a header", {0x0E, 0x00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Exchange(*sim_, Concat({c.noise, kReqId}), kIdReply.size()), kIdReply) << c.name;
    }
}

TEST_F(SimRequests, PartialFrameIsForgottenWhenThePortCloses)
{
    {
        // The version reply shows the unit has read the bytes written with its request.
        SimLine line(sim_->PtyPath());
        ASSERT_TRUE(line.Write(Concat({kReqVersion, {0xC9, 0x00, 0x10, 0x00, 'a', 'b'}})));
        ASSERT_EQ(line.Read(kVersionReply.size()), kVersionReply);
    }
    EXPECT_EQ(Exchange(*sim_, kReqId, kIdReply.size()), kIdReply);
}

TEST(SimUnitIdentity, SetIdAnswersWithTheNewIdAndKeepsIt)
{
    SimProcess sim(SimProgram(), BaseArgs());
    ASSERT_TRUE(sim.Started());
    const Bytes reply = {0x0B, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x80, 0, 0, 0, 0};
    EXPECT_EQ(Exchange(sim, EncodeFrame(13, Bytes{0x05, 0x00, 0x00, 0x80}), reply.size()), reply);
    EXPECT_EQ(Exchange(sim, kReqId, reply.size()), reply);
}

TEST(SimUnitIdentity, WrittenSettingsAreEchoedAndReadBack)
{
    SimProcess sim(SimProgram(), BaseArgs());
    ASSERT_TRUE(sim.Started());
    const Bytes text = Concat({Text("Apn=internet\nTz=3\n"), {0}});
    const Bytes frame = EncodeFrame(201, text);
    EXPECT_EQ(Exchange(sim, frame, frame.size()), frame);
    EXPECT_EQ(Exchange(sim, EncodeFrame(200), frame.size()), frame);
}

// Faults on demand, one simulator each.
struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    Bytes request;
    Bytes reply;  // the first bytes back after `request` followed by a version request
};

class SimFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimFaults, AnswerAsAsked)
{
    const FaultCase& c = GetParam();
    auto args = BaseArgs();
    args.insert(args.end(), c.args.begin(), c.args.end());
    SimProcess sim(SimProgram(), args);
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(Exchange(sim, Concat({c.request, kReqVersion}), c.reply.size()), c.reply);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimFaults,
    ::testing::Values(
        FaultCase{"no_reply", {"--no-reply", "10"}, kReqId, kVersionReply},
        FaultCase{"wrong_reply_to_version",
                  {"--wrong-reply", "14"},
                  kReqId,
                  Concat({kIdReply, kIdReply})},
        FaultCase{"wrong_reply_to_id",
                  {"--wrong-reply", "10"},
                  kReqId,
                  Concat({kVersionReply, kVersionReply})},
        FaultCase{"malformed_id",
                  {"--malformed-reply", "10"},
                  kReqId,
                  Concat({{0x0B, 0x00, 0x05, 0x00, 0x78, 0x56, 0x34, 0x12, 0x00, 0, 0, 0, 0},
                          kVersionReply})},
        FaultCase{
            "malformed_version",
            {"--malformed-reply=14"},
            kReqId,
            Concat({kIdReply, {0x96, 0x00, 28, 0x00, 27, 0x00}, Text(kVersionText), {0, 0, 0, 0}})},
        FaultCase{"malformed_settings",
                  {"--malformed-reply", "200"},
                  EncodeFrame(200),
                  Concat({{0xC9, 0x00, 0x00, 0x00, 0, 0, 0, 0}, kVersionReply})},
        FaultCase{
            "delay_keeps_order", {"--delay", "10:200"}, kReqId, Concat({kIdReply, kVersionReply})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimSessions, LateReplyDoesNotLeakIntoTheNextOpening)
{
    SimProcess sim(SimProgram(), Concat2(BaseArgs(), {"--delay", "10:300"}));
    ASSERT_TRUE(sim.Started());
    {
        // The version reply shows the unit has read the id request written with it; the id
        // reply is still waiting when the line closes.
        SimLine line(sim.PtyPath());
        ASSERT_TRUE(line.Write(Concat({kReqVersion, kReqId})));
        ASSERT_EQ(line.Read(kVersionReply.size()), kVersionReply);
    }
    // Replies keep their order, so a surviving id reply would come first.
    EXPECT_EQ(Exchange(sim, kReqVersion, kVersionReply.size()), kVersionReply);
}

TEST(SimSessions, HangupAfterTheNthFrame)
{
    SimProcess sim(SimProgram(), Concat2(BaseArgs(), {"--hangup-after", "2"}));
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(Exchange(sim, kReqId, kIdReply.size()), kIdReply);
    SimLine line(sim.PtyPath());
    ASSERT_TRUE(line.Write(kReqId));
    EXPECT_TRUE(line.WaitHangup(5s));
    EXPECT_EQ(sim.WaitExit(10s), 0);
}

// Splits a diagnostic burst into lines ended by CR LF; the unfinished tail is left out.
std::vector<std::string> Lines(const Bytes& bytes)
{
    std::vector<std::string> lines;
    std::string text(bytes.begin(), bytes.end());
    for (std::size_t end; (end = text.find("\r\n")) != std::string::npos; text.erase(0, end + 2)) {
        lines.push_back(text.substr(0, end));
    }
    return lines;
}

bool ThreeNumbers(const std::string& values)
{
    const char* p = values.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        std::strtod(p, &end);
        if (end == p)
            return false;
        p = end;
        if (i < 2 && *p++ != ',')
            return false;
    }
    return *p == '\0';
}

TEST(SimDiagnostics, StreamsAllFourLineKindsUntilThePortCloses)
{
    SimProcess sim(SimProgram(), Concat2(BaseArgs(), {"--diag-interval-ms", "20"}));
    ASSERT_TRUE(sim.Started());
    {
        SimLine line(sim.PtyPath());
        ASSERT_TRUE(line.Write(EncodeFrame(100)));
        std::set<std::string> seen;
        const Bytes stream = line.ReadUntil(
            [&](const Bytes& b) {
                seen.clear();
                for (const auto& l : Lines(b))
                    seen.insert(l.substr(0, l.find(':') + 1));
                return seen.size() >= 4;
            },
            10s);
        EXPECT_EQ(seen, (std::set<std::string>{"$AccD:", "$AccE:", "$VS:", "$Can:"}));
        for (const auto& l : Lines(stream)) {
            if (l.starts_with("$AccD:")) {
                EXPECT_TRUE(ThreeNumbers(l.substr(6))) << l;
            }
        }
    }
    // Closing ends the stream: the next opening gets its replies and no further text. (Text sent
    // just before the close may still reach an opener that reads at once, as on a pty.)
    SimLine line(sim.PtyPath());
    ASSERT_TRUE(line.Write(kReqId));
    const Bytes first = line.ReadUntil(
        [](const Bytes& b) {
            return b.size() >= kIdReply.size() &&
                   std::equal(kIdReply.rbegin(), kIdReply.rend(), b.rbegin());
        },
        10s);
    ASSERT_GE(first.size(), kIdReply.size());
    ASSERT_TRUE(line.Write(kReqVersion));
    EXPECT_EQ(line.Read(kVersionReply.size()), kVersionReply);
}

}  // namespace
}  // namespace k64::test
