#include "device/diagnostic_scanner.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace k64 {
namespace {

// A compact picture of the events: "X=12" for an axis, the line itself for a memo line.
std::vector<std::string> Describe(const std::vector<DiagnosticEvent>& events)
{
    std::vector<std::string> out;
    for (const auto& e : events) {
        if (e.kind == DiagnosticEvent::Kind::Axis) {
            out.push_back(std::string(1, "XYZ"[e.axis]) + "=" + std::to_string(e.value));
        } else {
            out.push_back(e.line);
        }
    }
    return out;
}

struct ScanCase {
    const char* name;
    std::string bytes;
    bool final;
    std::vector<std::string> events;
    std::size_t unfinished;
};

class ScanText : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanText, GivesEventsInArrivalOrder)
{
    const ScanCase& c = GetParam();
    const DiagnosticScan scan = ScanDiagnosticText(c.bytes, c.final);
    EXPECT_EQ(Describe(scan.events), c.events);
    EXPECT_EQ(scan.unfinished, c.unfinished);
}

using V = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Lines, ScanText,
    ::testing::Values(
        ScanCase{"TruncatesTowardZero", "$AccD:12.9,-3.7,0.2\r\n", false, V{"X=12", "Y=-3", "Z=0"},
                 0},
        ScanCase{"TabsAndCommaRuns", "$AccD:\t1,,\t,2\t3\n", false, V{"X=1", "Y=2", "Z=3"}, 0},
        ScanCase{"TwoValuesOnly", "$AccD:5,6\n$VS:12.1\n", false, V{"X=5", "Y=6", "$VS:12.1"}, 0},
        ScanCase{"ValuesStopAtLineEnd", "$AccD:5\n7,8\n", false, V{"X=5"}, 0},
        ScanCase{"NotANumberIsZero", "$AccD:abc,1x,-\n", false, V{"X=0", "Y=1", "Z=0"}, 0},
        ScanCase{"VoltageKeepsTag", "$VS:12.4V\r\n", false, V{"$VS:12.4V"}, 0},
        ScanCase{"SeveralLinesInOrder", "$AccD:1,2,3\r\n$VS:11.9\r\n$Can:0 1\r\n$AccE:hit\r\n",
                 false, V{"X=1", "Y=2", "Z=3", "$VS:11.9", "$Can:0 1", "$AccE:hit"}, 0},
        ScanCase{"DollarInsideLine", "$VS:1$Can:2\n", false, V{"$VS:1$Can:2", "$Can:2"}, 0},
        ScanCase{"UnknownAndJunkIgnored", "noise $Foo:1\n$VS\n$vs:1\n$AccD\n", false, V{}, 0},
        ScanCase{"TagsCaseSensitive", "$can:1\n$CAN:2\n", false, V{}, 0},
        ScanCase{"EmptyData", "", false, V{}, 0}, ScanCase{"EmptyDataFinal", "", true, V{}, 0},
        ScanCase{"UnfinishedLineKept", "$VS:1\n$Can:par", false, V{"$VS:1"}, 8},
        ScanCase{"UnfinishedTagKept", "$VS:1\r\n$Ac", false, V{"$VS:1"}, 3},
        ScanCase{"UnfinishedJunkDropped", "$VS:1\ntrailing", false, V{"$VS:1"}, 0},
        ScanCase{"FinalHandlesPartLine", "$VS:1\n$Can:par", true, V{"$VS:1", "$Can:par"}, 0},
        ScanCase{"FinalPartAxes", "$AccD:4,5", true, V{"X=4", "Y=5"}, 0},
        // A tag cut at the very end of the data must not be compared past it.
        ScanCase{"FinalCutTag", "$AccD", true, V{}, 0},
        ScanCase{"FinalLoneDollar", "$", true, V{}, 0},
        ScanCase{"FinalCutVoltageTag", "$VS", true, V{}, 0},
        ScanCase{"OverlongUnfinishedHandled", "$VS:" + std::string(600, '7'), false,
                 V{"$VS:" + std::string(600, '7')}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueCase {
    const char* text;
    std::int32_t value;
};

class Axis : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Axis, ConvertsLikeTheDisplay) { EXPECT_EQ(AxisValue(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Values, Axis,
    ::testing::Values(
        ValueCase{"12.9", 12}, ValueCase{"-3.7", -3}, ValueCase{"0.2", 0}, ValueCase{"-0.9", 0},
        ValueCase{"+7.5", 7}, ValueCase{"  42", 42}, ValueCase{"1e3", 1000}, ValueCase{"2.5E-1", 0},
        ValueCase{"0x10", 16}, ValueCase{"-0x1p4", -16}, ValueCase{"12abc", 12}, ValueCase{"", 0},
        ValueCase{"abc", 0}, ValueCase{"+-3", 0}, ValueCase{".5", 0}, ValueCase{"7.", 7},
        // Single precision first: 16777217 is not a float, 16777216 is.
        ValueCase{"16777217", 16777216},
        // Beyond the 32-bit range, infinities and NaN: clamped, never undefined.
        ValueCase{"3e9", INT32_MAX}, ValueCase{"-3e9", INT32_MIN}, ValueCase{"1e400", INT32_MAX},
        ValueCase{"-1e400", INT32_MIN}, ValueCase{"1e-400", 0}, ValueCase{"-1e-400", 0},
        ValueCase{"0.0000000000000000000000000000000000000000000000000000000000000"
                  "00000000000000000000000000000000000000000000000000000000000000"
                  "00000000000000000000000000000000000000000000000000000000000000"
                  "00000000000000000000000000000000000000000000000000000000000000"
                  "00000000000000000000000000000000000000000000000000000000000000"
                  "000000000000000000000000000000000000000000000000000001",
                  0},
        ValueCase{"inf", INT32_MAX}, ValueCase{"-infinity", INT32_MIN}, ValueCase{"nan", 0},
        ValueCase{"-nan", 0}));

// What the window sees tick by tick when the unit's lines are cut at arbitrary points.
struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> events;
};

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, JoinsLinesAcrossChunks)
{
    DiagnosticLineScanner scanner;
    std::vector<std::string> seen;
    for (const auto& chunk : GetParam().chunks) {
        for (auto& e : Describe(scanner.Feed(chunk)))
            seen.push_back(e);
    }
    EXPECT_EQ(seen, GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, Split,
    ::testing::Values(
        SplitCase{"LineCutInValue", {"$VS:12.", "4\r\n"}, {"$VS:12.4"}},
        SplitCase{"TagCut", {"$Ac", "cD:1,2,3\n"}, {"X=1", "Y=2", "Z=3"}},
        SplitCase{"EachByteAlone", {"$", "C", "a", "n", ":", "x", "\n"}, {"$Can:x"}},
        SplitCase{"EmptyTicksChangeNothing", {"", "$VS:1", "", "\n", ""}, {"$VS:1"}},
        SplitCase{"LineEndSplitBetweenCrLf", {"$VS:1\r", "\n$VS:2\r\n"}, {"$VS:1", "$VS:2"}},
        SplitCase{"JunkBetweenTicks", {"xx", "yy\n$VS:3\n"}, {"$VS:3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scanner, FlushHandlesWhatIsKeptAndForgetsIt)
{
    DiagnosticLineScanner scanner;
    EXPECT_TRUE(scanner.Feed("$Can:1 2").empty());
    EXPECT_EQ(Describe(scanner.Flush()), V{"$Can:1 2"});
    EXPECT_TRUE(scanner.Flush().empty());
}

TEST(Scanner, CarryStaysBounded)
{
    DiagnosticLineScanner scanner;
    std::size_t lines = 0;
    for (int i = 0; i < 100; ++i)
        lines += scanner.Feed("$VS:" + std::string(100, '1')).size();
    // Never ended, so it was handled in bounded pieces rather than kept whole.
    EXPECT_GT(lines, 0u);
    for (const auto& e : scanner.Flush())
        EXPECT_LE(e.line.size(), diagnostic::kMaxCarry + 100);
}

}  // namespace
}  // namespace k64
