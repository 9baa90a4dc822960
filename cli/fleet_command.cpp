#include "fleet_command.h"

#include "common/shared_texts.h"
#include "fleet_output.h"
#include "json_output.h"
#include "live_lines.h"
#include "parameters/settings_history.h"
#include "platform/port_catalog.h"
#include "service/fleet.h"
#include "session.h"
#include "settings_commands.h"
#include "stop_signal.h"
#include "terminal.h"
#include "terminal_output.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace k64::cli {
namespace {

// Redrawing the live lines more often than this only costs CPU; nobody reads faster.
constexpr std::chrono::milliseconds kRedrawInterval{100};
// A unit's collected output is shown whole; beyond this it is cut, so a unit that talks without
// end cannot fill the memory.
constexpr long kMaxUnitOutput = 4 * 1024 * 1024;

struct Unit final : service::UnitResult, UnitStatus {
    Unit(std::string onPort, std::string itsSerial)
    {
        port = std::move(onPort);
        serial = std::move(itsSerial);
    }
    std::string stage = "ждет";
    // The command's own document on this unit (--json), merged into its entry.
    Json document;
    int done = 0;
    int total = 0;
    std::mutex* mutex = nullptr;

    void Stage(const std::string& text) override
    {
        const std::lock_guard lock(*mutex);
        stage = text;
    }
    void Progress(int blocks, int of) override
    {
        const std::lock_guard lock(*mutex);
        done = blocks;
        total = of;
    }
};

// The live lines on a terminal and the whole outputs of finished units, never interleaved.
class FleetScreen {
public:
    FleetScreen(std::vector<Unit>& units, bool live) : units_(units), lines_(live)
    {
        for (Unit& unit : units_)
            unit.mutex = &mutex_;
        if (lines_.Live())
            painter_ = std::thread([this] { Paint(); });
    }
    ~FleetScreen()
    {
        {
            const std::lock_guard lock(mutex_);
            over_ = true;
        }
        wake_.notify_all();
        if (painter_.joinable())
            painter_.join();
        // The lines as the units ended, whatever the painter saw last.
        const std::lock_guard lock(mutex_);
        lines_.Draw(Render(), true);
    }
    std::mutex& Mutex() { return mutex_; }

    // The whole output of a unit that finished, above the live lines.
    void Show(const std::string& text)
    {
        const std::lock_guard lock(mutex_);
        lines_.Above(TextStream(), text);
    }

private:
    void Paint()
    {
        std::unique_lock lock(mutex_);
        while (!over_) {
            lines_.Draw(Render());
            wake_.wait_for(lock, kRedrawInterval);
        }
    }
    // One line per unit: port, serial, stage, progress.
    std::string Render() const
    {
        std::size_t portWidth = 0;
        for (const Unit& unit : units_)
            portWidth = std::max(portWidth, EscapedName(unit.port).size());
        std::string lines;
        for (const Unit& unit : units_) {
            const std::string stage =
                unit.finished ? (unit.ok ? "готово" : "ошибка: " + unit.error) : unit.stage;
            const bool running = !unit.finished && unit.total > 0;
            lines += UnitLine(unit.port, portWidth, unit.serial, stage,
                              running ? unit.done * 100 / unit.total : -1);
        }
        return lines;
    }

