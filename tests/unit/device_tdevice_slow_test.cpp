// The product's real reply time-outs, on the steady clock: these take 4, 10 and 20 s each.

#include "device/device.h"
#include "support/memory_ports.h"
#include "support/observing_sleeper.h"
#include "support/pty_pair.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

namespace {

using namespace k64;
using k64::test::Frame;
using k64::test::ListPortCatalog;
using k64::test::MemoryPortStore;
using k64::test::PtyPair;
using k64::test::ScriptedUnit;
using k64::test::UnitReply;
using std::chrono::milliseconds;

struct SlowCase {
    const char* name;
    std::function<int(TDevice&)> call;
    milliseconds timeout;
};

const SlowCase kSlow[] = {
    {"GetId",
     [](TDevice& d) {
         std::uint32_t id;
         return d.GetId(&id);
     },
     milliseconds(4000)},
    {"BeginFirmwareUpdate", [](TDevice& d) { return d.BeginFirmwareUpdate(); },
     milliseconds(10000)},
    {"BeginWaveUpdate", [](TDevice& d) { return d.BeginWaveUpdate(); }, milliseconds(20000)},
};

class RealTimeout : public testing::TestWithParam<SlowCase> {};

TEST_P(RealTimeout, WaitsItsTimeThenRestoresTheDefault)
{
    PtyPair pty;
    ScriptedUnit silent(pty, [](const Frame&) { return UnitReply{}; });
    MemoryPortStore store(pty.SlavePath());
    ListPortCatalog catalog;
    TDevice device(store, catalog);
    milliseconds during{0};
    k64::test::ObservingSleeper sleeper([&] { during = device.ReplyTimeout(); });
    device.Port().SetSleeper(&sleeper);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetParam().call(device), kNoReply);
    EXPECT_GE(std::chrono::steady_clock::now() - start, GetParam().timeout);
    EXPECT_EQ(during, GetParam().timeout);
    EXPECT_EQ(device.ReplyTimeout(), milliseconds(4000));
}

INSTANTIATE_TEST_SUITE_P(TDevice, RealTimeout, testing::ValuesIn(kSlow),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindPortSlow, SilentPortCostsOneTimeoutThenTheScanGoesOn)
{
    PtyPair silentPty, unitPty;
    ScriptedUnit silent(silentPty, [](const Frame&) { return UnitReply{}; });
    ScriptedUnit unit(unitPty, k64::test::ModelUnit(77, {"K64_r0", "000.014", "Sep 29 2016"}));
    MemoryPortStore store;
    ListPortCatalog catalog;
    catalog.names = {silentPty.SlavePath(), unitPty.SlavePath()};
    TDevice device(store, catalog);
    k64::test::RecordingMessages owner;
    EXPECT_TRUE(device.FindPort(&owner));
    EXPECT_EQ(store.name, unitPty.SlavePath());
    EXPECT_EQ(silent.Frames().size(), 1u);
    ASSERT_EQ(owner.shown.size(), 1u);
    EXPECT_EQ(owner.shown[0].text,
              "Порт:\t" + unitPty.SlavePath() + "\nТип:\tK64_r0\nВерсия:\t000.014\nНомер:\t77\n");
}

}  // namespace
