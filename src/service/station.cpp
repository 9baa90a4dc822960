#include "service/station.h"

#include "common/error_reason.h"
#include "common/shared_texts.h"
#include "device/protocol.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "platform/port_catalog.h"
#include "service/firmware_workflow.h"
#include "service/port_failure_text.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/timer_pump.h"
#include "update/update_constants.h"
#include "update/update_view.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace k64::service {
namespace {

using Clock = std::chrono::steady_clock;

// A plugged cable makes several changes in a row (the node, its links, their permissions); they
// are looked at together once they have settled.
constexpr std::chrono::milliseconds kSettle{200};
// A port that cannot be opened yet (udev has not given it its group, a modem manager probes it)
// is tried again this often, as long as a unit would have to answer.
constexpr std::chrono::milliseconds kReopenInterval{250};
// Run's wait when nothing is due: long, as only the watch and Wake end it.
constexpr std::chrono::hours kIdleWait{24};

// The steps as the log names them, and as the live line shows them.
struct StepName {
    const char* log;
    const char* shown;
};
constexpr StepName kFirmwareStep{"firmware", "прошивка"};
constexpr StepName kSoundStep{"sound", "звук"};
constexpr StepName kSettingsStep{"settings", "настройки"};

constexpr const char* kStopped = "прервано";
constexpr const char* kNoImage = "встроенная прошивка недоступна";
constexpr const char* kNoSound = "встроенные звуковые данные недоступны";
constexpr const char* kAfterUpdateNotRead =
    "настройки после обновления не прочитаны, прежние сохранены в истории";

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// "2026-12-08T11:30:05Z": UTC, so that logs of several machines sort together.
std::string UtcText(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(when);
    const year_month_day date(day);
    const hh_mm_ss time(floor<seconds>(when - day));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

}  // namespace

struct Station::Worker {
    std::string port;
    std::thread thread;
    bool finished = false;  // under the station's mutex
};

// One unit's job on its own thread: the window the transfers and the settings workflows talk
// to, answering their questions as the station's job says and keeping the box that tells why a
// step failed.
class Station::UnitRun final : public UpdateView, public WorkflowView, public MessageInterface {
public:
    UnitRun(Station& station, StationUnit& unit, DeviceInterface& device)
        : station_(station), unit_(unit), device_(device)
    {
    }

    // The steps in order, until one fails; the unit's error says why.
    std::string RunJob()
    {
        const StationJob& job = station_.job_;
        const bool ok = (!job.firmware || Step(kFirmwareStep, [this] { return Firmware(); })) &&
                        (!job.sound || Step(kSoundStep, [this] { return Sound(); })) &&
                        (!job.settings || Step(kSettingsStep, [this] { return Settings(); }));
        return ok ? std::string() : error_.empty() ? std::string(texts::kDeviceBusy) : error_;
    }

    MessageInterface* MessageOwner() override { return this; }

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override
    {
        if (buttons == MessageButtons::Ok) {
            if (caption != texts::kMessage)
                error_ = text;
            return MessageAnswer::Ok;
        }
        // Running the station is the answer to the questions before an update; a unit that is
        // not older is updated only when the job says so.
        if (text == update::text::kNotOlderQuestion)
            return station_.job_.forceFirmware ? MessageAnswer::Yes : MessageAnswer::No;
        return buttons == MessageButtons::OkCancel ? MessageAnswer::Ok : StayAnswer(buttons);
    }

    // The transfers' window: the timers are flags the pump reads, the bar the live line's
    // percentage.
    void AppendLog(const std::string&) override {}
    void SetTitle(const std::string&) override {}
    void SetProgressMin(int min) override { min_ = min; }
    void SetProgressMax(int max) override { max_ = max; }
    void SetProgressStep(int step) override { step_ = step; }
    void SetProgressPosition(int position) override { position_ = position; }
    void StepProgress() override
    {
        position_ += step_;
        if (max_ > min_)
            station_.Progress(unit_, (position_ - min_) * 100 / (max_ - min_));
    }
    void SetBlowButtonCaption(const std::string&) override {}
    void SetBlowButtonEnabled(bool) override {}
    void FocusBlowButton() override {}
    void SetWaveButtonCaption(const std::string&) override {}
    void SetTimer1Enabled(bool enabled) override { timer1_ = enabled; }
    void SetTimer2Enabled(bool enabled) override { timer2_ = enabled; }

