// The unit's memory on disk: one file per item in a directory, each replaced atomically (written
// to a temporary file, flushed, renamed over the old one) so a crash never leaves half a file.
#pragma once

#include "sim/unit_model.h"

#include <string>
#include <vector>

namespace k64::sim {

class StateStore {
public:
    explicit StateStore(std::string directory);

    // Overwrites the items of `state` found in the directory; items missing there keep their
    // value. Files that are unreadable or out of bounds are skipped with a line in `warnings`.
    // False when the directory cannot be created.
    [[nodiscard]] bool Load(UnitState& state, std::vector<std::string>& warnings);
    // Writes the items that changed since the last Load or Save. False on any write error.
    [[nodiscard]] bool Save(const UnitState& state, std::string& error);

    const std::string& Directory() const { return directory_; }

private:
    [[nodiscard]] bool WriteFile(const std::string& name, const std::string& bytes,
                                 std::string& error);

    std::string directory_;
    UnitState saved_;
    bool haveSaved_ = false;
};

}  // namespace k64::sim
