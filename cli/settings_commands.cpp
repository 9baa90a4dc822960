#include "settings_commands.h"

#include "common/shared_texts.h"
#include "json_output.h"
#include "parameters/settings_diff.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "parameters/validate_value.h"
#include "platform/history_folder.h"
#include "service/settings_workflows.h"
#include "session.h"
#include "terminal_output.h"
#include "workflow_output.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace k64::cli {
namespace {

namespace fs = std::filesystem;

// The history source of diff and restore: the newest entry of the unit on the port.
constexpr const char* kLatest = "latest";
// The unit itself as a source of diff.
constexpr const char* kUnit = "unit";

}  // namespace

int LoadForWrite(const fs::path& path, const CommandLine& line, ParameterList& list,
                 service::WriteOptions& options, TerminalMessages& messages)
{
    const SettingsFileResult read = ReadSettingsFile(path, list);
    if (!read.Ok()) {
        ShowMessage(&messages, DescribeSettingsFileResult(read, path), texts::kError);
        // --force does not send these: they would set every value on the unit back to its
        // default, or send a value other than the one in the file.
        const bool notSettings = read.status == SettingsFileStatus::Binary ||
                                 read.status == SettingsFileStatus::Utf16 ||
                                 read.status == SettingsFileStatus::NoKnownKey ||
                                 read.status == SettingsFileStatus::NotCp1251;
        return notSettings ? kExitUsage : kExitFailure;
    }
    options = {line.merge, read.keys, !line.noVerify};
    // A preset's misspelt key would leave the unit without a value the user means to set.
    const char* skippedNote = line.merge ? "k64ctl: строка не задает известный параметр: %s\n"
                                         : "k64ctl: строка пропущена: %s\n";
    for (const std::string& skipped : read.skipped)
        std::fprintf(ErrorStream(), skippedNote, ForTerminal(skipped).c_str());
    if (read.skippedCount > read.skipped.size())
        std::fprintf(ErrorStream(), "k64ctl: пропущено еще строк: %zu\n",
                     read.skippedCount - read.skipped.size());
    bool refused = line.merge && read.skippedCount > 0;
    if (refused)
        NoteError("в файле " + EscapedPath(path) + " есть строки без известного параметра");
    if (line.force)
        return refused ? kExitUsage : kExitSuccess;
    // What is sent has to pass the limits: of a whole set what differs from its default (the
    // rest is the defaults), of a preset every value it gives.
    for (const Parameter& p : list.parameters) {
        const bool sent =
            line.merge ? std::find(read.keys.begin(), read.keys.end(), p.key) != read.keys.end()
                       : !p.IsDefault();
        if (!sent)
            continue;
        if (const auto reason = ValidateValue(p, p.value)) {
            ShowMessage(&messages, ForTerminal(p.key) + ": " + *reason, texts::kError);
            refused = true;
        }
    }
    return refused ? kExitUsage : kExitSuccess;
}

namespace {

// The settings file `source` names: a file, or for `latest` the newest history entry of the unit
// on the port; nullopt, with the reason shown, when the unit does not answer or has none.
std::optional<fs::path> SourceFile(const std::string& source, DeviceInterface& device,
                                   TerminalMessages& messages)
{
    if (source != kLatest)
        return PathFromArgument(source);
    const service::LatestEntry latest = service::ResolveLatest(device, HistoryFolder());
    if (!latest.answered) {
        ShowMessage(&messages, texts::kDeviceBusyStop, texts::kLoadImpossible);
        return std::nullopt;
    }
    if (!latest.entry)
        PrintError("в истории нет настроек устройства " + latest.serial);
    return latest.entry;
}

int WriteWithBackup(DeviceInterface& device, const ParameterList& target, bool noBackup,
                    const service::WriteOptions& options, TerminalMessages& messages)
{
    TerminalWorkflowView view(messages);
    const service::WriteOutcome outcome = service::WriteWithBackup(
        device, target, noBackup ? fs::path() : HistoryFolder(), view, options);
    return outcome == service::WriteOutcome::Written ? kExitSuccess : kExitFailure;
}

}  // namespace