    // The settings workflows: the history keeps the entry, the changes need no showing, the
    // settings an update changed go back (the job's own settings come after them), and a unit
    // whose settings cannot be kept is not changed.
    void SettingsKept(const std::string&, const std::filesystem::path&) override {}
    void ShowDifferences(const std::vector<SettingDifference>&) override {}
    bool OfferRestore(std::size_t, const std::filesystem::path&) override { return true; }
    bool ContinueWithoutBackup(const std::string& why) override
    {
        error_ = why;
        return false;
    }
    void ReadBack(const std::vector<std::string>&) override {}

private:
    template <typename Run>
    bool Step(const StepName& name, Run run)
    {
        if (station_.stopped_()) {
            error_ = kStopped;
            return false;
        }
        station_.Stage(unit_, name.shown);
        const Clock::time_point start = Clock::now();
        const bool ok = run();
        const std::lock_guard lock(station_.mutex_);
        unit_.steps.push_back({name.log, ok, Since(start)});
        return ok;
    }

    bool Firmware()
    {
        FirmwareUpdate firmware(*this);
        if (!firmware.LoadFirmwareImage()) {
            error_ = kNoImage;
            return false;
        }
        std::optional<FirmwareSafetyNet> net;
        if (!station_.job_.historyFolder.empty())
            net.emplace(firmware, station_.schema_, station_.job_.historyFolder, *this);
        firmware.BlowUpdateButtonClick(&device_);
        update::PumpTimer(
            update::kTimer1Interval,
            [&] {
                if (station_.stopped_())
                    firmware.Stop();
                return timer1_;
            },
            [&] { firmware.Timer1Timer(&device_); });
        switch (firmware.Outcome()) {
        case UpdateOutcome::Declined: return true;  // not older, and not to be forced
        case UpdateOutcome::Committed: break;
        case UpdateOutcome::Stopped: error_ = kStopped; return false;
        default: return false;
        }
        switch (net ? net->AfterTick(device_).value_or(AfterUpdate::Unchanged)
                    : AfterUpdate::Unchanged) {
        case AfterUpdate::NotRead: error_ = kAfterUpdateNotRead; return false;
        case AfterUpdate::RestoreFailed: return false;
        default: return true;
        }
    }

    bool Sound()
    {
        SoundUpdate sound(*this);
        if (!sound.LoadSoundData()) {
            error_ = kNoSound;
            return false;
        }
        sound.WaveUpdateButtonClick(&device_);
        update::PumpTimer(
            update::kTimer2Interval,
            [&] {
                if (station_.stopped_())
                    sound.Stop();
                return timer2_;
            },
            [&] { sound.Timer2Timer(&device_); });
        if (sound.Outcome() == UpdateOutcome::Stopped)
            error_ = kStopped;
        return sound.Outcome() == UpdateOutcome::Committed;
    }

    bool Settings()
    {
        const StationJob& job = station_.job_;
        return WriteWithBackup(device_, *job.settings, job.historyFolder, *this, job.write) ==
               WriteOutcome::Written;
    }

    Station& station_;
    StationUnit& unit_;
    DeviceInterface& device_;
    std::string error_;  // the last box that was no plain message
    int min_ = 0, max_ = 100, step_ = 1, position_ = 0;
    bool timer1_ = false, timer2_ = false;
};

Station::Station(const ParameterList& schema, StationJob job, StationOptions options,
                 StationView& view)
    : schema_(schema), job_(std::move(job)), options_(std::move(options)), view_(view),
      watch_([this] {
          std::vector<std::string> folders = PortFolders();
          folders.insert(folders.end(), options_.folders.begin(), options_.folders.end());
          return folders;
      }())
{
    // What is plugged in once the watch is set is no unit of this run, unless the user says so:
    // from here on every port that appears is told by the watch.
    for (const std::string& port : WatchedPorts(options_.folders))
        present_.insert(port);
    if (!options_.log.empty())
        log_ = AppendFile::Create(options_.log, true);
}

Station::~Station()
{
    // Run joins its workers; a station that never ran has none.
    for (Worker& worker : workers_)
        if (worker.thread.joinable())
            worker.thread.join();
}

std::string Station::Failure() const
{
    if (!watch_.Failure().empty())
        return watch_.Failure();
    if (log_ && log_->Error() != 0) {
        const std::u8string name = options_.log.u8string();
        return "Не удалось открыть журнал " + std::string(name.begin(), name.end()) + ": " +
               ErrorReason(log_->Error());
    }
    return {};
}

bool Station::Stopping() const
{
    if (stopped_())
        return true;
    const std::lock_guard lock(mutex_);
    return options_.count != 0 && taken_ >= options_.count;
}

std::vector<StationUnit> Station::Run(const std::function<bool()>& stopped)
{
    stopped_ = stopped;
    if (options_.includePresent) {
        for (const std::string& port : present_)
            Start(port);
    }
    // When the ports are to be looked at again: once the changes that woke the wait settle.
    constexpr Clock::time_point kNoRescan = Clock::time_point::max();
    Clock::time_point rescan = kNoRescan;
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            // A finished worker touches nothing of the station any more.
            workers_.remove_if([](Worker& worker) {
                if (!worker.finished)
                    return false;
                worker.thread.join();
                return true;
            });
            const bool counted = options_.count != 0 && done_ >= options_.count;
            if (workers_.empty() && (counted || stopped_()))
                break;
        }
        const auto limit =
            rescan == kNoRescan
                ? std::chrono::milliseconds(kIdleWait)
                : std::chrono::ceil<std::chrono::milliseconds>(rescan - Clock::now());
        if (watch_.Wait(limit))
            rescan = Clock::now() + kSettle;
        if (Clock::now() >= rescan) {
            rescan = kNoRescan;
            if (!Stopping())
                Rescan();
        }
    }
    const std::lock_guard lock(mutex_);
    return {units_.begin(), units_.end()};
}

