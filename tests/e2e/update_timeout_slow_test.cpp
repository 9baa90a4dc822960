// Update failures that cost the real reply time-outs of the unit (10 s to prepare firmware,
// 20 s to prepare sound, 4 s per block), and the sound update through k64ctl at its real pace.

#include "resources/resources.h"
#include "support/child_process.h"
#include "update_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::test {
namespace {

TEST(UpdateTimeoutSlowTest, FirmwarePrepareUnansweredWaitsOutItsTimeOut)
{
    TempDir dir;
    UpdateRig rig(dir, {"--no-reply", "195"}, 1);
    ASSERT_TRUE(rig.sim->Started());
    rig.RunFirmware();
    EXPECT_EQ(rig.firmware.Outcome(), UpdateOutcome::DeviceBusy);
    EXPECT_EQ(rig.view.log, (std::vector<std::string>{"Подготовка к обновлению, ждите ...",
                                                      "Обновление отменено."}));
    EXPECT_TRUE(rig.view.blowEnabled);
    EXPECT_EQ(rig.device->ReplyTimeout(), std::chrono::milliseconds(4000));
}

TEST(UpdateTimeoutSlowTest, SoundPrepareUnansweredWaitsOutItsTimeOut)
{
    TempDir dir;
    UpdateRig rig(dir, {"--no-reply", "196"}, 1);
    ASSERT_TRUE(rig.sim->Started());
    rig.RunSound();
    EXPECT_EQ(rig.sound.Outcome(), UpdateOutcome::DeviceBusy);
    EXPECT_EQ(rig.view.waveCaption, "Обновить звук до 648486");
    EXPECT_FALSE(rig.sound.Running());
    EXPECT_EQ(rig.device->ReplyTimeout(), std::chrono::milliseconds(4000));
}

TEST(UpdateTimeoutSlowTest, UnacknowledgedBlockWaitsOutItsTimeOutThenStartsOver)
{
    TempDir dir;
    UpdateRig rig(dir, {"--drop-ack", "2"}, 1);
    ASSERT_TRUE(rig.sim->Started());
    rig.RunFirmware();
    EXPECT_EQ(rig.firmware.Outcome(), UpdateOutcome::TransferFailed);
    EXPECT_EQ(rig.view.progressPosition, 1);
    rig.view.answers.clear();
    rig.RunFirmware();  // the same simulator: the dropped fragment number has passed
    EXPECT_EQ(rig.firmware.Outcome(), UpdateOutcome::Committed);
    const auto fragments = Fragments(rig.Frames());
    ASSERT_EQ(fragments.size(), 2u + 73u);
    EXPECT_EQ(fragments[2].offset, 0u);
}

TEST(UpdateTimeoutSlowTest, SoundUpdateThroughK64ctlAtTheWindowsPace)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {"--state", dir / "state", "--prepare-delay-ms", "0"});
    ASSERT_TRUE(sim.Started());
    const ProgramResult r =
        RunProgram({K64CTL_PATH, "--port", sim.PtyPath(), "update-sound", "--yes"},
                   EnvironmentWith(), std::chrono::minutes(9));
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(r.status, 0) << r.err;
    sim.Stop();
    const auto found = resources::Find("wave_list");
    ASSERT_TRUE(found);
    EXPECT_EQ(ReadFileBytes(dir / "state/sound.bin"),
              std::vector<unsigned char>(found->begin(), found->end()));
}

}  // namespace
}  // namespace k64::test
