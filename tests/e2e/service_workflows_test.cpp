// The settings workflows both programs run, against the simulated unit: what reaches the unit,
// what the history keeps and what the user is shown.

#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "service/settings_workflows.h"
#include "support/recording_messages.h"
#include "update_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace k64::test {
namespace {

using service::AfterUpdate;
using service::WriteOutcome;

class RecordingWorkflowView final : public service::WorkflowView, public RecordingMessages {
public:
    std::vector<std::string> kept;
    std::size_t differences = 0;
    std::vector<std::size_t> offered;
    bool restore = false;
    std::string withoutBackup;  // why the view was asked to go on without a backup
    bool goOn = false;
    std::vector<std::vector<std::string>> readBack;

    MessageInterface* MessageOwner() override { return this; }
    void SettingsKept(const std::string& serial, const std::filesystem::path&) override
    {
        kept.push_back(serial);
    }
    void ShowDifferences(const std::vector<SettingDifference>& shown) override
    {
        differences += shown.size();
    }
    bool OfferRestore(std::size_t changed, const std::filesystem::path&) override
    {
        offered.push_back(changed);
        return restore;
    }
    bool ContinueWithoutBackup(const std::string& why) override
    {
        withoutBackup = why;
        return goOn;
    }
    void ReadBack(const std::vector<std::string>& differing) override
    {
        readBack.push_back(differing);
    }
    std::string Boxes() const
    {
        std::string boxes;
        for (const RecordedMessage& m : shown)
            boxes += m.caption + " | " + m.text + "\n";
        return boxes;
    }
};

// The unit starts with MicLevel=10; the history folder is `folder` under the test's folder.
struct Rig {
    explicit Rig(std::vector<std::string> faults = {})
    {
        std::ofstream(dir / "unit.txt") << "MicLevel=10\n";
        faults.insert(faults.end(), {"--settings-file", dir / "unit.txt", "--trace", trace});
        sim = std::make_unique<SimProcess>(SimProgram(), faults);
        store = std::make_unique<MemoryPortStore>(sim->PtyPath());
        device = std::make_unique<TDevice>(*store, catalog);
    }
    std::vector<std::uint16_t> Sent() const { return Codes(ReceivedFrames(trace)); }
    std::string UnitMicLevel()
    {
        std::string text;
        if (!Succeeded(device->ReadSettings(&text)))
            return "?";
        ParameterList list = schema;
        list.ReadText(std::move(text));
        return list.DisplayText("MicLevel");
    }

    TempDir dir;
    std::string trace = dir / "trace";
    std::string folder = dir / "history";
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MemoryPortStore> store;
    ListPortCatalog catalog;
    std::unique_ptr<TDevice> device;
    ParameterList schema;
    RecordingWorkflowView view;
};

struct WriteCase {
    const char* name;
    std::vector<std::string> faults;
    const char*
        folder;  // under the test's folder; "" writes without a backup, "unit.txt" is a file
    bool goOn;   // the answer when no backup can be made
    WriteOutcome outcome;
    std::vector<std::uint16_t> sent;
    std::size_t entries;
    const char* box;  // the last box shown; "" none
    const char* why;  // the start of the reason no backup was made; "" none asked
};

class WriteWithBackupTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteWithBackupTest, KeepsThenWritesOrWritesNothing)
{
    const WriteCase& c = GetParam();
    Rig rig(c.faults);
    ASSERT_TRUE(rig.sim->Started());
    ParameterList target = rig.schema;
    target.ReadText("MicLevel=12\n");
    const std::filesystem::path folder =
        *c.folder ? std::filesystem::path(rig.dir / c.folder) : std::filesystem::path();
    rig.view.goOn = c.goOn;

    EXPECT_EQ(service::WriteWithBackup(*rig.device, target, folder, rig.view), c.outcome);
    EXPECT_EQ(rig.Sent(), c.sent);
    const std::size_t entries = ListHistory(rig.dir / "history").size();
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(rig.view.kept.size(), c.entries);
    EXPECT_EQ(rig.view.differences, c.entries);  // MicLevel 10 -> 12, when it was kept
    EXPECT_EQ(rig.view.Boxes(), c.box);
    EXPECT_TRUE(rig.view.withoutBackup.starts_with(c.why)) << rig.view.withoutBackup;
    EXPECT_EQ(rig.view.withoutBackup.empty(), *c.why == '\0');
    if (entries == 1) {
        ParameterList kept = rig.schema;
        ASSERT_TRUE(ReadSettingsFile(ListHistory(rig.dir / "history").front().path, kept).Ok());
        EXPECT_EQ(kept.DisplayText("MicLevel"), "10");
    }
}

constexpr const char* kWritten = "Сообщение | Настройки записаны.\n";
constexpr const char* kSilent =
    "Устройство не передало свои настройки, резервная копия не сделана.";
