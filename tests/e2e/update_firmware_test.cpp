// Firmware updates against the simulated unit: the whole transfer, every way it can fail, the
// version check and a line that hangs up mid-transfer.

#include "device/crc32.h"
#include "update_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::test {
namespace {

const std::string kQuestion =
    "box: Внимание | После обновления возможно произойдет сброс настроек.\n"
    "Рекомендуется сохранить текущие настройки. (Кнопка \"Сохранить в файл\").\n"
    "Начать обновление ?";
const std::string kNotOlder = "box: Внимание | Устройство уже содержит новейшую или равную "
                              "версию.\n                         Обновлять или нет?";
const std::string kBusy = "box: Ошибка | Устройство не подключено или занято";
const std::string kPreparing = "log: Подготовка к обновлению, ждите ...";
const std::string kLoading = "log: Загрузка новой версии программы ...";
const std::string kFinished = "log: Загрузка закончена.";

// The update that follows a failure starts over: a new prepare request, then offset 0.
void ExpectFreshCompleteUpdate(UpdateRig& rig)
{
    rig.view.answers.clear();
    rig.RunFirmware();
    EXPECT_EQ(rig.firmware.Outcome(), UpdateOutcome::Committed);
    const auto frames = rig.Frames();
    const auto codes = Codes(frames);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], 14);
    EXPECT_EQ(codes[1], 195);
    const auto fragments = Fragments(frames);
    ASSERT_EQ(fragments.size(), 73u);
    EXPECT_EQ(fragments.front().offset, 0u);
    EXPECT_EQ(Reassemble(frames), rig.firmware.BlowBuffer);
}

TEST(UpdateFirmwareTest, CompleteUpdateSendsTheBufferAndCommitsSizeAndChecksum)
{
    TempDir dir;
    UpdateRig rig(dir);
    ASSERT_TRUE(rig.sim->Started());
    rig.RunFirmware();

    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{kQuestion, kPreparing, kLoading, kFinished}));
    EXPECT_EQ(rig.firmware.Outcome(), UpdateOutcome::Committed);
    EXPECT_EQ(rig.view.progressMax, 73);
    EXPECT_EQ(rig.view.steps, 73);
    EXPECT_FALSE(rig.view.progressOverran);
    EXPECT_EQ(rig.view.progressPosition, 0);
    EXPECT_EQ(rig.view.blowFocused, 1);
    EXPECT_TRUE(rig.view.blowEnabled);
    EXPECT_FALSE(rig.view.timer1);
    EXPECT_FALSE(rig.firmware.BlowActive);

    const auto frames = rig.Frames();
    EXPECT_EQ(Codes(frames), ExpectedCodes({14, 195}, 73, {190}));
    ExpectWholeBlocks(frames, 73, 816);
    const auto sent = Reassemble(frames);
    EXPECT_EQ(sent, rig.firmware.BlowBuffer);
    ASSERT_GE(sent.size(), 16u);
    EXPECT_EQ(std::vector<unsigned char>(sent.begin(), sent.begin() + 8),
              std::vector<unsigned char>(8, 0xFF));

    const std::vector<unsigned char>& commit = frames.back().payload;
    ASSERT_EQ(commit.size(), 8u);
    EXPECT_EQ(ReadU32(commit.data()), 74536u);  // the image's size, not the buffer's
    const std::uint32_t crc = quon::util::Crc32Plain(rig.firmware.BlowBuffer.data() + 8, 74536);
    EXPECT_EQ(ReadU32(commit.data() + 4), crc);

    std::string version;
    ASSERT_EQ(rig.device->GetVersion(&version), kOk);
    EXPECT_EQ(version, "K64_r2\n000.014\nSep 29 2016");

    rig.sim->Stop();
    const auto stored = ReadFileBytes(dir / "state/firmware.bin");
    ASSERT_EQ(stored.size(), 104u);
    EXPECT_EQ(ReadU32(stored.data() + 96), 74536u);
    EXPECT_EQ(ReadU32(stored.data() + 100), crc);
}

class UpdateFirmwareFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(UpdateFirmwareFailureTest, ReportsStopsAndLeavesTheNextUpdateWhole)
{
    const FailureCase& c = GetParam();
    TempDir dir;
    UpdateRig rig(dir, c.sim);
    ASSERT_TRUE(rig.sim->Started());
    rig.view.answers.assign(c.answers.begin(), c.answers.end());
    rig.RunFirmware();

    ExpectFailureShown(rig, c, rig.firmware.Outcome());
    EXPECT_TRUE(rig.view.blowEnabled);
    EXPECT_FALSE(rig.view.timer1);
    EXPECT_FALSE(rig.firmware.BlowActive);