bool SaveSettingsTo(const std::string& output, const ParameterList& list,
                    TerminalMessages& messages)
{
    const fs::path path = PathFromArgument(output);
    const SettingsFileResult saved = WriteSettingsFile(path, list);
    if (!saved.Ok())
        ShowMessage(&messages, DescribeSettingsFileResult(saved, path), texts::kError);
    return saved.Ok();
}

int CheckSettingsSource(const CommandLine& line, TerminalMessages& messages)
{
    const bool fromFile =
        line.command == "write-settings" ||
        (line.command == "restore" && !line.operands.empty() && line.operands.front() != kLatest);
    if (!fromFile)
        return kExitSuccess;
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    service::WriteOptions options;
    return LoadForWrite(PathFromArgument(line.operands.front()), line, list, options, messages);
}

int RunWriteSettings(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    // Checked before any exchange: a refused file costs the unit nothing.
    service::WriteOptions options;
    if (const int status =
            LoadForWrite(PathFromArgument(line.operands.at(0)), line, list, options, messages))
        return status;
    Session session(line);
    return WriteWithBackup(session.Device(), list, line.noBackup, options, messages);
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
    const std::optional<fs::path> path = SourceFile(source, session.Device(), messages);
    if (!path)
        return kExitFailure;
    if (source == kLatest)
        std::fprintf(ErrorStream(), "k64ctl: восстанавливаются настройки из %s\n",
                     EscapedPath(*path).c_str());
    service::WriteOptions options;
    if (const int status = LoadForWrite(*path, line, list, options, messages))
        return status;
    return WriteWithBackup(session.Device(), list, line.noBackup, options, messages);
}

int RunBackup(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Session session(line);
    TerminalWorkflowView view(messages);
    const service::Backup backup =
        service::KeepUnitSettings(session.Device(), list, HistoryFolder(), view);
    if (!backup.kept) {
        ShowMessage(&messages, texts::kDeviceBusyStop, texts::kLoadImpossible);
        return kExitFailure;
    }
    // The settings were read: --output still gets them when the history could not.
    const bool saved =
        !line.output || SaveSettingsTo(*line.output, backup.kept->settings, messages);
    if (!backup.Stored())
        ShowMessage(&messages, backup.failure, texts::kError);
    return saved && backup.Stored() ? kExitSuccess : kExitFailure;
}

int RunHistory(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Json document = Json::array();
    const fs::path folder = HistoryFolder();
    int error = 0;
    const std::vector<HistoryEntry> entries = ListHistory(folder, line.unit.value_or(""), &error);
    if (error != 0) {
        ShowMessage(&messages, DescribeHistoryFolderFailure(folder, error), texts::kError);
        return kExitFailure;
    }
    for (const HistoryEntry& entry : entries) {
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
                  EscapedPath(entry.path));
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
                ShowMessage(&messages, texts::kDeviceBusyStop, texts::kLoadImpossible);
                return false;
            }
            list.ReadText(std::move(text));
            return true;
        }
        const std::optional<fs::path> path = SourceFile(source, session.Device(), messages);
        if (!path)
            return false;
        const SettingsFileResult read = ReadSettingsFile(*path, list);
        if (!read.Ok())
            ShowMessage(&messages, DescribeSettingsFileResult(read, *path), texts::kError);
        return read.Ok();
    };
    if (!load(line.operands.at(0), a) ||
        !load(line.operands.size() > 1 ? line.operands[1] : kUnit, b))
        return kTrouble;
    const std::vector<SettingDifference> differences = DiffSettings(a, b);
    if (JsonMode()) {
        Json list = Json::array();
        for (const SettingDifference& d : differences)
            list.push_back({{"key", JsonText(d.key)},
                            {"name", JsonText(d.name)},
                            {"a", JsonText(d.before)},
                            {"b", JsonText(d.after)}});
        SetJsonResult({{"equal", differences.empty()}, {"differences", std::move(list)}});
    } else if (!differences.empty()) {
        TerminalWorkflowView(messages).ShowDifferences(differences);
    }
    return differences.empty() ? kExitSuccess : kExitFailure;
}

}  // namespace k64::cli
