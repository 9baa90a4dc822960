#include "display.h"
#include "diag_recording.h"

#include "common/shared_texts.h"
#include "parameters/settings_file.h"

namespace k64::cli {

DiagRecording::DiagRecording(std::optional<std::filesystem::path> path) : path_(std::move(path)) {}

void DiagRecording::Add(const std::vector<DiagnosticEvent>& events)
{
    if (!path_)
        return;
    csv_.Add(std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now() - start_),
             events);
}

bool DiagRecording::Save(MessageInterface& messages) const
{
    if (!path_)
        return true;
    const SettingsFileResult saved = SaveFileAtomically(*path_, csv_.Text());
    if (saved.Ok())
        return true;
    ShowMessage(&messages, DescribeRecordingFailure(*path_, saved.error), texts::kError);
    return false;
}

}  // namespace k64::cli
