#pragma once
// The settings history: a folder of settings files, one for each time a unit's settings were
// seen before they could be lost (read in the desktop program, or about to be replaced by
// k64ctl), so that an owner's PIN and phone numbers can always be brought back.
//
// An entry is an ordinary settings file (it opens like any other), named after when and which
// unit it was taken from:
//   YYYY-MM-DD_HH-MM-SS_<serial>.txt    local time; the serial as `k64ctl id` prints it
//   YYYY-MM-DD_HH-MM-SS_<serial>_2.txt  a second entry of that unit within the same second
// An entry equal to the newest one of its unit is not written again. Entries are written once,
// atomically, and never changed.

#include "parameters/parameter_list.h"
#include "parameters/settings_file.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace k64 {

// The serial of an entry whose unit did not say who it is.
inline constexpr const char* kUnknownUnit = "unknown";

// The id as entry names and `k64ctl id` show it: signed 32-bit, so ids from 2^31 are negative.
std::string UnitSerial(std::uint32_t id);

struct HistoryEntry {
    std::filesystem::path path;
    std::string time;  // "YYYY-MM-DD HH:MM:SS"
    std::string serial;
    int sequence = 1;  // 2, 3, ... for later entries of one unit within one second
};

// The entry a file name describes (path left empty); false for a name of another form.
bool ParseHistoryName(const std::string& name, HistoryEntry* entry);

// The entries in `folder`, newest first; only those of `serial` when it is not empty. Names of
// another form are passed over; a missing folder has no entries.
std::vector<HistoryEntry> ListHistory(const std::filesystem::path& folder,
                                      const std::string& serial = {});

struct StoredEntry {
    SettingsFileResult result;
    std::filesystem::path path;  // the new entry, or the newest one that already held the same
    bool written = false;
};

// Stores the settings file text of `list` as an entry of `serial` taken at `when`, creating the
// folder when needed; when the newest entry of that unit holds the same bytes, nothing is
// written and that entry is named.
StoredEntry StoreHistoryEntry(const std::filesystem::path& folder, const std::string& serial,
                              const ParameterList& list, std::time_t when = std::time(nullptr));

}  // namespace k64
