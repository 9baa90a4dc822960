// Sound updates against the simulated unit: the whole container, every way it can fail, the
// stop button, and containers whose size or head are unusual.

#include "device/crc32.h"
#include "resources/resources.h"
#include "update_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::test {
namespace {

using A = MessageAnswer;
using O = UpdateOutcome;

const std::string kQuestion = "box: Внимание | Произвести загрузку звуковых данных?\n"
                              "Старые данные будут удалены безвозвратно!";
const std::string kBusy =
    "box: Ошибка | Устройство не подключено или занято.\nОбновление отменено.";
const std::string kWritten = "box: Сообщение | Данные успешно записаны.";
const std::string kPreparing = "log: Подготовка к записи, ждите...";
const std::string kWriting = "log: Идет запись звуковых данных...";
const std::string kCaption = "Обновить звук до 648486";

std::vector<unsigned char> Container(std::span<const unsigned char> bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::vector<unsigned char> EmbeddedContainer()
{
    const auto found = resources::Find("wave_list");
    return found ? Container(*found) : std::vector<unsigned char>{};
}

// A container of `size` bytes whose head describes its data (or carries `crcOffset` added to
// the right checksum).
std::vector<unsigned char> MadeContainer(std::size_t size, std::uint32_t crcOffset = 0)
{
    std::vector<unsigned char> c(size);
    for (std::size_t i = 8; i < size; ++i)
        c[i] = static_cast<unsigned char>(i * 7);
    const auto put = [&](std::size_t at, std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            c[at + b] = static_cast<unsigned char>(v >> (8 * b));
    };
    put(0, static_cast<std::uint32_t>(size - 8));
    put(4, quon::util::Crc32Plain(c.data() + 8, static_cast<std::uint32_t>(size - 8)) + crcOffset);
    return c;
}

void ExpectFinalIdle(const UpdateRig& rig)
{
    EXPECT_EQ(rig.view.waveCaption, kCaption);
    EXPECT_FALSE(rig.view.timer2);
    EXPECT_FALSE(rig.sound.WaveStream.has_value());
}

// What follows a failure or a stop starts over: a new prepare request, then offset 0.
void ExpectFreshCompleteUpdate(UpdateRig& rig, const std::string& stateDir)
{
    rig.view.answers.clear();
    rig.view.events.clear();
    rig.RunSound();
    EXPECT_EQ(rig.sound.Outcome(), O::Committed);
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{kQuestion, kPreparing, kWriting, kWritten}));
    auto frames = rig.Frames();
    // Only what followed the last prepare request counts.
    std::size_t last = 0;
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i].code == 196)
            last = i;
    frames.erase(frames.begin(), frames.begin() + static_cast<long>(last));
    EXPECT_EQ(Codes(frames), ExpectedCodes({196}, 634, {190}));
    EXPECT_EQ(Reassemble(frames), EmbeddedContainer());
    rig.sim->Stop();
    EXPECT_EQ(ReadFileBytes(stateDir), EmbeddedContainer());
}

TEST(UpdateSoundTest, CompleteUpdateSendsTheContainerAndCommitsItsHead)
{
    TempDir dir;
    UpdateRig rig(dir);
    ASSERT_TRUE(rig.sim->Started());
    EXPECT_EQ(rig.view.waveCaption, kCaption);
    rig.RunSound();

    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{kQuestion, kPreparing, kWriting, kWritten}));
    EXPECT_EQ(rig.sound.Outcome(), O::Committed);
    EXPECT_EQ(rig.view.progressMax, 634);
    EXPECT_EQ(rig.view.steps, 634);
    EXPECT_EQ(rig.view.progressPosition, 634);  // left at its maximum
    EXPECT_FALSE(rig.view.progressOverran);
    EXPECT_EQ(rig.sound.WaveSent, 648494);
    ExpectFinalIdle(rig);

    const auto container = EmbeddedContainer();
    const auto frames = rig.Frames();
    EXPECT_EQ(Codes(frames), ExpectedCodes({196}, 634, {190}));
    ExpectWholeBlocks(frames, 634, 302);
    EXPECT_EQ(Reassemble(frames), container);
    const std::vector<unsigned char>& commit = frames.back().payload;
    ASSERT_EQ(commit.size(), 8u);
    EXPECT_EQ(std::vector<unsigned char>(commit.begin(), commit.end()),
              std::vector<unsigned char>(container.begin(), container.begin() + 8));
    EXPECT_EQ(ReadU32(commit.data()), 648486u);

    rig.sim->Stop();
    EXPECT_EQ(ReadFileBytes(dir / "state/sound.bin"), container);
}

class UpdateSoundFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(UpdateSoundFailureTest, ReportsStopsAndLeavesTheNextUpdateWhole)
{
    const FailureCase& c = GetParam();
    TempDir dir;
    UpdateRig rig(dir, c.sim);
    ASSERT_TRUE(rig.sim->Started());
    rig.view.answers.assign(c.answers.begin(), c.answers.end());
    rig.RunSound();

    ExpectFailureShown(rig, c, rig.sound.Outcome());
    ExpectFinalIdle(rig);

    rig.Restart(dir, {}, "after");
    ExpectFreshCompleteUpdate(rig, dir / "state/sound.bin");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateSoundFailureTest,
    ::testing::Values(
        FailureCase{"QuestionCancelled", {}, {A::Cancel}, {kQuestion}, O::Declined, {}, 100, 0},
        FailureCase{"PrepareUnanswered",
                    {"--no-reply", "196"},
                    {},
                    {kQuestion, kPreparing, kBusy},
                    O::DeviceBusy,
                    {196},
                    100,
                    0},
        FailureCase{"PrepareWrongReply",
                    {"--wrong-reply", "196"},
                    {},
                    {kQuestion, kPreparing, kBusy},
                    O::DeviceBusy,
                    {196},
                    100,
                    0},
        FailureCase{"FirstFragmentUnacknowledged",
                    {"--drop-ack", "1"},
                    {},
                    {kQuestion, kPreparing, kWriting, kBlockError},
                    O::TransferFailed,
                    ExpectedCodes({196}, 1),
                    634,
                    0},
        FailureCase{"FifthFragmentUnacknowledged",
                    {"--drop-ack", "5"},
                    {},
                    {kQuestion, kPreparing, kWriting, kBlockError},
                    O::TransferFailed,
                    ExpectedCodes({196}, 5),
                    634,
                    4},
        FailureCase{"LastFragmentUnacknowledged",
                    {"--drop-ack", "634"},
                    {},
                    {kQuestion, kPreparing, kWriting, kBlockError},
                    O::TransferFailed,
                    ExpectedCodes({196}, 634),
                    634,
                    633},
        FailureCase{"FragmentWrongReply",
                    {"--wrong-reply", "192"},
                    {},
                    {kQuestion, kPreparing, kWriting, kBlockError},
                    O::TransferFailed,
                    ExpectedCodes({196}, 1),
                    634,
                    0},
        FailureCase{"CommitRefused",
                    {"--reject-commit"},
                    {},
                    {kQuestion, kPreparing, kWriting, kNoCrc},
                    O::CommitRejected,
                    ExpectedCodes({196}, 634, {190}),
                    634,
                    634},
        FailureCase{"CommitWrongReply",
                    {"--wrong-reply", "190"},
                    {},
                    {kQuestion, kPreparing, kWriting, kNoCrc},
                    O::CommitRejected,
                    ExpectedCodes({196}, 634, {190}),
                    634,
                    634}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateSoundTest, StopBetweenBlocksCancelsWithoutCommitAndTheNextStartSendsEverything)
{
    TempDir dir;
    UpdateRig rig(dir);
    ASSERT_TRUE(rig.sim->Started());
    rig.sound.WaveUpdateButtonClick(rig.device.get());
    ASSERT_EQ(rig.view.waveCaption, "Стоп");
    for (int i = 0; i < 10 && rig.view.timer2; ++i)
        rig.sound.Timer2Timer(rig.device.get());
    ASSERT_TRUE(rig.view.timer2);

    // "Стоп" asks first: No leaves the transfer running, Yes ends it and says what is left.
    const std::string stopQuestion = "box: Внимание | Прервать обновление? Голосовые сообщения "
                                     "устройства будут недоступны до следующего обновления.";
    rig.view.answers = {A::No, A::Yes};
    rig.sound.WaveUpdateButtonClick(rig.device.get());
    EXPECT_TRUE(rig.sound.Running());
    rig.sound.WaveUpdateButtonClick(rig.device.get());
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{kQuestion, kPreparing, kWriting, stopQuestion, stopQuestion,
                                        kCancelled,
                                        "log: Голосовые сообщения устройства стерты и недоступны "
                                        "до следующего обновления звука."}));
    EXPECT_EQ(rig.sound.Outcome(), O::Stopped);
    EXPECT_EQ(rig.view.progressPosition, 10);
    ExpectFinalIdle(rig);
    EXPECT_EQ(Codes(rig.Frames()), ExpectedCodes({196}, 10));
    EXPECT_NE(ReadFileBytes(dir / "state/sound.bin"), EmbeddedContainer());

    ExpectFreshCompleteUpdate(rig, dir / "state/sound.bin");
    EXPECT_EQ(Codes(rig.Frames()).size(), 10u + 1 + 1 + 634 + 1);
}

