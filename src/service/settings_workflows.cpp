#include "service/settings_workflows.h"

#include "common/shared_texts.h"
#include "device/port_hold.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"

namespace k64::service {
namespace {

void Show(WorkflowView& view, const std::string& text, const char* caption)
{
    ShowMessage(view.MessageOwner(), text, caption, MessageButtons::Ok);
}

}  // namespace

Backup KeepUnitSettings(DeviceInterface& device, const ParameterList& schema,
                        const std::filesystem::path& historyFolder, WorkflowView& view)
{
    Backup backup;
    std::string text;
    if (!Succeeded(device.ReadSettings(&text))) {
        backup.failure = texts::kBackupUnitSilent;
        return backup;
    }
    // The settings are what counts: a unit that keeps its id to itself is filed as unknown.
    std::uint32_t id = 0;
    const std::string serial = Succeeded(device.GetId(&id)) ? UnitSerial(id) : kUnknownUnit;
    backup.kept = KeptSettings{schema, serial, {}};
    backup.kept->settings.ReadText(std::move(text));
    if (historyFolder.empty())
        return backup;
    const StoredEntry stored = StoreHistoryEntry(historyFolder, serial, backup.kept->settings);
    if (!stored.result.Ok()) {
        backup.failure = texts::BackupNotStored(DescribeStoreFailure(stored));
        return backup;
    }
    backup.kept->entry = stored.path;
    view.SettingsKept(serial, stored.path);
    return backup;
}

SafetyNet KeepBeforeChange(DeviceInterface& device, const ParameterList& schema,
                           const std::filesystem::path& historyFolder, WorkflowView& view)
{
    if (historyFolder.empty())
        return {std::nullopt, true};
    Backup backup = KeepUnitSettings(device, schema, historyFolder, view);
    if (backup.Stored())
        return {std::move(backup.kept), true};
    return {std::nullopt, view.ContinueWithoutBackup(backup.failure)};
}

WriteOutcome WriteWithBackup(DeviceInterface& device, const ParameterList& target,
                             const std::filesystem::path& historyFolder, WorkflowView& view)
{
    const std::string text = target.WriteText(false);
    if (text.size() > kMaxSettingsText) {
        Show(view, texts::SettingsTooLong(text.size(), kMaxSettingsText), texts::kError);
        return WriteOutcome::TooLong;
    }
    // One hold over the backup and the write: nothing can change the unit in between.
    const PortHold hold(device);
    if (!hold) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return WriteOutcome::Failed;
    }
    const SafetyNet net = KeepBeforeChange(device, target, historyFolder, view);
    if (!net.proceed)
        return WriteOutcome::NotKept;
    if (net.kept) {
        if (const auto differences = DiffSettings(net.kept->settings, target); !differences.empty())
            view.ShowDifferences(differences);
    }
    if (!Answered(device.WriteSettings(text))) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return WriteOutcome::Failed;
    }
    Show(view, texts::kSettingsWritten, texts::kMessage);
    return WriteOutcome::Written;
}

AfterUpdate CompareAfterUpdate(DeviceInterface& device, const KeptSettings& before,
                               WorkflowView& view)
{
    const PortHold hold(device);
    std::string text;
    if (!hold || !Succeeded(device.ReadSettings(&text)))
        return AfterUpdate::NotRead;
    ParameterList after = before.settings;
    after.ReadText(std::move(text));
    const std::vector<SettingDifference> differences = DiffSettings(before.settings, after);
    if (differences.empty())
        return AfterUpdate::Unchanged;
    view.ShowDifferences(differences);
    if (!view.OfferRestore(differences.size(), before.entry))
        return AfterUpdate::Declined;
    if (!Answered(device.WriteSettings(before.settings.WriteText(false)))) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return AfterUpdate::RestoreFailed;
    }
    return AfterUpdate::Restored;
}

LatestEntry ResolveLatest(DeviceInterface& device, const std::filesystem::path& historyFolder)
{
    LatestEntry latest;
    std::uint32_t id = 0;
    if (!Succeeded(device.GetId(&id)))
        return latest;
    latest.answered = true;
    latest.serial = UnitSerial(id);
    const std::vector<HistoryEntry> entries = ListHistory(historyFolder, latest.serial);
    if (!entries.empty())
        latest.entry = entries.front().path;
    return latest;
}

}  // namespace k64::service
