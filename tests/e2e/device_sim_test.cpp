// The device object against the simulated unit (k64-sim, its own independent frame code).

#include "device/crc32.h"
#include "device/device.h"
#include "support/memory_ports.h"
#include "support/pty_pair.h"
#include "support/recording_messages.h"
#include "support/sim_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>

#ifdef K64_SIM_PATH

namespace {

using namespace k64;
using k64::test::ListPortCatalog;
using k64::test::MemoryPortStore;
using k64::test::SimProcess;
using std::chrono::milliseconds;

using Sim = k64::test::SimDevice;

TEST(DeviceOnSim, IdentifiesTheUnit)
{
    Sim sim({"--id", "123456", "--type", "K64_r2", "--version", "000.014", "--build-date",
             "Sep 29 2016"});
    ASSERT_TRUE(sim.process.Started());
    std::uint32_t id = 0;
    ASSERT_EQ(sim.device.GetId(&id), kOk);
    EXPECT_EQ(id, 123456u);
    std::string text;
    ASSERT_EQ(sim.device.GetVersion(&text), kOk);
    VersionInfo info;
    sim.device.ParseVersion(&info, text);
    EXPECT_STREQ(info.Type, "K64_r2");
    EXPECT_STREQ(info.Version, "000.014");
    EXPECT_STREQ(info.BuildDate, "Sep 29 2016");
    EXPECT_EQ(sim.device.SetId(777), kOk);
    ASSERT_EQ(sim.device.GetId(&id), kOk);
    EXPECT_EQ(id, 777u);
}

TEST(DeviceOnSim, SettingsRoundTripAcrossWindows)
{
    Sim sim;
    ASSERT_TRUE(sim.process.Started());
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "key" + std::to_string(i) + "=" + std::to_string(i * 37) + "\n";
    ASSERT_GT(text.size(), 256u);  // several transmit windows
    ASSERT_EQ(sim.device.WriteSettings(text), kOk);
    std::string back;
    ASSERT_EQ(sim.device.ReadSettings(&back), kOk);
    EXPECT_EQ(back, text);
}

TEST(DeviceOnSim, FirmwareTransferCommitsWithCrcAndSize)
{
    Sim sim;
    ASSERT_TRUE(sim.process.Started());
    // Image: an eight-byte head of 0xFF, then a body carrying its version record at 256.
    std::vector<std::uint8_t> body(3000);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i * 31 + 7);
    VersionInfo record{};
    std::strcpy(record.Type, "K64_r2");
    std::strcpy(record.Version, "000.020");
    std::strcpy(record.BuildDate, "Jan 01 2024");
    std::memcpy(body.data() + 256, &record, sizeof record);
    std::vector<std::uint8_t> image(body.size() + 8, 0xFF);
    std::copy(body.begin(), body.end(), image.begin() + 8);

    ASSERT_EQ(sim.device.BeginFirmwareUpdate(), kOk);
    for (std::size_t offset = 0; offset < image.size(); offset += protocol::kUpdateBlockSize) {
        const auto count = static_cast<std::uint16_t>(
            std::min<std::size_t>(protocol::kUpdateBlockSize, image.size() - offset));
        ASSERT_EQ(sim.device.SendDataFragment(image.data() + offset,
                                              static_cast<std::uint32_t>(offset), count),
                  kOk)
            << offset;
    }
    const std::uint32_t crc =
        quon::util::Crc32Plain(body.data(), static_cast<std::uint32_t>(body.size()));
    ASSERT_EQ(sim.device.CommitUpdate(crc, static_cast<std::uint32_t>(body.size())), kOk);
    EXPECT_EQ(sim.device.ReplyTimeout(), milliseconds(4000));

    std::string text;
    ASSERT_EQ(sim.device.GetVersion(&text), kOk);
    VersionInfo info;
    sim.device.ParseVersion(&info, text);
    EXPECT_STREQ(info.Version, "000.020");
}

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    int expected;
};

class SimFault : public testing::TestWithParam<FaultCase> {};

TEST_P(SimFault, GetIdReportsIt)
{
    // Reply waits at 50 times real speed, so the fault cases do not cost 4 s each.
    const k64::test::ScaledClock clock(50);
    Sim sim(GetParam().args, clock);
    ASSERT_TRUE(sim.process.Started());
    std::uint32_t id = 99;
    auto result = std::async(std::launch::async, [&] { return sim.device.GetId(&id); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(result.get(), GetParam().expected);
    EXPECT_EQ(id, 99u);
    EXPECT_FALSE(sim.device.Port().IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    DeviceOnSim, SimFault,
    testing::Values(FaultCase{"NoReply", {"--no-reply", "10"}, kNoReply},
                    FaultCase{"WrongReply", {"--wrong-reply", "10"}, kBadReply},
                    FaultCase{"MalformedReply", {"--malformed-reply", "10"}, kBadReply},
                    FaultCase{"HangUp", {"--hangup-after", "1"}, kNoReply}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceOnSim, FindPortFindsTheSimulator)
{
    SimProcess process(k64::test::SimProgram(), {"--id", "4242"});
    ASSERT_TRUE(process.Started());
    MemoryPortStore store;
    ListPortCatalog catalog;
    catalog.names = {"/dev/k64-no-such-port", process.PtyPath()};
    TDevice device(store, catalog);
    k64::test::RecordingMessages owner;
    EXPECT_TRUE(device.FindPort(&owner));
    EXPECT_EQ(store.name, process.PtyPath());
    ASSERT_EQ(owner.shown.size(), 1u);
    EXPECT_EQ(owner.shown[0].caption, "Устройство найдено");
    EXPECT_NE(owner.shown[0].text.find("Номер:\t4242\n"), std::string::npos);
}

}  // namespace

#endif
