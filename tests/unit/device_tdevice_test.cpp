// The device object against a scripted unit on real pseudo-terminals. Reply time-outs run on a
// clock 50 times faster than real time, so a 4 s wait costs 80 ms here.

#include "device/device.h"
#include "support/memory_ports.h"
#include "support/observing_sleeper.h"
#include "support/pty_pair.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <memory>
#include <thread>

namespace {

using namespace k64;
using k64::test::Bytes;
using k64::test::EncodeFrame;
using k64::test::Frame;
using k64::test::ListPortCatalog;
using k64::test::MemoryPortStore;
using k64::test::ModelUnit;
using k64::test::ObservingSleeper;
using k64::test::PtyPair;
using k64::test::RecordingMessages;
using k64::test::ScaledClock;
using k64::test::ScriptedUnit;
using k64::test::TextPayload;
using k64::test::U32Payload;
using k64::test::UnitReply;
using std::chrono::milliseconds;

// A clock that stands still: only a hang-up can end a wait measured on it.
class FrozenClock final : public WaitClock {
public:
    TimePoint Now() const override { return TimePoint{}; }
    milliseconds RealSpan(milliseconds span) const override { return span; }
};

Bytes Zstr(const std::string& s)
{
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kUntouched = "untouched";

struct Request {
    std::uint16_t code;
    Bytes payload;
};

struct Op {
    const char* name;
    // Runs the operation; `out` renders its output, left as kUntouched when none was written.
    std::function<int(TDevice&, std::string* out)> call;
    Request request;
    Bytes goodReply;
    std::string goodOutput;
    Bytes wrongCodeReply;
    Bytes malformedReply;
    milliseconds timeout;
};

Bytes Block()
{
    Bytes b(1024);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    return b;
}

const Op kOps[] = {
    {"ReadSettings",
     [](TDevice& d, std::string* out) { return d.ReadSettings(out); },
     {200, {}},
     EncodeFrame(201, Zstr("a=1\nb=2\n")),
     "a=1\nb=2\n",
     EncodeFrame(11, U32Payload(1)),
     EncodeFrame(12, {}),
     milliseconds(4000)},
    {"WriteSettings",
     [](TDevice& d, std::string*) { return d.WriteSettings("b=2\n"); },
     {201, Zstr("b=2\n")},
     EncodeFrame(201, Zstr("")),
     kUntouched,
     EncodeFrame(193),
     EncodeFrame(0x7FFF),
     milliseconds(4000)},
    {"GetId",
     [](TDevice& d, std::string* out) {
         std::uint32_t id = 0xDEADBEEF;
         const int r = d.GetId(&id);
         if (id != 0xDEADBEEF)
             *out = std::to_string(id);
         return r;
     },
     {10, {}},
     EncodeFrame(11, {0x0D, 0x0C, 0x0B, 0x0A}),
     "168496141",
     EncodeFrame(201, Zstr("x")),
     EncodeFrame(11, {1, 2, 3, 4, 5}),
     milliseconds(4000)},
    {"SetId",
     [](TDevice& d, std::string*) { return d.SetId(77); },
     {13, U32Payload(77)},
     EncodeFrame(11, U32Payload(77)),
     kUntouched,
     EncodeFrame(194),
     EncodeFrame(11, {1, 2, 3}),
     milliseconds(4000)},
    {"GetVersion",
     [](TDevice& d, std::string* out) { return d.GetVersion(out); },
     {14, {}},
     EncodeFrame(150, TextPayload("K64_r2\n000.014\nSep 29 2016")),
     "K64_r2\n000.014\nSep 29 2016",
     EncodeFrame(201, Zstr("K64")),
     EncodeFrame(150, {5, 0, 'K', '6'}),
     milliseconds(4000)},
    {"BeginFirmwareUpdate",
     [](TDevice& d, std::string*) { return d.BeginFirmwareUpdate(); },
     {195, {}},
     EncodeFrame(194),
     kUntouched,
     EncodeFrame(191),
     EncodeFrame(197),
     milliseconds(10000)},
    {"BeginWaveUpdate",
     [](TDevice& d, std::string*) { return d.BeginWaveUpdate(); },
     {196, {}},
     EncodeFrame(0x80C2),  // the flag is not looked at
     kUntouched,
     EncodeFrame(193),
     EncodeFrame(12, {1}),
     milliseconds(20000)},
    {"SendDataFragment",
     [](TDevice& d, std::string*) {
         const Bytes block = Block();
         return d.SendDataFragment(block.data(), 2048, 1024);
     },
     {192, Cat(Cat(U32Payload(2048), {0x00, 0x04}), Block())},
     EncodeFrame(193),
     kUntouched,
     EncodeFrame(191),
     EncodeFrame(3),
     milliseconds(4000)},
    {"CommitUpdate",
     [](TDevice& d, std::string*) { return d.CommitUpdate(0x11223344, 1000); },
     {190, {0xE8, 0x03, 0, 0, 0x44, 0x33, 0x22, 0x11}},
     EncodeFrame(191),
     kUntouched,
     EncodeFrame(194),
     EncodeFrame(0),
     milliseconds(4000)},
};

enum class Scenario { kSuccess, kPortMissing, kNoReply, kPartialReply, kWrongCode, kMalformed };

const char* ScenarioName(Scenario s)
{
    switch (s) {
    case Scenario::kSuccess: return "Success";
    case Scenario::kPortMissing: return "PortMissing";
    case Scenario::kNoReply: return "NoReply";
    case Scenario::kPartialReply: return "PartialReply";
    case Scenario::kWrongCode: return "WrongCode";
    case Scenario::kMalformed: return "Malformed";
    }
    return "";
}

class Exchange : public testing::TestWithParam<std::tuple<Op, Scenario>> {};

TEST_P(Exchange, ResultOutputAndWire)
{
    const Op& op = std::get<0>(GetParam());
    const Scenario scenario = std::get<1>(GetParam());
    PtyPair pty;
    Bytes reply;
    int expected = kOk;
    switch (scenario) {
    case Scenario::kSuccess: reply = op.goodReply; break;
    case Scenario::kPortMissing: expected = kPortNotOpened; break;
    case Scenario::kNoReply: expected = kNoReply; break;
    case Scenario::kPartialReply:
        reply = Bytes(op.goodReply.begin(), op.goodReply.end() - 2);
        expected = kNoReply;
        break;
    case Scenario::kWrongCode:
        reply = op.wrongCodeReply;
        expected = kBadReply;
        break;
    case Scenario::kMalformed:
        reply = op.malformedReply;
        expected = kBadReply;
        break;
    }
    ScriptedUnit unit(pty, [&](const Frame&) { return UnitReply{reply}; });
    MemoryPortStore store(scenario == Scenario::kPortMissing ? "/dev/k64-no-such-port"
                                                             : pty.SlavePath());
    ListPortCatalog catalog;
    ScaledClock clock(50);
    TDevice device(store, catalog, clock);
    milliseconds timeoutDuringWait{0};
    ObservingSleeper sleeper([&] { timeoutDuringWait = device.ReplyTimeout(); });
    device.Port().SetSleeper(&sleeper);

    std::string out = kUntouched;
    const auto start = clock.Now();
    EXPECT_EQ(op.call(device, &out), expected);
    const auto elapsed = clock.Now() - start;

    EXPECT_EQ(out, expected == kOk ? op.goodOutput : kUntouched);
    EXPECT_EQ(device.ReplyTimeout(), milliseconds(4000));
    EXPECT_FALSE(device.Port().IsOpen());
    EXPECT_FALSE(device.Busy());
    if (scenario == Scenario::kPortMissing) {
        std::this_thread::sleep_for(milliseconds(20));
        EXPECT_TRUE(unit.Frames().empty());
        return;
    }
    ASSERT_TRUE(unit.WaitFrames(1, milliseconds(2000)));
    const auto frames = unit.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, op.request.code);
    EXPECT_FALSE(frames[0].flag);
    EXPECT_EQ(frames[0].payload, op.request.payload);
    if (expected == kNoReply) {
        EXPECT_EQ(timeoutDuringWait, op.timeout);
        EXPECT_GE(elapsed, op.timeout);
    }
}

INSTANTIATE_TEST_SUITE_P(
    TDevice, Exchange,
    testing::Combine(testing::ValuesIn(kOps),
                     testing::Values(Scenario::kSuccess, Scenario::kPortMissing, Scenario::kNoReply,
                                     Scenario::kPartialReply, Scenario::kWrongCode,
                                     Scenario::kMalformed)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               ScenarioName(std::get<1>(info.param));
    });

// The device on a pty: reply waits at 50 times real speed, or on a clock that stands still.
struct Rig {
    enum Waits { kFast, kFrozen };
    explicit Rig(Waits waits = kFast)
        : device(store, catalog, waits == kFrozen ? static_cast<const WaitClock&>(frozen) : fast)
    {
    }
    PtyPair pty;
    MemoryPortStore store{pty.SlavePath()};
    ListPortCatalog catalog;
    ScaledClock fast{50};
    FrozenClock frozen;
    TDevice device;
};

TEST(TDevice, NestedExchangeIsRefusedWithoutTouchingThePort)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame&) {
        return UnitReply{EncodeFrame(11, U32Payload(5)), milliseconds(40)};
    });
    int nested = 0;
    bool busySeen = false;
    ObservingSleeper sleeper([&] {
        busySeen = rig.device.Busy();
        std::uint32_t id = 0;
        nested = rig.device.GetId(&id);
        rig.device.ClosePort();  // must not pull the port from under the waiting exchange
    });
    rig.device.Port().SetSleeper(&sleeper);
    std::uint32_t id = 0;
    EXPECT_EQ(rig.device.GetId(&id), kOk);
    EXPECT_EQ(id, 5u);
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(nested, kPortNotOpened);
    EXPECT_FALSE(rig.device.Busy());
    EXPECT_EQ(unit.Frames().size(), 1u);
}