    std::vector<Unit>& units_;
    LiveLines lines_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool over_ = false;
    std::thread painter_;
};

// A temporary file that collects one unit's output.
class UnitFile {
public:
    UnitFile() : file_(std::tmpfile()) {}
    ~UnitFile()
    {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    UnitFile(const UnitFile&) = delete;
    UnitFile& operator=(const UnitFile&) = delete;
    std::FILE* Get() const { return file_; }
    std::string Text() const
    {
        if (file_ == nullptr)
            return {};
        std::fflush(file_);
        const long size = std::ftell(file_);
        std::string text(static_cast<std::size_t>(std::clamp(size, 0L, kMaxUnitOutput)), '\0');
        std::rewind(file_);
        text.resize(std::fread(text.data(), 1, text.size(), file_));
        return text;
    }

private:
    std::FILE* file_;
};

// The ports to work on: those named, or every port whose unit answers (all asked at once).
std::vector<Unit> FindUnits(const CommandLine& line)
{
    std::vector<Unit> units;
    if (!line.all) {
        for (const std::string& port : line.ports)
            units.emplace_back(port, "");
        return units;
    }
    // What `ports` lists: on Windows the ports that exist, not every number find would try.
    const std::vector<std::string> candidates = PresentPorts();
    const auto ids = service::ProbeUnits(candidates);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (ids[i])
            units.emplace_back(candidates[i], UnitSerial(*ids[i]));
    }
    return units;
}

// The questions of the command, once for all units: true to go ahead.
bool Confirm(const ParseResult& parsed, const std::vector<Unit>& units, TerminalMessages& messages)
{
    if (parsed.line.yes || parsed.asks == nullptr)
        return true;
    std::string ports;
    for (const Unit& unit : units)
        ports += (ports.empty() ? "" : ", ") + EscapedName(unit.port);
    return ShowMessage(&messages,
                       std::string(parsed.asks) +
                           " на устройствах: " + std::to_string(units.size()) + " (" + ports +
                           ")? Вопросы каждого устройства получат ответ «да».",
                       texts::kAttention, MessageButtons::YesNo) == MessageAnswer::Yes;
}

// The line of one unit: its port, its own files, the questions already answered.
CommandLine UnitLine(const CommandLine& line, const Unit& unit)
{
    CommandLine one = line;
    one.ports.clear();
    one.all = false;
    one.port = unit.port;
    one.yes = true;
    // Back to command-line text (UTF-8), as the command reads its file names.
    const auto file = [&](const std::string& folder, const char* extension) {
        const std::u8string name =
            (PathFromArgument(folder) / (unit.serial + extension)).u8string();
        return std::string(name.begin(), name.end());
    };
    if (line.outputDir)
        one.output = file(*line.outputDir, ".txt");
    if (line.csvDir)
        one.csv = file(*line.csvDir, ".csv");
    return one;
}

// The command on one unit whose serial number is known: its output collected and shown whole,
// its progress on its live line.
std::optional<std::string> RunUnit(const CommandLine& line, CommandHandler handler, Unit& unit,
                                   FleetScreen& screen)
{
    UnitFile output;
    int result = kExitFailure;
    {
        const ScopedUnitOutput redirect(output.Get() != nullptr ? output.Get() : stderr);
        const ScopedUnitStatus status(&unit);
        const ScopedJsonCapture capture(&unit.document);
        TerminalMessages messages(ErrorStream(), ErrorStream(), stdin, false);
        NoteError({});
        unit.Stage(line.command);
        result = handler(UnitLine(line, unit), messages);
    }
    if (const std::string text = output.Text(); !text.empty())
        screen.Show("== " + EscapedName(unit.port) + " " + unit.serial + "\n" + text);
    if (result == kExitSuccess)
        return std::nullopt;
    // The last box the unit showed says best what went wrong; else its last log line.
    std::string error = LastError();
    if (error.empty()) {
        const std::lock_guard lock(screen.Mutex());
        error = stopRequested != 0 ? "прервано" : unit.stage;
    }
    return error;
}

}  // namespace

Json UnitEntry(const service::UnitResult& unit, Json document)
{
    Json entry = document.is_object() ? std::move(document) : Json::object();
    entry.update({{"port", unit.port},
                  {"serial", JsonOrNull(unit.serial)},
                  {"ok", unit.ok},
                  {"error", unit.ok ? Json(nullptr) : Json(unit.finished ? unit.error : kNotBegun)},
                  {"seconds", unit.seconds}});
    return entry;
}

int RunFleet(const ParseResult& parsed, TerminalMessages& messages)
{
    const CommandLine& line = parsed.line;
    // A file the write would refuse costs no unit anything, and no time.
    if (const int refused = CheckSettingsSource(line, messages))
        return refused;
    // Held for the whole run: a stop reaches every unit and no further unit begins.
    const ScopedStopSignal stop;
    std::vector<Unit> units = FindUnits(line);
    if (units.empty()) {
        ShowMessage(&messages, texts::kDeviceNotFound, texts::kAttention);
        return stopRequested != 0 ? 128 + stopRequested : kExitFailure;
    }
    if (!Confirm(parsed, units, messages))
        return kExitFailure;
    {
        // Live lines only where they can be redrawn; elsewhere each unit's output comes whole.
        FleetScreen screen(units, TakesEscapes(stderr));
        service::RunOnUnits(
            units.size(), [&](std::size_t i) -> service::UnitResult& { return units[i]; },
            line.jobs, [] { return stopRequested != 0; },
            [&](std::size_t i) { return RunUnit(line, parsed.run, units[i], screen); },
            [](const std::string& fact) {
                return fact.empty() ? std::string(texts::kDeviceBusyStop) : WithDoctorHint(fact);
            },
            screen.Mutex());
    }
    std::vector<const service::UnitResult*> results;
    Json list = Json::array();
    for (const Unit& unit : units) {
        results.push_back(&unit);
        list.push_back(UnitEntry(unit, unit.document));
    }
    PrintUnitTable(results);
    if (JsonMode())
        SetJsonResult({{"units", std::move(list)}});
    if (stopRequested != 0)
        return 128 + stopRequested;
    for (const Unit& unit : units)
        if (!unit.ok)
            return kExitFailure;
    return kExitSuccess;
}

}  // namespace k64::cli
