#pragma once
// The workflows of several exchanges that change or may change a unit's settings, shared by the
// desktop program, k64ctl and its fleet runs. Each runs on the caller's thread against the device
// object it is given and the history folder it is told, and talks to the user only through its
// WorkflowView: no global state, so one thread per unit can run them side by side.

#include "common/message_interface.h"
#include "device/device.h"
#include "parameters/parameter_list.h"
#include "parameters/settings_diff.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace k64::service {

// A message box: its text and caption.
struct BoxText {
    const char* text;
    const char* caption;
};

// What a workflow tells its user besides its boxes. All texts UTF-8.
class WorkflowView {
public:
    virtual ~WorkflowView() = default;
    // Owner of the boxes; null shows them ownerless.
    virtual MessageInterface* MessageOwner() = 0;
    // The unit's settings were kept in the history as `entry`.
    virtual void SettingsKept(const std::string& serial, const std::filesystem::path& entry) = 0;
    // What a write is about to change, or what an update has changed; never called empty.
    virtual void ShowDifferences(const std::vector<SettingDifference>& differences) = 0;
    // An update changed `changed` values of the unit; true writes those kept at `entry` back.
    virtual bool OfferRestore(std::size_t changed, const std::filesystem::path& entry) = 0;
};

// The unit's settings as they were read and kept.
struct KeptSettings {
    ParameterList settings;
    std::string serial;
    std::filesystem::path entry;
};

// Reads the unit's id and settings (one exchange each) into a copy of `schema`; nullopt, with
// `silent` shown, when the unit does not answer.
std::optional<KeptSettings> ReadUnitSettings(DeviceInterface& device, const ParameterList& schema,
                                             WorkflowView& view, BoxText silent);

// ReadUnitSettings, then the settings are stored as a history entry in `historyFolder`. nullopt
// when either fails: `silent` shown for the unit, the folder with its system reason for the store.
std::optional<KeptSettings> KeepUnitSettings(DeviceInterface& device, const ParameterList& schema,
                                             const std::filesystem::path& historyFolder,
                                             WorkflowView& view, BoxText silent);

enum class WriteOutcome {
    Written,  // the unit took the settings ("Настройки записаны." shown)
    TooLong,  // the text does not fit one frame; nothing sent
    NotKept,  // the unit's settings could not be kept first; nothing written
    Failed,   // the port is held elsewhere or the write was not answered
};

// Sends `target` to the unit: under one hold of the port, its current settings are kept in
// `historyFolder` and the changes shown, then the write. An empty folder writes without keeping.
WriteOutcome WriteWithBackup(DeviceInterface& device, const ParameterList& target,
                             const std::filesystem::path& historyFolder, WorkflowView& view);

enum class AfterUpdate {
    Unchanged,      // the unit's settings are those kept before the update
    NotRead,        // the unit did not give its settings back
    Declined,       // they changed and the user kept the new ones
    Restored,       // they changed and were written back
    RestoreFailed,  // they changed and the write back was not answered (box shown)
};

// After a confirmed update: reads the settings back and compares them with `before`; when they
// differ, shows the changes and offers the old ones back.
AfterUpdate CompareAfterUpdate(DeviceInterface& device, const KeptSettings& before,
                               WorkflowView& view);

struct LatestEntry {
    bool answered = false;  // the unit gave its id
    std::string serial;
    std::optional<std::filesystem::path> entry;  // none when the history has nothing of it
};

// The newest entry in `historyFolder` of the unit on `device`, found by its id.
LatestEntry ResolveLatest(DeviceInterface& device, const std::filesystem::path& historyFolder);

}  // namespace k64::service
