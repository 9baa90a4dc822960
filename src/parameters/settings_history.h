#pragma once
// The settings history: a folder of settings files, one for each time a unit's settings were
// seen before they could be lost (read in the desktop program, or about to be replaced by
// k64ctl), so that an owner's PIN and phone numbers can always be brought back.
//
// An entry is an ordinary settings file (it opens like any other), named after when and which
// unit it was taken from, and its number in the order the folder's entries were stored:
//   YYYY-MM-DD_HH-MM-SS_<serial>_n<order>.txt  local time; the serial as `k64ctl id` prints it
// The time is for people; the order, one more than the highest in the folder, is what "newest"
// means, since the clock may have been set back (or summer time ended) between two entries.
// Programs storing at the same moment, on one computer or on several sharing the folder, each
// reserve their number first with a file only one of them can create (.n<order>.reserved, kept
// a while for those that listed the folder before the entry appeared), and an entry takes its
// name only while it is free: no entry ever replaces another, and no number is given twice.
// Names from before the order was kept sort below every numbered one, by their time:
//   YYYY-MM-DD_HH-MM-SS_<serial>.txt, YYYY-MM-DD_HH-MM-SS_<serial>_2.txt (same second)
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
    std::uint64_t order = 0;  // the place in the order of storing; 0 for an unnumbered name
    int sequence = 1;  // unnumbered names: 2, 3, ... for later entries of a unit in one second
};

// The entry a file name describes (path left empty); false for a name of another form or with a
// time that is no real date and time.
[[nodiscard]] bool ParseHistoryName(const std::string& name, HistoryEntry* entry);

// The entries in `folder`, the last stored first; only those of `serial` when it is not empty.
// Names of another form are passed over; a missing folder has no entries. `error`, when given,
// receives the errno of a folder that exists but cannot be listed (a file, no permission), else 0.
std::vector<HistoryEntry> ListHistory(const std::filesystem::path& folder,
                                      const std::string& serial = {}, int* error = nullptr);

// The text to show when the history folder cannot be listed.
std::string DescribeHistoryFolderFailure(const std::filesystem::path& folder, int error);

struct [[nodiscard]] StoredEntry {
    SettingsFileResult result;
    // The new entry, or the newest one that already held the same; the folder when the failure
    // was the folder's (it could not be made, or nothing could be created in it).
    std::filesystem::path path;
    bool folderFailed = false;
    bool written = false;
    unsigned passedOver = 0;  // numbers found taken by others storing at the same moment
};

// Stores the settings file text of `list` as an entry of `serial` taken at `when`, creating the
// folder when needed; when the newest entry of that unit holds the same bytes, nothing is
// written and that entry is named.
StoredEntry StoreHistoryEntry(const std::filesystem::path& folder, const std::string& serial,
                              const ParameterList& list, std::time_t when = std::time(nullptr));

// The text to show for a failed store, naming the entry or the history folder.
std::string DescribeStoreFailure(const StoredEntry& stored);

}  // namespace k64
