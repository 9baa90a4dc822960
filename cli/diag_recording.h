#pragma once
// diag --csv FILE: what k64ctl diag shows is also kept as a CSV recording and saved, with the
// settings files' safe save, when the run ends (its time, Ctrl-C or a lost line).

#include "common/message_interface.h"
#include "device/diagnostic_csv.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

namespace k64::cli {

class DiagRecording {
public:
    // Without a path nothing is kept and Save has nothing to do.
    explicit DiagRecording(std::optional<std::filesystem::path> path);
    // The lines of `events`, stamped with the time since the recording started.
    void Add(const std::vector<DiagnosticEvent>& events);
    // False after the reason was shown to `messages`.
    bool Save(MessageInterface& messages) const;

private:
    std::optional<std::filesystem::path> path_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    DiagnosticCsv csv_;
};

}  // namespace k64::cli