    rig.Restart(dir, {}, "after");
    ExpectFreshCompleteUpdate(rig);
}

using A = MessageAnswer;
using O = UpdateOutcome;

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFirmwareFailureTest,
    ::testing::Values(
        FailureCase{
            "FirstQuestionCancelled", {}, {A::Cancel}, {kQuestion}, O::Declined, {}, 100, 0},
        FailureCase{"VersionUnanswered",
                    {"--no-reply", "14"},
                    {},
                    {kQuestion, kBusy},
                    O::DeviceBusy,
                    {14},
                    100,
                    0},
        FailureCase{"VersionWrongReply",
                    {"--wrong-reply", "14"},
                    {},
                    {kQuestion, kBusy},
                    O::DeviceBusy,
                    {14},
                    100,
                    0},
        FailureCase{"VersionMalformed",
                    {"--malformed-reply", "14"},
                    {},
                    {kQuestion, kBusy},
                    O::DeviceBusy,
                    {14},
                    100,
                    0},
        FailureCase{"UnitAsNewAnsweredNo",
                    {"--version", "000.014"},
                    {A::Ok, A::No},
                    {kQuestion, kNotOlder},
                    O::Declined,
                    {14},
                    100,
                    0},
        FailureCase{"UnitNewerAnsweredNo",
                    {"--version", "001.000"},
                    {A::Ok, A::No},
                    {kQuestion, kNotOlder},
                    O::Declined,
                    {14},
                    100,
                    0},
        FailureCase{"PrepareUnanswered",
                    {"--no-reply", "195"},
                    {},
                    {kQuestion, kPreparing, kBusy, kCancelled},
                    O::DeviceBusy,
                    {14, 195},
                    100,
                    0},
        FailureCase{"PrepareWrongReply",
                    {"--wrong-reply", "195"},
                    {},
                    {kQuestion, kPreparing, kBusy, kCancelled},
                    O::DeviceBusy,
                    {14, 195},
                    100,
                    0},
        FailureCase{"FirstFragmentUnacknowledged",
                    {"--drop-ack", "1"},
                    {},
                    {kQuestion, kPreparing, kLoading, kBlockError, kCancelled},
                    O::TransferFailed,
                    ExpectedCodes({14, 195}, 1),
                    73,
                    0},
        FailureCase{"FifthFragmentUnacknowledged",
                    {"--drop-ack", "5"},
                    {},
                    {kQuestion, kPreparing, kLoading, kBlockError, kCancelled},
                    O::TransferFailed,
                    ExpectedCodes({14, 195}, 5),
                    73,
                    4},
        FailureCase{"LastFragmentUnacknowledged",
                    {"--drop-ack", "73"},
                    {},
                    {kQuestion, kPreparing, kLoading, kBlockError, kCancelled},
                    O::TransferFailed,
                    ExpectedCodes({14, 195}, 73),
                    73,
                    72},
        FailureCase{"FragmentWrongReply",
                    {"--wrong-reply", "192"},
                    {},
                    {kQuestion, kPreparing, kLoading, kBlockError, kCancelled},
                    O::TransferFailed,
                    ExpectedCodes({14, 195}, 1),
                    73,
                    0},
        FailureCase{"CommitRefused",
                    {"--reject-commit"},
                    {},
                    {kQuestion, kPreparing, kLoading, kNoCrc, kCancelled},
                    O::CommitRejected,
                    ExpectedCodes({14, 195}, 73, {190}),
                    73,
                    73},
        FailureCase{"CommitWrongReply",
                    {"--wrong-reply", "190"},
                    {},
                    {kQuestion, kPreparing, kLoading, kNoCrc, kCancelled},
                    O::CommitRejected,
                    ExpectedCodes({14, 195}, 73, {190}),
                    73,
                    73}),
    [](const auto& info) { return std::string(info.param.name); });

struct VersionCase {
    const char* name;
    std::vector<std::string> sim;
    bool asks;
};

class UpdateFirmwareVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(UpdateFirmwareVersionTest, AsksOnlyWhenTheUnitIsNotOlder)
{
    const VersionCase& c = GetParam();
    TempDir dir;
    // A refused prepare request ends the run quickly when no question stops it first.
    std::vector<std::string> options = c.sim;
    options.insert(options.end(), {"--wrong-reply", "195"});
    UpdateRig rig(dir, options);
    ASSERT_TRUE(rig.sim->Started());
    rig.view.answers = {A::Ok, A::No};
    rig.RunFirmware();
    const auto codes = Codes(rig.Frames());
    if (c.asks) {
        EXPECT_EQ(rig.view.events, (std::vector<std::string>{kQuestion, kNotOlder}));
        EXPECT_EQ(codes, (std::vector<std::uint16_t>{14}));
    } else {
        EXPECT_EQ(rig.view.events,
                  (std::vector<std::string>{kQuestion, kPreparing, kBusy, kCancelled}));
        EXPECT_EQ(codes, (std::vector<std::uint16_t>{14, 195}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFirmwareVersionTest,
    ::testing::Values(
        VersionCase{"Equal", {"--version", "000.014"}, true},
        VersionCase{"Older", {"--version", "000.013"}, false},
        VersionCase{"NewerMajor", {"--version", "001.000"}, true},
        VersionCase{"NewerMinor", {"--version", "000.015"}, true},
        VersionCase{"PrefixIsOlder", {"--version", "000.01"}, false},
        VersionCase{"LongerIsNewer", {"--version", "000.0140"}, true},
        VersionCase{"TextNotNumber", {"--version", "00.020"}, false},
        VersionCase{"TextNotNumberHigher", {"--version", "1"}, true},
        VersionCase{"Empty", {"--version", ""}, false},
        VersionCase{"OtherTypeNotRefused", {"--type", "TB_r2", "--version", "000.013"}, false},
        VersionCase{"OtherTypeStillAsked", {"--type", "TB_r2", "--version", "000.014"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct BeforePrepareCase {
    const char* name;
    std::vector<std::string> sim;
    std::vector<MessageAnswer> answers;
    bool keeps;  // what the step returns
    int stepRuns;
    std::vector<std::uint16_t> codes;
    UpdateOutcome outcome;
};

class UpdateFirmwareBeforePrepareTest : public ::testing::TestWithParam<BeforePrepareCase> {};

// The step that keeps the settings runs only after every question was answered yes, on a held
// port, before the prepare request; when it fails the update ends without a word of its own.
TEST_P(UpdateFirmwareBeforePrepareTest, RunsAfterTheQuestionsAndCanEndTheUpdate)
{
    const BeforePrepareCase& c = GetParam();
    TempDir dir;
    std::vector<std::string> options = c.sim;
    options.insert(options.end(), {"--wrong-reply", "195"});
    UpdateRig rig(dir, options);
    ASSERT_TRUE(rig.sim->Started());
    int runs = 0;
    rig.firmware.SetBeforePrepare([&](DeviceInterface& device) {
        ++runs;
        std::uint32_t id = 0;
        EXPECT_EQ(device.GetId(&id), kOk);
        return c.keeps;
    });
    rig.view.answers.assign(c.answers.begin(), c.answers.end());
    rig.RunFirmware();
    EXPECT_EQ(runs, c.stepRuns);
    EXPECT_EQ(Codes(rig.Frames()), c.codes);
    EXPECT_EQ(rig.firmware.Outcome(), c.outcome);
    if (!c.keeps && runs == 1) {
        EXPECT_EQ(rig.view.events, (std::vector<std::string>{kQuestion, kPreparing, kCancelled}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFirmwareBeforePrepareTest,
    ::testing::Values(
        BeforePrepareCase{
            "FirstQuestionCancelled", {}, {A::Cancel}, true, 0, {}, UpdateOutcome::Declined},
        BeforePrepareCase{"NotOlderDeclined",
                          {"--version", "000.014"},
                          {A::Ok, A::No},
                          true,
                          0,
                          {14},
                          UpdateOutcome::Declined},
        BeforePrepareCase{"Kept", {}, {A::Ok}, true, 1, {14, 10, 195}, UpdateOutcome::DeviceBusy},
        BeforePrepareCase{"NotKept", {}, {A::Ok}, false, 1, {14, 10}, UpdateOutcome::NotKept}),
    [](const auto& info) { return std::string(info.param.name); });

// Replies the simulator never gives: too few lines, or lines longer than their fields.
struct ReplyCase {
    const char* name;
    std::string reply;
    enum { kBusy, kAsks, kProceeds } expect;
};

class UpdateFirmwareReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(UpdateFirmwareReplyTest, OddVersionRepliesAreBounded)
{
    const ReplyCase& c = GetParam();
    PtyPair pty;
    // The prepare request is answered with the wrong code, so a run that gets there ends at once.
    ScriptedUnit unit(pty, [&](const Frame& f) -> UnitReply {
        switch (f.code) {
        case 10: return {EncodeFrame(11, U32Payload(1))};
        case 14: return {EncodeFrame(150, TextPayload(c.reply))};
        default: return {EncodeFrame(193)};
        }
    });
    MemoryPortStore store(pty.SlavePath());
    ListPortCatalog catalog;
    ScaledClock clock(20);
    TDevice device(store, catalog, clock);
    RecordingUpdateView view;
    FirmwareUpdate firmware(view);
    ASSERT_TRUE(firmware.LoadFirmwareImage());
    view.answers = {A::Ok, A::No};
    firmware.BlowUpdateButtonClick(&device);
    EXPECT_FALSE(view.timer1);

    std::vector<std::string> expected;
    switch (c.expect) {
    case ReplyCase::kBusy: expected = {kQuestion, kBusy}; break;
    case ReplyCase::kAsks: expected = {kQuestion, kNotOlder}; break;
    case ReplyCase::kProceeds: expected = {kQuestion, kPreparing, kBusy, kCancelled}; break;
    }
    EXPECT_EQ(view.events, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFirmwareReplyTest,
    ::testing::Values(
        ReplyCase{"NoLineFeed", "K64_r2 000.020 Sep 29 2016", ReplyCase::kBusy},
        ReplyCase{"OneLineFeed", "K64_r2\n000.020", ReplyCase::kBusy},
        ReplyCase{"EmptyReply", "", ReplyCase::kBusy},
        ReplyCase{"EmptyVersionIsOlder", "K64_r2\n\nSep 29 2016", ReplyCase::kProceeds},
        ReplyCase{"LongTypeStaysInItsField", std::string(60, 'T') + "\n000.013\nSep 29 2016",
                  ReplyCase::kProceeds},
        ReplyCase{"LongTypeOfDigitsStaysInItsField", std::string(60, '9') + "\n000.013\nX",
                  ReplyCase::kProceeds},
        ReplyCase{"LongVersionCutToFifteen", "K64_r2\n000.014" + std::string(20, '9') + "\nX",
                  ReplyCase::kAsks},
        ReplyCase{"LongOlderVersionCut", "K64_r2\n000.013" + std::string(20, '9') + "\nX",
                  ReplyCase::kProceeds},
        ReplyCase{"LongBuildDate", "K64_r2\n000.013\n" + std::string(80, 'D'),
                  ReplyCase::kProceeds},
        ReplyCase{"ExtraLinesGoToBuildDate", "K64_r2\n000.013\nA\nB\nC", ReplyCase::kProceeds}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateFirmwareTest, HangUpMidTransferFailsTheBlockAndTheNextUpdateStartsOver)
{
    TempDir dir;
    // Real reply waits: the block must fail because the line went, not because time ran out.
    UpdateRig rig(dir, {"--hangup-after", "5"}, 1);  // 14, 195, then the third fragment
    ASSERT_TRUE(rig.sim->Started());
    rig.RunFirmware();
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{kQuestion, kPreparing, kLoading, kBlockError, kCancelled}));
    EXPECT_EQ(rig.firmware.Outcome(), O::TransferFailed);
    EXPECT_EQ(rig.view.progressPosition, 2);
    EXPECT_TRUE(rig.view.blowEnabled);
    EXPECT_FALSE(rig.view.timer1);

    rig.Restart(dir, {}, "after");
    ExpectFreshCompleteUpdate(rig);
}

TEST(UpdateFirmwareTest, ProgressHasOneStepPerBlockWhenTheHeadSpillsIntoAnotherBlock)
{
    // 2044 image bytes + 8 head bytes need three blocks, the last of 4 bytes.
    std::vector<unsigned char> image(2044, 0x11);
    std::fill_n(image.begin() + 256, 96, 0);
    const std::string type = "K64_r2", version = "000.020";
    std::copy(type.begin(), type.end(), image.begin() + 256);
    std::copy(version.begin(), version.end(), image.begin() + 256 + 48);

    TempDir dir;
    UpdateRig rig(dir);
    ASSERT_TRUE(rig.firmware.LoadFirmwareImage(image));
    rig.RunFirmware();
    EXPECT_EQ(rig.firmware.Outcome(), O::Committed);
    EXPECT_EQ(rig.view.progressMax, 3);
    EXPECT_EQ(rig.view.steps, 3);
    EXPECT_FALSE(rig.view.progressOverran);
    const auto fragments = Fragments(rig.Frames());
    ASSERT_EQ(fragments.size(), 3u);
    EXPECT_EQ(fragments.back().count, 4);
    std::string reply;
    ASSERT_EQ(rig.device->GetVersion(&reply), kOk);
    EXPECT_EQ(reply.substr(0, 14), "K64_r2\n000.020");
}

TEST(UpdateFirmwareTest, NoDeviceObjectDoesNothing)
{
    RecordingUpdateView view;
    FirmwareUpdate firmware(view);
    ASSERT_TRUE(firmware.LoadFirmwareImage());
    firmware.BlowUpdateButtonClick(nullptr);
    EXPECT_TRUE(view.events.empty());
    EXPECT_FALSE(view.timer1);
    EXPECT_EQ(firmware.Outcome(), O::None);
}

}  // namespace
}  // namespace k64::test
