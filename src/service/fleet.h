#pragma once
// One operation on many units at once: a thread per unit, each with a device object of its own
// (and so a port lock of its own), and the search for units that asks every port at once.

#include "device/device.h"
#include "device/port_store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The id of the unit on each of `ports`, asked on all of them at once, so that the search costs
// one reply time-out however many ports are silent; nullopt where no unit answered.
std::vector<std::optional<std::uint32_t>> ProbeUnits(const std::vector<std::string>& ports);

}  // namespace k64::service
