#pragma once
// The firmware update with its safety net, the same in every front end. An update may reset the
// unit's settings: once its questions are answered and the port is held, the settings go to the
// history before the prepare request (or, when they cannot, the user decides whether to go on
// without them); after a confirmed commit they are read again, compared and offered back.

#include "service/settings_workflows.h"
#include "update/firmware_update.h"

#include <filesystem>
#include <optional>

namespace k64::service {

class FirmwareSafetyNet {
public:
    // Becomes `firmware`'s step before the prepare request. `firmware`, `schema` and `view` must
    // outlive it.
    FirmwareSafetyNet(FirmwareUpdate& firmware, const ParameterList& schema,
                      std::filesystem::path historyFolder, WorkflowView& view);
    FirmwareSafetyNet(const FirmwareSafetyNet&) = delete;
    FirmwareSafetyNet& operator=(const FirmwareSafetyNet&) = delete;

    // After every tick of the transfer: once the unit has confirmed the update, the settings kept
    // before it are compared with what it holds now, once. Nothing while there is nothing to
    // compare (no commit yet, or nothing was kept).
    [[nodiscard]] std::optional<AfterUpdate> AfterTick(DeviceInterface& device);
    // The entry kept before the last update; empty when none was.
    const std::filesystem::path& KeptEntry() const { return entry_; }

private:
    FirmwareUpdate& firmware_;
    const ParameterList& schema_;
    std::filesystem::path folder_;
    WorkflowView& view_;
    std::optional<KeptSettings> kept_;
    std::filesystem::path entry_;
};

}  // namespace k64::service
