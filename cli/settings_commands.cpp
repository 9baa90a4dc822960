#include "settings_commands.h"

#include "display.h"
#include "json_output.h"
#include "session.h"
#include "common/shared_texts.h"
#include "parameters/settings_diff.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "parameters/validate_value.h"
#include "platform/history_folder.h"
#include "service/port_hold.h"

#include <cstdio>
#include <string>
#include <vector>

namespace k64::cli {
namespace {

namespace fs = std::filesystem;
using service::PortHold;

// The desktop program's boxes, with its texts.
constexpr const char* kNotConnectedLoading = texts::kDeviceBusyStop;
constexpr const char* kNotConnected = texts::kDeviceBusy;
constexpr const char* kErrorCaption = texts::kError;

// The history source of diff and restore: the newest entry of the unit on the port.
constexpr const char* kLatest = "latest";
// The unit itself as a source of diff.
constexpr const char* kUnit = "unit";

// Reads a settings file into `list` with the refusals of a write: a file that is no settings
// text is the caller's mistake (2), like a value outside its limits unless `force`; every
// refusal is named before giving up, not just the first. 0 when the list may be sent.
int LoadForWrite(const fs::path& path, ParameterList& list, bool force, TerminalMessages& messages)
{
    const SettingsFileResult read = ReadSettingsFile(path, list);
    if (!read.Ok()) {
        ShowMessage(&messages, DescribeSettingsFileResult(read, path), kErrorCaption);
        // --force does not send these: they would set every value on the unit back to its default.
        const bool notSettings = read.status == SettingsFileStatus::ControlBytes ||
                                 read.status == SettingsFileStatus::NoKnownKey;
        return notSettings ? kExitUsage : kExitFailure;
    }
    for (const std::string& skipped : read.skipped)
        std::fprintf(ErrorStream(), "k64ctl: строка пропущена: %s\n", ForTerminal(skipped).c_str());
    if (read.skippedCount > read.skipped.size())
        std::fprintf(ErrorStream(), "k64ctl: пропущено ещё строк: %zu\n",
                     read.skippedCount - read.skipped.size());
    if (force)
        return kExitSuccess;
    // Only what differs from its default is sent, so that is what has to pass the limits.
    bool refused = false;
    for (const Parameter& p : list.parameters) {
        if (p.IsDefault())
            continue;
        if (const auto reason = ValidateValue(p, p.value)) {
            ShowMessage(&messages, ForTerminal(p.key) + ": " + *reason, kValueRefusedCaption);
            refused = true;
        }
    }
    return refused ? kExitUsage : kExitSuccess;
}

// Sends `target` to the unit: first its current settings go to the history and the changes are
// listed (unless `noBackup`), then the write. One hold covers both, so nothing can change the
// unit in between.
int WriteWithBackup(DeviceInterface& device, const ParameterList& target, bool noBackup,
                    TerminalMessages& messages)
{
    const std::string text = target.WriteText(false);
    if (text.size() > kMaxSettingsText) {
        ShowMessage(&messages, texts::SettingsTooLong(text.size(), kMaxSettingsText),
                    kErrorCaption);
        return kExitFailure;
    }
    const PortHold hold(device);
    if (!hold) {
        ShowMessage(&messages, kNotConnected, kErrorCaption);
        return kExitFailure;
    }
    if (!noBackup) {
        ParameterList current = target;
        std::string serial;
        if (!ReadUnitSettings(device, current, &serial, messages) ||
            !StoreBackup(current, serial, messages))
            return kExitFailure;
        PrintDifferences(current, target);
    }
    if (!Answered(device.WriteSettings(text))) {
        ShowMessage(&messages, kNotConnected, kErrorCaption);
        return kExitFailure;
    }
    ShowMessage(&messages, texts::kSettingsWritten, texts::kMessage);
    return kExitSuccess;
}

// The newest history entry of the unit on the port; nullopt, with the reason shown, when the
// unit does not answer or has none.
std::optional<fs::path> LatestEntry(DeviceInterface& device, TerminalMessages& messages)
{
    std::uint32_t id = 0;
    if (!Succeeded(device.GetId(&id))) {
        ShowMessage(&messages, kNotConnectedLoading, texts::kLoadImpossible);
        return std::nullopt;
    }
    const std::vector<HistoryEntry> entries = ListHistory(HistoryFolder(), UnitSerial(id));
    if (entries.empty()) {
        std::fprintf(ErrorStream(), "k64ctl: в истории нет настроек устройства %s\n",
                     UnitSerial(id).c_str());
        return std::nullopt;
    }
    return entries.front().path;
}

}  // namespace

bool ReadUnitSettings(DeviceInterface& device, ParameterList& list, std::string* serial,
                      TerminalMessages& messages)
{
    std::uint32_t id = 0;
    std::string text;
    if (!Succeeded(device.GetId(&id)) || !Succeeded(device.ReadSettings(&text))) {
        ShowMessage(&messages, kNotConnectedLoading, texts::kLoadImpossible);
        return false;
    }
    *serial = UnitSerial(id);
    list.ReadText(std::move(text));
    return true;
}

bool StoreBackup(const ParameterList& list, const std::string& serial, TerminalMessages& messages)
{
    const StoredEntry stored = StoreHistoryEntry(HistoryFolder(), serial, list);
    if (!stored.result.Ok()) {
        ShowMessage(&messages, DescribeSettingsFileResult(stored.result, stored.path),
                    kErrorCaption);
        return false;
    }
    PrintLine("Настройки устройства " + serial +
              " сохранены в истории: " + EscapedName(stored.path.string()));
    return true;
}

bool SaveSettingsTo(const std::string& output, const ParameterList& list,
                    TerminalMessages& messages)
{
    const fs::path path = PathFromArgument(output);
    const SettingsFileResult saved = WriteSettingsFile(path, list);
    if (!saved.Ok())
        ShowMessage(&messages, DescribeSettingsFileResult(saved, path), kErrorCaption);
    return saved.Ok();
}

bool PrintDifferences(const ParameterList& before, const ParameterList& after)
{
    const std::vector<SettingDifference> differences = DiffSettings(before, after);
    for (const SettingDifference& difference : differences)
        PrintLine(ForTerminal(DifferenceLine(difference)));
    return !differences.empty();
}

int RunWriteSettings(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    // Checked before any exchange: a refused file costs the unit nothing.
    if (const int status =
            LoadForWrite(PathFromArgument(line.operands.at(0)), list, line.force, messages))
        return status;
    Session session(line);
    return WriteWithBackup(session.Device(), list, line.noBackup, messages);
}

int RunRestore(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Session session(line);
    const std::string source = line.operands.empty() ? kLatest : line.operands.front();
    // Resolved before the backup of the write, which becomes the newest entry itself: so
    // "restore latest" right after a write undoes that write.
    fs::path path = PathFromArgument(source);
    if (source == kLatest) {
        const std::optional<fs::path> latest = LatestEntry(session.Device(), messages);
        if (!latest)
            return kExitFailure;
        path = *latest;
        std::fprintf(ErrorStream(), "k64ctl: восстанавливаются настройки из %s\n",
                     EscapedName(path.string()).c_str());
    }
    if (const int status = LoadForWrite(path, list, line.force, messages))
        return status;
    return WriteWithBackup(session.Device(), list, line.noBackup, messages);
}

int RunBackup(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Session session(line);
    std::string serial;
    if (!ReadUnitSettings(session.Device(), list, &serial, messages))
        return kExitFailure;
    if (!StoreBackup(list, serial, messages))
        return kExitFailure;
    return !line.output || SaveSettingsTo(*line.output, list, messages) ? kExitSuccess
                                                                        : kExitFailure;
}

int RunHistory(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Json document = Json::array();
    for (const HistoryEntry& entry : ListHistory(HistoryFolder(), line.unit.value_or(""))) {
        const bool read = ReadSettingsFile(entry.path, list).Ok();
        if (JsonMode()) {
            document.push_back({{"time", entry.time},
                                {"serial", entry.serial},
                                {"changed", read ? Json(ChangedValueCount(list)) : Json(nullptr)},
                                {"path", JsonPath(entry.path)}});
            continue;
        }
        PrintLine(entry.time + '\t' + entry.serial + '\t' +
                  (read ? std::to_string(ChangedValueCount(list)) : "?") + '\t' +
                  EscapedName(entry.path.string()));
    }
    if (JsonMode())
        SetJsonResult(std::move(document));
    return kExitSuccess;
}

int RunDiff(const CommandLine& line, TerminalMessages& messages)
{
    // Like diff(1): 0 the same, 1 different, 2 trouble.
    constexpr int kTrouble = 2;
    ParameterList a(&messages);
    if (!a.LoadError().empty())
        return kTrouble;
    ParameterList b = a;
    Session session(line);
    const auto load = [&](const std::string& source, ParameterList& list) {
        if (source == kUnit) {
            std::string text;
            if (!Succeeded(session.Device().ReadSettings(&text))) {
                ShowMessage(&messages, kNotConnectedLoading, texts::kLoadImpossible);
                return false;
            }
            list.ReadText(std::move(text));
            return true;
        }
        fs::path path = PathFromArgument(source);
        if (source == kLatest) {
            const std::optional<fs::path> latest = LatestEntry(session.Device(), messages);
            if (!latest)
                return false;
            path = *latest;
        }
        const SettingsFileResult read = ReadSettingsFile(path, list);
        if (!read.Ok())
            ShowMessage(&messages, DescribeSettingsFileResult(read, path), kErrorCaption);
        return read.Ok();
    };
    if (!load(line.operands.at(0), a) ||
        !load(line.operands.size() > 1 ? line.operands[1] : kUnit, b))
        return kTrouble;
    if (JsonMode()) {
        Json differences = Json::array();
        for (const SettingDifference& d : DiffSettings(a, b))
            differences.push_back({{"key", JsonText(d.key)},
                                   {"name", JsonText(d.name)},
                                   {"a", JsonText(d.before)},
                                   {"b", JsonText(d.after)}});
        const bool equal = differences.empty();
        SetJsonResult({{"equal", equal}, {"differences", std::move(differences)}});
        return equal ? kExitSuccess : kExitFailure;
    }
    return PrintDifferences(a, b) ? kExitFailure : kExitSuccess;
}

}  // namespace k64::cli
