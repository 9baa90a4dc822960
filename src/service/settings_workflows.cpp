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

std::optional<KeptSettings> ReadUnitSettings(DeviceInterface& device, const ParameterList& schema,
                                             WorkflowView& view, BoxText silent)
{
    std::uint32_t id = 0;
    std::string text;
    if (!Succeeded(device.GetId(&id)) || !Succeeded(device.ReadSettings(&text))) {
        Show(view, silent.text, silent.caption);
        return std::nullopt;
    }
    KeptSettings kept{schema, UnitSerial(id), {}};
    kept.settings.ReadText(std::move(text));
    return kept;
}

std::optional<KeptSettings> KeepUnitSettings(DeviceInterface& device, const ParameterList& schema,
                                             const std::filesystem::path& historyFolder,
                                             WorkflowView& view, BoxText silent)
{
    std::optional<KeptSettings> kept = ReadUnitSettings(device, schema, view, silent);
    if (!kept)
        return std::nullopt;
    const StoredEntry stored = StoreHistoryEntry(historyFolder, kept->serial, kept->settings);
    if (!stored.result.Ok()) {
        Show(view, DescribeStoreFailure(stored), texts::kError);
        return std::nullopt;
    }
    kept->entry = stored.path;
    view.SettingsKept(kept->serial, kept->entry);
    return kept;
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
    if (!historyFolder.empty()) {
        const std::optional<KeptSettings> kept = KeepUnitSettings(
            device, target, historyFolder, view, {texts::kDeviceBusy, texts::kError});
        if (!kept)
            return WriteOutcome::NotKept;
        if (const auto differences = DiffSettings(kept->settings, target); !differences.empty())
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
