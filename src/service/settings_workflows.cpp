#include "service/settings_workflows.h"

#include "common/shared_texts.h"
#include "device/port_hold.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "service/shown_text.h"

namespace k64::service {
namespace {

void Show(WorkflowView& view, const std::string& text, const char* caption)
{
    ShowMessage(view.MessageOwner(), text, caption, MessageButtons::Ok);
}

// The unit's settings in a copy of `schema`, or nullopt when it does not give them.
std::optional<ParameterList> ReadUnitSettings(DeviceInterface& device, const ParameterList& schema)
{
    std::string text;
    if (!Succeeded(device.ReadSettings(&text)))
        return std::nullopt;
    ParameterList settings = schema;
    settings.ReadText(std::move(text));
    return settings;
}

// The settings as a frame carries them; a box says so when they do not fit one.
bool FitsOneFrame(const ParameterList& settings, WorkflowView& view)
{
    const std::size_t size = settings.WriteText(false).size();
    if (size <= kMaxSettingsText)
        return true;
    Show(view, texts::SettingsTooLong(size, kMaxSettingsText), texts::kError);
    return false;
}

// `unit` with the values of `keys` taken from `preset`.
ParameterList Merged(ParameterList unit, const ParameterList& preset,
                     const std::vector<std::string>& keys)
{
    for (const std::string& key : keys) {
        if (const int index = preset.IndexOfKey(key); index >= 0)
            unit.SetValue(key, preset.parameters[static_cast<std::size_t>(index)].value);
    }
    return unit;
}

}  // namespace

Backup KeepUnitSettings(DeviceInterface& device, const ParameterList& schema,
                        const std::filesystem::path& historyFolder, WorkflowView& view)
{
    Backup backup;
    std::optional<ParameterList> settings = ReadUnitSettings(device, schema);
    if (!settings) {
        backup.failure = texts::kBackupUnitSilent;
        return backup;
    }
    // The settings are what counts: a unit that keeps its id to itself is filed as unknown.
    std::uint32_t id = 0;
    const std::string serial = Succeeded(device.GetId(&id)) ? UnitSerial(id) : kUnknownUnit;
    backup.kept = KeptSettings{std::move(*settings), serial, {}};
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
                             const std::filesystem::path& historyFolder, WorkflowView& view,
                             const WriteOptions& options)
{
    // A whole set is measured before any exchange, a merged one once it is made.
    if (!options.merge && !FitsOneFrame(target, view))
        return WriteOutcome::TooLong;
    // One hold over the backup, the write and the read-back: nothing can change the unit in
    // between.
    const PortHold hold(device);
    if (!hold) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return WriteOutcome::Failed;
    }
    const SafetyNet net = KeepBeforeChange(device, target, historyFolder, view);
    if (!net.proceed)
        return WriteOutcome::NotKept;
    std::optional<ParameterList> sent = target;
    if (options.merge) {
        sent = net.kept ? net.kept->settings : ReadUnitSettings(device, target);
        if (!sent) {
            Show(view, texts::kDeviceBusy, texts::kError);
            return WriteOutcome::Failed;
        }
        *sent = Merged(std::move(*sent), target, options.keys);
        if (!FitsOneFrame(*sent, view))
            return WriteOutcome::TooLong;
    }
    if (net.kept) {
        if (const auto differences = DiffSettings(net.kept->settings, *sent); !differences.empty())
            view.ShowDifferences(differences);
    }
    if (!Answered(device.WriteSettings(sent->WriteText(false)))) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return WriteOutcome::Failed;
    }
    Show(view, texts::kSettingsWritten, texts::kMessage);
    if (options.verify && !VerifyWritten(device, *sent, view))
        return WriteOutcome::NotVerified;
    return WriteOutcome::Written;
}

bool VerifyWritten(DeviceInterface& device, const ParameterList& sent, WorkflowView& view)
{
    const std::optional<ParameterList> held = ReadUnitSettings(device, sent);
    if (!held) {
        Show(view, texts::kReadBackSilent, texts::kError);
        return false;
    }
    std::vector<std::string> lines;
    for (const SettingDifference& d : DiffSettings(sent, *held)) {
        lines.push_back(ForTerminal(d.name) + " (" + ForTerminal(d.key) + "): записано «" +
                        ForTerminal(d.before) + "», прочитано «" + ForTerminal(d.after) + "»");
    }
    if (!lines.empty()) {
        std::string text = texts::kReadBackDiffers;
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += (i == 0 ? " " : "; ") + lines[i];
        Show(view, text, texts::kError);
    }
    view.ReadBack(lines);
    return lines.empty();
}

AfterUpdate CompareAfterUpdate(DeviceInterface& device, const KeptSettings& before,
                               WorkflowView& view)
{
    const PortHold hold(device);
    const std::optional<ParameterList> after =
        hold ? ReadUnitSettings(device, before.settings) : std::nullopt;
    if (!after)
        return AfterUpdate::NotRead;
    const std::vector<SettingDifference> differences = DiffSettings(before.settings, *after);
    if (differences.empty())
        return AfterUpdate::Unchanged;
    view.ShowDifferences(differences);
    if (!view.OfferRestore(differences.size(), before.entry))
        return AfterUpdate::Declined;
    if (!Answered(device.WriteSettings(before.settings.WriteText(false)))) {
        Show(view, texts::kDeviceBusy, texts::kError);
        return AfterUpdate::RestoreFailed;
    }
    return VerifyWritten(device, before.settings, view) ? AfterUpdate::Restored
                                                        : AfterUpdate::RestoreFailed;
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
