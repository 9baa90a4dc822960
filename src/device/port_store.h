#pragma once
// What the device object needs from the platform: where the chosen port name is kept between
// runs, and which ports exist to be probed. The platform layer implements both (registry or
// QSettings, present USB serial devices); tests pass their own.

#include <string>
#include <vector>

namespace k64 {

class PortNameStore {
public:
    virtual ~PortNameStore() = default;
    // The stored name, or an empty text when none was ever stored.
    virtual std::string Load() = 0;
    virtual void Save(const std::string& name) = 0;
};

class PortCatalog {
public:
    virtual ~PortCatalog() = default;
    // Names to probe when searching for the unit, in probing order.
    virtual std::vector<std::string> Candidates() = 0;
};

}  // namespace k64
