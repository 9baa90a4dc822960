#pragma once
// The service station: units are taken as they are plugged in and each gets the same job on a
// thread of its own (firmware, sound, settings, each step optional), until a stop or until a
// given number of units is done. Every unit that was taken ends as one JSON line in the log.

#include "parameters/parameter_list.h"
#include "platform/port_watch.h"
#include "service/fleet.h"
#include "service/settings_workflows.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace k64 {
class AppendFile;
}

namespace k64::service {

// What every unit gets, in this order.
struct StationJob {
    bool firmware = false;       // when the unit's version is older than the embedded image's
    bool forceFirmware = false;  // also when it is equal or newer
    bool sound = false;
    std::optional<ParameterList> settings;  // written with `write`, as WriteWithBackup does
    WriteOptions write;
    // Where the unit's settings are kept before a change; empty keeps nothing.
    std::filesystem::path historyFolder;
};

struct StationOptions {
    std::vector<std::string> folders;  // besides the port list: terminals and links appear here
    bool includePresent = false;       // the ports there at the start are taken too
    std::size_t count = 0;             // units to take, then end; 0 until stopped
    std::filesystem::path log;         // JSON Lines, appended; empty for none
};

struct StationStep {
    std::string name;  // "firmware", "sound", "settings"
    bool ok = false;
    double seconds = 0;
};

// A unit taken by the station: its port and serial, what it does now, and how it ended.
struct StationUnit : UnitResult {
    std::string stage;  // the step under way, in the user's words
    int percent = -1;   // of the step's transfer; -1 while none runs
    std::vector<StationStep> steps;
    std::chrono::system_clock::time_point started;
};

// What the station tells its user. The calls come one at a time, from any of its threads.
class StationView {
public:
    virtual ~StationView() = default;
    // A port that gives no unit (`why`, a fact in the user's words); it is not asked again
    // until it has gone.
    virtual void PortPassed(const std::string& port, const std::string& why) = 0;
    // A unit was taken, or its stage or progress changed.
    virtual void UnitChanged(const StationUnit& unit) = 0;
    // A unit is done (see its ok and error); `done` and `failed` count the run's units so far.
    virtual void UnitDone(const StationUnit& unit, std::size_t done, std::size_t failed) = 0;
    // The log could not take a unit's line (`why`); the unit's result stands.
    virtual void LogFailed(const std::string& why) = 0;
};

class Station {
public:
    // `schema` is the parameter list the units' settings are read into; it and `view` outlive
    // the station. The ports that are there when it is made are the ones present at the start.
    Station(const ParameterList& schema, StationJob job, StationOptions options, StationView& view);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Why the station cannot follow the ports or append to its log; empty when it can run.
    std::string Failure() const;

    // Takes units as their ports appear until `stopped()` answers true or `count` units are
    // done. After a stop no unit is taken, and the running ones end at a block boundary, without
    // a commit. Returns every unit taken, in the order they were.
    std::vector<StationUnit> Run(const std::function<bool()>& stopped);

    // Ends Run's wait to look at `stopped` again: from another thread or a signal handler.
    void Wake() { watch_.Wake(); }

private:
    struct Worker;
    class UnitRun;

    // The ports that appeared since the last look each get a worker.
    void Rescan();
    void Start(const std::string& port);
    // A worker's life: the probe, then the unit's job, once it may be taken.
    void Work(Worker& worker);
    // No more units are taken: a stop, or as many as were asked for.
    bool Stopping() const;
    // The unit's live line changed.
    void Stage(StationUnit& unit, const char* stage);
    void Progress(StationUnit& unit, int percent);

    const ParameterList& schema_;
    const StationJob job_;
    const StationOptions options_;
    StationView& view_;
    PortWatch watch_;
    std::unique_ptr<AppendFile> log_;
    std::function<bool()> stopped_;

    mutable std::mutex mutex_;  // the units, the counts and every call of the view
    std::deque<StationUnit> units_;
    std::size_t taken_ = 0, done_ = 0, failed_ = 0;
    std::list<Worker> workers_;
    // The ports there at the last look; only Run's thread uses it.
    std::set<std::string> present_;
};

// One unit's log line: {"port", "serial", "steps": [{"name", "ok", "seconds"}], "ok", "error",
// "started", "seconds"}, with a line feed.
std::string StationLogLine(const StationUnit& unit);

}  // namespace k64::service
