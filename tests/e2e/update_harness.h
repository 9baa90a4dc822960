#pragma once
// What the update tests share: k64-sim as a child process on a pty, a TDevice bound to it,
// a recording window, and a reader for the simulator's frame trace.

#include "device/device.h"
#include "support/memory_ports.h"
#include "support/pty_pair.h"
#include "support/recording_update_view.h"
#include "support/sim_process.h"
#include "support/sim_trace.h"
#include "support/temp_dir.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace k64::test {

inline std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using sim::ReadU16;
using sim::ReadU32;

struct Fragment {
    std::uint32_t offset;
    std::uint16_t count;
};

inline std::vector<Fragment> Fragments(const std::vector<TracedFrame>& frames)
{
    std::vector<Fragment> out;
    for (const TracedFrame& f : frames)
        if (f.code == 192 && f.payload.size() >= 6)
            out.push_back({ReadU32(f.payload.data()), ReadU16(f.payload.data() + 4)});
    return out;
}

// Lays the data of every fragment at its offset: what the unit was sent.
inline std::vector<unsigned char> Reassemble(const std::vector<TracedFrame>& frames)
{
    std::vector<unsigned char> image;
    for (const TracedFrame& f : frames) {
        if (f.code != 192 || f.payload.size() < 6)
            continue;
        const std::uint32_t offset = ReadU32(f.payload.data());
        if (image.size() < offset + f.payload.size() - 6)
            image.resize(offset + f.payload.size() - 6);
        std::copy(f.payload.begin() + 6, f.payload.end(), image.begin() + offset);
    }
    return image;
}

// What both transfers show on a failed block, a refused commit and the end of a cancelled run.
inline const std::string kBlockError = "box: Ошибка | Ошибка при передачи данных";
inline const std::string kNoCrc = "box: Ошибка обновления. | Нет подтвеждения CRC";
inline const std::string kCancelled = "log: Обновление отменено.";

// Data fragments at offsets 0, 1024, 2048 ..., each a whole block but the last.
inline void ExpectWholeBlocks(const std::vector<TracedFrame>& frames, std::size_t blocks,
                              std::uint16_t lastCount)
{
    const auto fragments = Fragments(frames);
    ASSERT_EQ(fragments.size(), blocks);
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        EXPECT_EQ(fragments[i].offset, i * 1024) << i;
        EXPECT_EQ(fragments[i].count, i + 1 < fragments.size() ? 1024 : lastCount) << i;
    }
}

// The request codes of a transfer: `head`, then `fragments` data fragments, then `tail`.
inline std::vector<std::uint16_t> ExpectedCodes(std::initializer_list<std::uint16_t> head,
                                                int fragments,
                                                std::initializer_list<std::uint16_t> tail = {})
{
    std::vector<std::uint16_t> codes(head);
    codes.insert(codes.end(), static_cast<std::size_t>(fragments), 192);
    codes.insert(codes.end(), tail);
    return codes;
}

// One simulator run with the tool's transfer objects bound to it. Reply waits pass `scale`
// times faster than real time, so a time-out of the unit costs the test a fraction of it.
class UpdateRig {
    // First, so that they outlive the device object that refers to them.
    std::unique_ptr<MemoryPortStore> store_;
    ListPortCatalog catalog_;
    ScaledClock clock_;

public:
    explicit UpdateRig(const TempDir& dir, std::vector<std::string> simOptions = {}, int scale = 20,
                       const std::string& run = "run")
        : clock_(scale), trace(dir / (run + ".trace"))
    {
        StartSim(dir, std::move(simOptions));
        store_ = std::make_unique<MemoryPortStore>(sim->PtyPath());
        device = std::make_unique<TDevice>(*store_, catalog_, clock_);
        EXPECT_TRUE(firmware.LoadFirmwareImage());
        EXPECT_TRUE(sound.LoadSoundData());
    }

    // A new simulator on the same state directory, without the faults of the last one; the
    // tool's objects stay as they are and the device object moves to the new line.
    void Restart(const TempDir& dir, std::vector<std::string> simOptions, const std::string& run)
    {
        sim.reset();
        trace = dir / (run + ".trace");
        StartSim(dir, std::move(simOptions));
        device->SetPortName(sim->PtyPath());
    }

    // Ticks the timers as the window would, without waiting between ticks.
    void RunFirmware()
    {
        firmware.BlowUpdateButtonClick(device.get());
        while (view.timer1)
            firmware.Timer1Timer(device.get());
    }
    void RunSound()
    {
        sound.WaveUpdateButtonClick(device.get());
        while (view.timer2)
            sound.Timer2Timer(device.get());
    }
    std::vector<TracedFrame> Frames() const { return ReceivedFrames(trace); }

    // The simulator keeps its state in the test's folder, traces to `trace` and answers the
    // prepare requests at once.
    void StartSim(const TempDir& dir, std::vector<std::string> options)
    {
        options.insert(options.end(),
                       {"--state", dir / "state", "--trace", trace, "--prepare-delay-ms", "0"});
        sim = std::make_unique<SimProcess>(SimProgram(), options);
    }

    std::string trace;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TDevice> device;
    RecordingUpdateView view;
    FirmwareUpdate firmware{view};
    SoundUpdate sound{view};
};

// A transfer that fails or is declined: the simulator's faults, the answers to the questions,
// and what the window and the line show afterwards.
struct FailureCase {
    const char* name;
    std::vector<std::string> sim;
    std::vector<MessageAnswer> answers;
    std::vector<std::string> events;
    UpdateOutcome outcome;
    std::vector<std::uint16_t> codes;
    int progressMax, progressPosition;
};

// What every failure row checks, whichever transfer it ran; `outcome` is that transfer's.
inline void ExpectFailureShown(const UpdateRig& rig, const FailureCase& c, UpdateOutcome outcome)
{
    EXPECT_EQ(rig.view.events, c.events);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(Codes(rig.Frames()), c.codes);
    EXPECT_EQ(rig.view.progressMax, c.progressMax);
    EXPECT_EQ(rig.view.progressPosition, c.progressPosition);
}

}  // namespace k64::test