constexpr const char* kNotStored = "Не удалось создать папку истории настроек ";

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteWithBackupTest,
    ::testing::Values(
        WriteCase{"KeptThenWritten",
                  {},
                  "history",
                  false,
                  WriteOutcome::Written,
                  {200, 10, 201, 200},
                  1,
                  kWritten,
                  ""},
        WriteCase{"NoFolderWritesOnly",
                  {},
                  "",
                  false,
                  WriteOutcome::Written,
                  {201, 200},
                  0,
                  kWritten,
                  ""},
        // A unit that keeps its settings to itself is not asked for its id.
        WriteCase{"SilentUnitNo",
                  {"--wrong-reply", "200"},
                  "history",
                  false,
                  WriteOutcome::NotKept,
                  {200},
                  0,
                  "",
                  kSilent},
        // Written, but what the unit holds cannot be known.
        WriteCase{"SilentUnitYesWritesAnywayUnverified",
                  {"--wrong-reply", "200"},
                  "history",
                  true,
                  WriteOutcome::NotVerified,
                  {200, 201, 200},
                  0,
                  "Сообщение | Настройки записаны.\n"
                  "Ошибка | Проверка не пройдена: устройство не вернуло настройки.\n",
                  kSilent},
        // The history folder cannot be made where a file is: the reason names the folder.
        WriteCase{"UnwritableHistoryNo",
                  {},
                  "unit.txt/history",
                  false,
                  WriteOutcome::NotKept,
                  {200, 10},
                  0,
                  "",
                  kNotStored},
        WriteCase{"UnwritableHistoryYesWritesAnyway",
                  {},
                  "unit.txt/history",
                  true,
                  WriteOutcome::Written,
                  {200, 10, 201, 200},
                  0,
                  kWritten,
                  kNotStored}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadBackCase {
    const char* name;
    std::vector<std::string> faults;
    bool verify;
    WriteOutcome outcome;
    std::vector<std::uint16_t> sent;
    std::vector<std::vector<std::string>> readBack;  // what the view was told
    const char* box;  // the boxes after "Настройки записаны."
};

class ReadBackTest : public ::testing::TestWithParam<ReadBackCase> {};

// After a write the settings are read again: a value the unit did not keep is named with the
// value sent and the value read.
TEST_P(ReadBackTest, WhatWasSentIsWhatTheUnitHolds)
{
    const ReadBackCase& c = GetParam();
    Rig rig(c.faults);
    ASSERT_TRUE(rig.sim->Started());
    ParameterList target = rig.schema;
    target.ReadText("MicLevel=12\nNoteKick=4\n");

    EXPECT_EQ(service::WriteWithBackup(*rig.device, target, {}, rig.view, {false, {}, c.verify}),
              c.outcome);
    EXPECT_EQ(rig.Sent(), c.sent);
    EXPECT_EQ(rig.view.readBack, c.readBack);
    EXPECT_EQ(rig.view.Boxes(), std::string(kWritten) + c.box);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadBackTest,
    ::testing::Values(ReadBackCase{"Equal", {}, true, WriteOutcome::Written, {201, 200}, {{}}, ""},
                      ReadBackCase{
                          "DifferingKeyNamed",
                          {"--drop-setting", "MicLevel"},
                          true,
                          WriteOutcome::NotVerified,
                          {201, 200},
                          {{"Чувствительность микрофона (MicLevel): записано «12», прочитано «8»"}},
                          "Ошибка | Проверка не пройдена, устройство хранит другие значения: "
                          "Чувствительность микрофона (MicLevel): записано «12», прочитано «8»\n"},
                      ReadBackCase{"NotAsked",
                                   {"--drop-setting", "MicLevel"},
                                   false,
                                   WriteOutcome::Written,
                                   {201},
                                   {},
                                   ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
    const char* name;
    const char* update;  // what the "update" leaves on the unit
    bool restore;        // the user's answer to the offer
    AfterUpdate after;
    std::vector<std::size_t> offered;
    const char* unitAfter;
};

class CompareAfterUpdateTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareAfterUpdateTest, OffersTheKeptSettingsBackWhenTheyChanged)
{
    const CompareCase& c = GetParam();
    Rig rig;
    ASSERT_TRUE(rig.sim->Started());
    const service::Backup before =
        service::KeepUnitSettings(*rig.device, rig.schema, rig.folder, rig.view);
    ASSERT_TRUE(before.Stored());
    ASSERT_EQ(rig.device->WriteSettings(c.update), kOk);
    rig.view.restore = c.restore;

    EXPECT_EQ(service::CompareAfterUpdate(*rig.device, *before.kept, rig.view), c.after);
    EXPECT_EQ(rig.view.offered, c.offered);
    EXPECT_EQ(rig.UnitMicLevel(), c.unitAfter);
    EXPECT_EQ(rig.view.Boxes(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompareAfterUpdateTest,
    ::testing::Values(
        CompareCase{"Unchanged", "MicLevel=10\n", true, AfterUpdate::Unchanged, {}, "10"},
        CompareCase{"ChangedAndRestored", "", true, AfterUpdate::Restored, {1}, "10"},
        CompareCase{"ChangedAndDeclined",
                    "MicLevel=3\nNoteKick=4\n",
                    false,
                    AfterUpdate::Declined,
                    {2},
                    "3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResolveLatestTest, NewestEntryOfTheUnitOnThePort)
{
    Rig rig;
    ASSERT_TRUE(rig.sim->Started());
    EXPECT_FALSE(service::ResolveLatest(*rig.device, rig.folder).entry);
    ASSERT_TRUE(service::KeepUnitSettings(*rig.device, rig.schema, rig.folder, rig.view).Stored());
    ParameterList other = rig.schema;
    other.ReadText("MicLevel=5\n");
    ASSERT_TRUE(StoreHistoryEntry(rig.folder, "16009999", other).result.Ok());

    const service::LatestEntry latest = service::ResolveLatest(*rig.device, rig.folder);
    EXPECT_TRUE(latest.answered);
    EXPECT_EQ(latest.serial, "16001234");
    ASSERT_TRUE(latest.entry);
    EXPECT_EQ(*latest.entry, ListHistory(rig.folder, "16001234").front().path);
}

}  // namespace
}  // namespace k64::test