TEST(UpdateSoundTest, FailedTransferReleasesItsStreamSoTheButtonStartsAfresh)
{
    TempDir dir;
    UpdateRig rig(dir, {"--drop-ack", "3"});
    rig.RunSound();
    ASSERT_EQ(rig.sound.Outcome(), O::TransferFailed);
    EXPECT_FALSE(rig.sound.Running());
    // The next click asks again instead of stopping a transfer that is no more.
    rig.view.events.clear();
    rig.view.answers = {A::Cancel};
    rig.sound.WaveUpdateButtonClick(rig.device.get());
    EXPECT_EQ(rig.view.events, (std::vector<std::string>{kQuestion}));
}

struct ContainerCase {
    const char* name;
    std::size_t size;
    std::uint32_t crcOffset;
    UpdateOutcome outcome;
    int blocks, progressMax;
    std::uint16_t lastCount;
};

class UpdateSoundContainerTest : public ::testing::TestWithParam<ContainerCase> {};

TEST_P(UpdateSoundContainerTest, SentWholeAndJudgedByTheUnit)
{
    const ContainerCase& c = GetParam();
    TempDir dir;
    UpdateRig rig(dir);
    const auto container = MadeContainer(c.size, c.crcOffset);
    ASSERT_TRUE(rig.sound.LoadSoundData(container));
    EXPECT_EQ(rig.view.waveCaption, "Обновить звук до " + std::to_string(c.size - 8));
    rig.RunSound();
    EXPECT_EQ(rig.sound.Outcome(), c.outcome);
    EXPECT_EQ(rig.view.progressMax, c.progressMax);
    EXPECT_EQ(rig.view.progressPosition, c.progressMax);  // the end step sets it there
    EXPECT_EQ(rig.view.steps, c.blocks);
    const auto frames = rig.Frames();
    const auto fragments = Fragments(frames);
    ASSERT_EQ(fragments.size(), static_cast<std::size_t>(c.blocks));
    EXPECT_EQ(fragments.back().count, c.lastCount);
    EXPECT_EQ(Reassemble(frames), container);
    ASSERT_EQ(frames.back().code, 190);
    EXPECT_EQ(frames.back().payload,
              std::vector<unsigned char>(container.begin(), container.begin() + 8));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateSoundContainerTest,
    ::testing::Values(ContainerCase{"MultipleOfBlock", 3072, 0, O::Committed, 3, 4, 1024},
                      ContainerCase{"OneByteOver", 3073, 0, O::Committed, 4, 4, 1},
                      ContainerCase{"HeadOnlyPlusOne", 9, 0, O::Committed, 1, 1, 9},
                      ContainerCase{"HeadDisagreesWithData", 5000, 1, O::CommitRejected, 5, 5,
                                    904}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateSoundTest, NoDeviceObjectDoesNothing)
{
    RecordingUpdateView view;
    SoundUpdate sound(view);
    ASSERT_TRUE(sound.LoadSoundData());
    sound.WaveUpdateButtonClick(nullptr);
    EXPECT_TRUE(view.events.empty());
    EXPECT_FALSE(view.timer2);
    EXPECT_FALSE(sound.Running());
}

}  // namespace
}  // namespace k64::test
