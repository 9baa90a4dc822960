#include "station_command.h"

#include "fleet_command.h"
#include "json_output.h"
#include "live_lines.h"
#include "platform/history_folder.h"
#include "service/station.h"
#include "session.h"
#include "settings_commands.h"
#include "stop_signal.h"
#include "terminal.h"
#include "terminal_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace k64::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Redrawing the live lines more often than this only costs CPU; nobody reads faster.
constexpr std::chrono::milliseconds kRedrawInterval{100};

// The station of this call, for the stop signal's handler to wake.
std::atomic<service::Station*> running{nullptr};

void WakeStation()
{
    if (service::Station* station = running.load())
        station->Wake();
}

// On a terminal the units at work have live lines under the results; elsewhere (a pipe, a log)
// each new stage is a line of its own.
class StationScreen final : public service::StationView {
public:
    explicit StationScreen(bool live) : lines_(live) {}

    void PortPassed(const std::string& port, const std::string& why) override
    {
        Print(EscapedName(port) + ": " + WithDoctorHint(why) + "; порт пропущен до отключения");
    }
    void UnitChanged(const service::StationUnit& unit) override
    {
        std::string& shown = atWork_[&unit];
        if (!lines_.Live()) {
            if (unit.stage != shown)
                Print(EscapedName(unit.port) + " " + unit.serial + " " + unit.stage);
            shown = unit.stage;
            return;
        }
        // A new stage at once, the progress at most every redraw interval.
        const Clock::time_point now = Clock::now();
        if (unit.stage != shown || now - drawn_ >= kRedrawInterval) {
            shown = unit.stage;
            drawn_ = now;
            lines_.Draw(Render());
        }
    }
    void UnitDone(const service::StationUnit& unit, std::size_t done, std::size_t failed) override
    {
        atWork_.erase(&unit);
        lines_.Draw(Render());
        const std::string result = unit.ok ? "готово — можно отключать" : "ошибка: " + unit.error;
        Print(EscapedName(unit.port) + " " + unit.serial + " " + result + "\nГотово: " +
              std::to_string(done - failed) + ", с ошибкой: " + std::to_string(failed));
    }
    void LogFailed(const std::string& why) override
    {
        lines_.Above(ErrorStream(), "k64ctl: журнал не дописан: " + why + "\n");
    }

private:
    void Print(const std::string& text) { lines_.Above(TextStream(), text + "\n"); }
    // The units at work; the station's lock is held, so their fields stand still.
    std::string Render() const
    {
        std::size_t portWidth = 0;
        for (const auto& [unit, shown] : atWork_)
            portWidth = std::max(portWidth, EscapedName(unit->port).size());
        std::string lines;
        for (const auto& [unit, shown] : atWork_)
            lines += UnitLine(unit->port, portWidth, unit->serial, unit->stage, unit->percent);
        return lines;
    }

    LiveLines lines_;
    // The units at work, with the stage last shown.
    std::map<const service::StationUnit*, std::string> atWork_;
    Clock::time_point drawn_{};
};

}  // namespace

int RunStation(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList schema(&messages);
    if (!schema.LoadError().empty())
        return kExitFailure;
    service::StationJob job;
    job.firmware = line.updateFirmware;
    job.forceFirmware = line.forceFirmware;
    job.sound = line.updateSound;
    if (!line.noBackup)
        job.historyFolder = HistoryFolder();
    if (line.settings) {
        // Checked before the first unit: a refused file costs no unit anything.
        ParameterList settings = schema;
        if (const int status =
                LoadForWrite(PathFromArgument(*line.settings), line, settings, job.write, messages))
            return status;
        job.settings = std::move(settings);
    }
    service::StationOptions options;
    for (const std::string& folder : line.watch)
        options.folders.push_back(PathFromArgument(folder).string());
    options.includePresent = line.includePresent;
    options.count = line.count;
    if (line.log)
        options.log = PathFromArgument(*line.log);

    StationScreen screen(TakesEscapes(stderr));
    service::Station station(schema, std::move(job), std::move(options), screen);
    if (const std::string failure = station.Failure(); !failure.empty()) {
        PrintError(failure);
        return kExitFailure;
    }
    const ScopedStopSignal stop;
    running = &station;
    stopWake = WakeStation;
    PrintLine(line.count != 0 ? "Станция ждет устройства (" + std::to_string(line.count) +
                                    "); Ctrl-C завершает работу."
                              : "Станция ждет устройства; Ctrl-C завершает работу.");
    std::fflush(TextStream());
    const std::vector<service::StationUnit> units = station.Run([] { return stopRequested != 0; });
    stopWake = nullptr;
    running = nullptr;

    std::vector<const service::UnitResult*> results;
    Json list = Json::array();
    for (const service::StationUnit& unit : units) {
        results.push_back(&unit);
        list.push_back(UnitEntry(unit));
    }
    PrintUnitTable(results);
    if (JsonMode())
        SetJsonResult({{"units", std::move(list)}});
    if (stopRequested != 0)
        return 128 + stopRequested;
    for (const service::StationUnit& unit : units)
        if (!unit.ok)
            return kExitFailure;
    return kExitSuccess;
}

}  // namespace k64::cli
