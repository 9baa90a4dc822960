#include "service/diagnostic_recording.h"

namespace k64::service {

DiagnosticRecording::DiagnosticRecording(std::unique_ptr<AppendFile> file) : file_(std::move(file))
{
    file_->Append(DiagnosticCsvHeader());
}

bool DiagnosticRecording::Add(std::chrono::milliseconds elapsed,
                              const std::vector<DiagnosticEvent>& events)
{
    // One write for everything one read brought: rows reach the file as they are received.
    return events.empty() ? !Failed() : file_->Append(DiagnosticCsvRows(elapsed, events));
}

std::optional<std::string> DiagnosticRecording::NewFailure()
{
    if (!Failed() || failureTold_)
        return std::nullopt;
    failureTold_ = true;
    return DescribeRecordingFailure(file_->Path(), file_->Error());
}

std::optional<std::string> DiagnosticRecording::SaveCopy(const std::filesystem::path& target) const
{
    const SettingsFileResult saved = CopyFileAtomically(file_->Path(), target);
    if (saved.Ok())
        return std::nullopt;
    return DescribeRecordingFailure(
        saved.status == SettingsFileStatus::CannotOpen ? file_->Path() : target, saved.error);
}

}  // namespace k64::service
