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
    // The unit's settings could not be kept before a change (`why`, in the user's words); true
    // goes on without them, false changes nothing.
    virtual bool ContinueWithoutBackup(const std::string& why) = 0;
    // The settings were read back after a write: empty when the unit holds what was sent, else
    // one line per value that differs (UTF-8, naming the key, the value sent and the value
    // read), which a box has shown as well. Not called when the unit did not give them back.
    virtual void ReadBack(const std::vector<std::string>& differing) = 0;
};

// The unit's settings as they were read, and the history entry that keeps them (empty when
// none was stored).
struct KeptSettings {
    ParameterList settings;
    std::string serial;  // kUnknownUnit when the unit did not give its id
    std::filesystem::path entry;
};

// The unit's settings read and stored in the history, or why not.
struct [[nodiscard]] Backup {
    std::optional<KeptSettings> kept;  // what the unit gave, stored or not
    std::string failure;               // why no entry was stored; empty when one was or none was
                                       // to be
    bool Stored() const { return kept && !kept->entry.empty(); }
};

// Reads the unit's settings, then its id (one exchange each; no id is asked of a unit that did
// not give its settings), into a copy of `schema`, and stores them as a history entry in
// `historyFolder` (none when it is empty), told to the view. Shows no box: the failure says
// what went wrong.
Backup KeepUnitSettings(DeviceInterface& device, const ParameterList& schema,
                        const std::filesystem::path& historyFolder, WorkflowView& view);

// Whether a change may go ahead: the settings kept, or the user's leave to go on without them.
struct [[nodiscard]] SafetyNet {
    std::optional<KeptSettings> kept;  // stored in the history
    bool proceed = false;
};

// KeepUnitSettings before a change; when no entry can be stored the view is asked whether to go
// on without one. An empty folder keeps nothing and proceeds.
SafetyNet KeepBeforeChange(DeviceInterface& device, const ParameterList& schema,
                           const std::filesystem::path& historyFolder, WorkflowView& view);

enum class [[nodiscard]] WriteOutcome{
    Written,  // the unit took the settings ("Настройки записаны." shown) and, when asked,
              // holds them when read back
    TooLong,      // the text does not fit one frame; nothing sent
    NotKept,      // the unit's settings could not be kept and the user would not go on; nothing
                  // written
    Failed,       // the port is held elsewhere, or the unit did not give the settings a merge
                  // needs, or the write was not answered
    NotVerified,  // written, but read back the unit holds other values or none (box shown)
};

struct WriteOptions {
    // Only `keys` of the target are set, over the settings the unit holds (read first); the
    // unit keeps every other value. Otherwise the target is sent whole, and the unit takes the
    // defaults of the keys it leaves at them.
    bool merge = false;
    std::vector<std::string> keys;
    // The settings are read back and compared with what was sent.
    bool verify = true;
};

// Sends `target` to the unit: under one hold of the port, its current settings are kept in
// `historyFolder` (KeepBeforeChange) and the changes shown, then the write and the read-back. An
// empty folder writes without keeping.
WriteOutcome WriteWithBackup(DeviceInterface& device, const ParameterList& target,
                             const std::filesystem::path& historyFolder, WorkflowView& view,
                             const WriteOptions& options = {});

// Reads the settings again after a write, with the port held, and compares them with `sent`: the
// view is told, and a difference or a unit that does not answer is shown as a box. True when
// the unit holds what was sent.
[[nodiscard]] bool VerifyWritten(DeviceInterface& device, const ParameterList& sent,
                                 WorkflowView& view);

enum class [[nodiscard]] AfterUpdate{
    Unchanged,      // the unit's settings are those kept before the update
    NotRead,        // the unit did not give its settings back
    Declined,       // they changed and the user kept the new ones
    Restored,       // they changed and were written back, and read back the same
    RestoreFailed,  // they changed and the write back was not answered, or read back other
                    // values (box shown)
};

// After a confirmed update: reads the settings back and compares them with `before`; when they
// differ, shows the changes and offers the old ones back, and reads back what it wrote.
AfterUpdate CompareAfterUpdate(DeviceInterface& device, const KeptSettings& before,
                               WorkflowView& view);

struct [[nodiscard]] LatestEntry {
    bool answered = false;  // the unit gave its id
    std::string serial;
    std::optional<std::filesystem::path> entry;  // none when the history has nothing of it
};

// The newest entry in `historyFolder` of the unit on `device`, found by its id.
LatestEntry ResolveLatest(DeviceInterface& device, const std::filesystem::path& historyFolder);

}  // namespace k64::service
