#pragma once
// A recording of the diagnostic stream (CSV, diagnostic_csv.h) kept on disk as it
// arrives: memory stays the same however long the stream runs, and whatever arrived is in the
// file however the program ends.

#include "parameters/settings_file.h"
#include "service/diagnostic_csv.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace k64::service {

class DiagnosticRecording {
public:
    // Records into `file` (AppendFile::Create or CreateTemporary), starting with the header.
    explicit DiagnosticRecording(std::unique_ptr<AppendFile> file);

    // Appends the rows of `events`, received `elapsed` after the recording started. False once
    // the recording has failed; nothing more is written then.
    [[nodiscard]] bool Add(std::chrono::milliseconds elapsed,
                           const std::vector<DiagnosticEvent>& events);

    bool Failed() const { return file_->Error() != 0; }
    // Why the recording failed, naming its file; only the first time it is asked after the
    // failure, so that a stream that goes on reports it once.
    [[nodiscard]] std::optional<std::string> NewFailure();

    // Copies what was recorded so far to `target`, replacing it as a whole or not at all; the
    // reason when that failed.
    [[nodiscard]] std::optional<std::string> SaveCopy(const std::filesystem::path& target) const;

private:
    std::unique_ptr<AppendFile> file_;
    bool failureTold_ = false;
};

}  // namespace k64::service