TEST(TDevice, LateReplyIsNotTakenByTheNextExchange)
{
    Rig rig;
    int requests = 0;
    ScriptedUnit unit(rig.pty, [&](const Frame&) {
        ++requests;
        if (requests == 1)  // well after the 4 s (80 ms real) wait gave up
            return UnitReply{EncodeFrame(11, U32Payload(111)), milliseconds(300)};
        return UnitReply{EncodeFrame(11, U32Payload(222))};
    });
    std::uint32_t id = 0;
    EXPECT_EQ(rig.device.GetId(&id), kNoReply);
    std::this_thread::sleep_for(milliseconds(500));  // the late reply is on the line by now
    EXPECT_EQ(rig.device.GetId(&id), kOk);
    EXPECT_EQ(id, 222u);
}

// Runs `body` with a watchdog: a wait that a hang-up fails to end would otherwise never end.
template <typename Body>
int WithinWatchdog(Body body)
{
    auto result = std::async(std::launch::async, body);
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "wait not ended by the hang-up";
        std::abort();
    }
    return result.get();
}

TEST(TDevice, UnplugMidWaitFailsAtOnce)
{
    Rig rig(Rig::kFrozen);
    ScriptedUnit unit(rig.pty, [](const Frame&) {
        return UnitReply{{0x0B, 0x00, 0x04}, milliseconds(30), true};
    });
    std::uint32_t id = 7;
    EXPECT_EQ(WithinWatchdog([&] { return rig.device.GetId(&id); }), kNoReply);
    EXPECT_EQ(id, 7u);
    EXPECT_FALSE(rig.device.Port().IsOpen());
}

