#pragma once
// One operation on many units at once: a thread per unit, each with a device object of its own
// (and so a port lock of its own), and the search for units that asks every port at once.

#include "device/device.h"
#include "device/port_store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace k64::service {

// Runs `work(i)` for every i below `count`, on threads of their own, at most `jobs` at a time
// (0: all at once). Once `stopped()` answers true no further i is begun; the ones running finish
// as their work decides. Returns when every begun one has.
void RunConcurrently(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                     const std::function<bool()>& stopped);

// A device object on one port that stores nothing and searches nowhere.
class UnitDevice {
public:
    explicit UnitDevice(const std::string& port);
    TDevice& Device() { return device_; }

private:
    struct FixedName final : PortNameStore {
        std::string name;
        std::string Load() override { return name; }
        void Save(const std::string&) override {}
    };
    struct NoCandidates final : PortCatalog {
        std::vector<std::string> Candidates() override { return {}; }
    };
    FixedName store_;
    NoCandidates catalog_;
    TDevice device_;  // after the two it refers to
};

// One unit of a run on many: its port, and what became of it.
struct UnitResult {
    std::string port;
    std::string serial;  // empty until the unit gave its id
    bool finished = false;
    bool ok = false;
    std::string error;  // what went wrong, in the user's words; empty on success
    double seconds = 0;
};

// What a run does on one unit, whose serial number is known by then: nullopt on success, else
// what went wrong.
using UnitOperation = std::function<std::optional<std::string>(std::size_t)>;

// Runs `operation` on every unit, `unit(i)` being the i-th of `count`, on threads as
// RunConcurrently does. A unit whose serial is not known yet is asked for it first, on a device
// object of its own; one that does not give it fails with `explain` of why (the port's reason
// line, the silence's, or empty for a reply that was no answer), and nothing else is sent to it.
// The results are written under `guard`, so that another thread may read them under it.
void RunOnUnits(std::size_t count, const std::function<UnitResult&(std::size_t)>& unit,
                unsigned jobs, const std::function<bool()>& stopped, const UnitOperation& operation,
                const std::function<std::string(const std::string& fact)>& explain,
                std::mutex& guard);

// The id of the unit on each of `ports`, asked on all of them at once, so that the search costs
// one reply time-out however many ports are silent; nullopt where no unit answered.
std::vector<std::optional<std::uint32_t>> ProbeUnits(const std::vector<std::string>& ports);

}  // namespace k64::service