void Station::Rescan()
{
    std::set<std::string> now;
    for (const std::string& port : WatchedPorts(options_.folders)) {
        // Once per plug-in: a port that stayed is not taken again.
        if (!present_.count(port))
            Start(port);
        now.insert(port);
    }
    present_ = std::move(now);
}

void Station::Start(const std::string& port)
{
    const std::lock_guard lock(mutex_);
    Worker& worker = workers_.emplace_back();
    worker.port = port;
    worker.thread = std::thread([this, &worker] {
        Work(worker);
        {
            const std::lock_guard done(mutex_);
            worker.finished = true;
        }
        watch_.Wake();
    });
}

void Station::Work(Worker& worker)
{
    UnitDevice unitDevice(worker.port);
    TDevice& device = unitDevice.Device();
    std::uint32_t id = 0;
    const Clock::time_point giveUp = Clock::now() + protocol::kReplyTimeout;
    std::string why;
    while (!Succeeded(device.GetId(&id))) {
        why = PortFailureLine(worker.port, device.TakePortFailure());
        if (!why.empty() && Clock::now() < giveUp && !stopped_()) {
            std::this_thread::sleep_for(kReopenInterval);
            continue;
        }
        if (why.empty())
            why = SilenceLine(device.TakeSilence());
        if (why.empty())
            why = texts::kDeviceBusy;
        break;
    }
    if (!why.empty()) {
        const std::lock_guard lock(mutex_);
        view_.PortPassed(worker.port, why);
        return;
    }
    StationUnit* unit = nullptr;
    {
        const std::lock_guard lock(mutex_);
        if (stopped_() || (options_.count != 0 && taken_ >= options_.count))
            return;
        ++taken_;
        unit = &units_.emplace_back();
        unit->port = worker.port;
        unit->serial = UnitSerial(id);
        unit->started = std::chrono::system_clock::now();
        view_.UnitChanged(*unit);
    }
    const Clock::time_point start = Clock::now();
    const std::string error = UnitRun(*this, *unit, device).RunJob();

    const std::lock_guard lock(mutex_);
    unit->finished = true;
    unit->ok = error.empty();
    unit->error = error;
    unit->stage.clear();
    unit->percent = -1;
    unit->seconds = Since(start);
    ++done_;
    failed_ += unit->ok ? 0 : 1;
    // Written through at once, so that a station killed later keeps this unit.
    if (log_ && log_->Error() == 0 && !log_->Append(StationLogLine(*unit)))
        view_.LogFailed(ErrorReason(log_->Error()));
    view_.UnitDone(*unit, done_, failed_);
}

void Station::Stage(StationUnit& unit, const char* stage)
{
    const std::lock_guard lock(mutex_);
    unit.stage = stage;
    unit.percent = -1;
    view_.UnitChanged(unit);
}

void Station::Progress(StationUnit& unit, int percent)
{
    const std::lock_guard lock(mutex_);
    if (percent == unit.percent)
        return;
    unit.percent = percent;
    view_.UnitChanged(unit);
}

std::string StationLogLine(const StationUnit& unit)
{
    using Json = nlohmann::json;
    Json steps = Json::array();
    for (const StationStep& step : unit.steps)
        steps.push_back({{"name", step.name}, {"ok", step.ok}, {"seconds", step.seconds}});
    const Json line = {{"port", unit.port},
                       {"serial", unit.serial},
                       {"steps", std::move(steps)},
                       {"ok", unit.ok},
                       {"error", unit.ok ? Json(nullptr) : Json(unit.error)},
                       {"started", UtcText(unit.started)},
                       {"seconds", unit.seconds}};
    // A port's name may hold bytes that are no UTF-8; they are replaced, not allowed to cost the
    // whole line.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace k64::service