TEST(TDevice, StalledTransmitWindowEndsTheSend)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame&) { return UnitReply{EncodeFrame(201, Zstr(""))}; });
    rig.device.Port().SetOutQueueCounter([] { return 64u; });  // window never frees up
    EXPECT_EQ(rig.device.WriteSettings("a=1\n"), kPortNotOpened);
    EXPECT_FALSE(rig.device.Port().IsOpen());
    EXPECT_FALSE(rig.device.Busy());
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_TRUE(unit.Frames().empty());
}

TEST(TDevice, HangUpWhileTheWindowIsFullEndsTheSendAtOnce)
{
    Rig rig(Rig::kFrozen);
    rig.device.Port().SetOutQueueCounter([] { return 64u; });
    std::thread unplug([&] {
        std::this_thread::sleep_for(milliseconds(50));
        rig.pty.CloseMaster();
    });
    EXPECT_EQ(WithinWatchdog([&] { return rig.device.WriteSettings(std::string(500, 'x')); }),
              kPortNotOpened);
    unplug.join();
    EXPECT_FALSE(rig.device.Port().IsOpen());
}

TEST(TDevice, SlowWindowStillCarriesTheWholeFrame)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame&) { return UnitReply{EncodeFrame(193)}; });
    // The queue seems to hold 60 bytes, then 20, then is empty, in turn: pieces of 4, 44, 64.
    unsigned turn = 0;
    rig.device.Port().SetOutQueueCounter([&turn] {
        static constexpr unsigned kQueued[] = {60, 20, 0};
        return kQueued[turn++ % 3];
    });
    const Bytes block = Block();
    EXPECT_EQ(rig.device.SendDataFragment(block.data(), 0, 1024), kOk);
    ASSERT_EQ(unit.Frames().size(), 1u);
    EXPECT_EQ(unit.Frames()[0].payload, Cat(Cat(U32Payload(0), {0x00, 0x04}), block));
}

