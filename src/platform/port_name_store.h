#pragma once
// Where the chosen port name outlives a run: the registry value "Port" on Windows (the user's
// copy when the machine's key cannot be written), the user's QSettings file elsewhere, and the
// INI file of a portable copy wherever it has one (platform/portable.h). The back end is a whole
// file chosen by the build.

#include "device/port_store.h"

#include <string>

namespace k64 {

// The key of the port name in a portable copy's INI file.
inline constexpr const char* kPortableKey = "Port";

class SystemPortNameStore final : public PortNameStore {
public:
    std::string Load() override;
    void Save(const std::string& name) override;
};

}  // namespace k64