TEST(TDevice, DiagnosticModeKeepsThePortOpenForTheText)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame&) {
        return UnitReply{Bytes{'$', 'V', 'S', ':', '1', '\n'}};
    });
    EXPECT_EQ(rig.device.EnableDiagnosticMode(), 0);
    EXPECT_TRUE(rig.device.Port().IsOpen());
    ASSERT_TRUE(unit.WaitFrames(1, milliseconds(2000)));
    EXPECT_EQ(unit.Frames()[0].code, 100);
    char text[6] = {};
    EXPECT_EQ(rig.device.InputStream().Read(text, 6), 6);
    EXPECT_EQ(std::string(text, 6), "$VS:1\n");
    rig.device.ClosePort();
    EXPECT_FALSE(rig.device.Port().IsOpen());
    EXPECT_EQ(rig.device.InputStream().Read(text, 1), -1);

    rig.device.SetPortName("/dev/k64-no-such-port");
    EXPECT_EQ(rig.device.EnableDiagnosticMode(), kPortNotOpened);
}

TEST(TDevice, RestartSendsAndCloses)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame&) { return UnitReply{}; });
    EXPECT_EQ(rig.device.Restart(), kOk);
    EXPECT_FALSE(rig.device.Port().IsOpen());
    ASSERT_TRUE(unit.WaitFrames(1, milliseconds(2000)));
    EXPECT_EQ(unit.Frames()[0].code, 15);
    EXPECT_TRUE(unit.Frames()[0].payload.empty());

    rig.device.SetPortName("/dev/k64-no-such-port");
    EXPECT_EQ(rig.device.Restart(), kPortNotOpened);
}

TEST(TDevice, ExchangeOnAnOpenPortUsesItAndClosesIt)
{
    Rig rig;
    ScriptedUnit unit(rig.pty, [](const Frame& f) {
        return f.code == 100 ? UnitReply{} : UnitReply{EncodeFrame(11, U32Payload(9))};
    });
    ASSERT_EQ(rig.device.EnableDiagnosticMode(), 0);
    ASSERT_TRUE(unit.WaitFrames(1, milliseconds(2000)));
    std::uint32_t id = 0;
    EXPECT_EQ(rig.device.GetId(&id), kOk);
    EXPECT_EQ(id, 9u);
    EXPECT_FALSE(rig.device.Port().IsOpen());
}

// ParseVersion: three lines into three bounded fields.
struct VersionCase {
    const char* name;
    std::string text;
    std::string type, version, date;
};

const VersionCase kVersions[] = {
    {"Normal", "K64_r2\n000.014\nSep 29 2016", "K64_r2", "000.014", "Sep 29 2016"},
    {"Empty", "", "", "", ""},
    {"TypeOnly", "K64", "K64", "", ""},
    {"NoDate", "A\nB", "A", "B", ""},
    {"EmptyParts", "\n\n", "", "", ""},
    {"DateKeepsFurtherLines", "A\nB\nC\nD", "A", "B", "C\nD"},
    {"LongType", std::string(60, 't') + "\nv\nd", std::string(47, 't'), "v", "d"},
    {"LongVersion", "t\n" + std::string(20, 'v') + "\nd", "t", std::string(15, 'v'), "d"},
    {"LongDate", "t\nv\n" + std::string(40, 'd'), "t", "v", std::string(31, 'd')},
    {"StopsAtZero", std::string("A\0B\nC\nD", 7), "A", "", ""},
};

class Version : public testing::TestWithParam<VersionCase> {};

TEST_P(Version, SplitsAndBounds)
{
    MemoryPortStore store;
    ListPortCatalog catalog;
    TDevice device(store, catalog);
    VersionInfo info;
    std::memset(&info, 0x7F, sizeof info);
    device.ParseVersion(&info, GetParam().text);
    EXPECT_EQ(std::string(info.Type), GetParam().type);
    EXPECT_EQ(std::string(info.Version), GetParam().version);
    EXPECT_EQ(std::string(info.BuildDate), GetParam().date);
    // Everything after each text is zero, up to the end of its field.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
    for (std::size_t i = GetParam().type.size(); i < 48; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    for (std::size_t i = 48 + GetParam().version.size(); i < 64; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    for (std::size_t i = 64 + GetParam().date.size(); i < 96; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(TDevice, Version, testing::ValuesIn(kVersions),
                         [](const auto& info) { return std::string(info.param.name); });

// Port discovery over several ptys.
TEST(FindPort, ReportsAndStoresTheFirstUnit)
{
    PtyPair silent, first, other, second;
    ScriptedUnit quiet(silent, [](const Frame&) { return UnitReply{}; });
    // "К64" with a Cyrillic first letter, as the unit sends it in Windows-1251.
    ScriptedUnit unitA(first, ModelUnit(4242, {"\xCA"
                                               "64_r2",
                                               "000.014", "Sep 29 2016"}));
    ScriptedUnit badVersion(other, [](const Frame& f) {
        return f.code == 10 ? UnitReply{EncodeFrame(11, U32Payload(1))}
                            : UnitReply{EncodeFrame(150, {9, 0, 'x'})};
    });
    ScriptedUnit unitB(second, ModelUnit(1, {"K64_r0", "1", "2"}));

    MemoryPortStore store("/dev/previous");
    ListPortCatalog catalog;
    catalog.names = {"/dev/k64-no-such-port", "/dev/null",       silent.SlavePath(),
                     other.SlavePath(),       first.SlavePath(), second.SlavePath()};
    ScaledClock clock(50);
    TDevice device(store, catalog, clock);
    RecordingMessages owner;
    EXPECT_TRUE(device.FindPort(&owner));

    EXPECT_EQ(store.name, first.SlavePath());
    EXPECT_EQ(store.saves, std::vector<std::string>{first.SlavePath()});
    EXPECT_EQ(device.PortName(), first.SlavePath());
    ASSERT_EQ(owner.shown.size(), 1u);
    EXPECT_EQ(owner.shown[0].caption, "Устройство найдено");
    EXPECT_EQ(owner.shown[0].text,
              "Порт:\t" + first.SlavePath() + "\nТип:\tК64_r2\nВерсия:\t000.014\nНомер:\t4242\n");
    EXPECT_EQ(owner.shown[0].buttons, MessageButtons::Ok);
    // The silent port cost one request (its time-out); the scan went on.
    EXPECT_EQ(quiet.Frames().size(), 1u);
    EXPECT_EQ(badVersion.Frames().size(), 2u);  // answered the id, not the version
    EXPECT_TRUE(unitB.Frames().empty());
}

TEST(FindPort, NothingFoundLeavesTheStoredNameAlone)
{
    PtyPair silent;
    ScriptedUnit quiet(silent, [](const Frame&) { return UnitReply{}; });
    MemoryPortStore store("/dev/previous");
    ListPortCatalog catalog;
    catalog.names = {silent.SlavePath(), "/dev/k64-no-such-port"};
    ScaledClock clock(50);
    TDevice device(store, catalog, clock);
    RecordingMessages owner;
    EXPECT_FALSE(device.FindPort(&owner));
    EXPECT_EQ(store.name, "/dev/previous");
    EXPECT_TRUE(store.saves.empty());
    EXPECT_EQ(device.PortName(), "/dev/previous");
    ASSERT_EQ(owner.shown.size(), 1u);
    EXPECT_EQ(owner.shown[0].text, "Устройство не найдено");
    EXPECT_EQ(owner.shown[0].caption, "Внимание");
}

TEST(FindPort, BusyPortIsSkipped)
{
    PtyPair taken, free;
    ScriptedUnit unitA(taken, ModelUnit(1, {"A", "B", "C"}));
    ScriptedUnit unitB(free, ModelUnit(2, {"A", "B", "C"}));
    quon::io::VCOM_Port other(taken.SlavePath());
    ASSERT_TRUE(other.Open());  // another program holds it
    MemoryPortStore store;
    ListPortCatalog catalog;
    catalog.names = {taken.SlavePath(), free.SlavePath()};
    TDevice device(store, catalog);
    RecordingMessages owner;
    EXPECT_TRUE(device.FindPort(&owner));
    EXPECT_EQ(store.name, free.SlavePath());
    EXPECT_TRUE(unitA.Frames().empty());
}

}  // namespace
