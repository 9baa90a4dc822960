#pragma once
// Settings files: the lines of the settings text, each ended by CR LF. Reading hands the file to
// ReadText; writing saves WriteText(false), replacing the old file atomically so that a failed
// save leaves the file that was there untouched and no temporary file behind.

#include "parameters/parameter_list.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace k64 {

// A settings file is a few hundred bytes; anything much larger is not one and is refused before
// it is read into memory.
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

enum class SettingsFileStatus {
    Ok = 0,
    CannotOpen,  // the file could not be opened (missing, no permission)
    NotAFile,    // the path names a directory, device or pipe
    TooLarge,    // larger than kMaxSettingsFileSize
    ReadFailed,
    WriteFailed, // the save did not complete; the old file, if any, is unchanged
};

struct SettingsFileResult {
    SettingsFileStatus status = SettingsFileStatus::Ok;
    int error = 0; // errno of the call that failed, 0 when there is none
    bool Ok() const { return status == SettingsFileStatus::Ok; }
};

// The text to show the user for a failed result (UTF-8), naming the file.
std::string DescribeSettingsFileResult(const SettingsFileResult& result,
                                       const std::filesystem::path& path);

// Reads the file and applies it with ReadText. On failure the list is left as it was.
SettingsFileResult ReadSettingsFile(const std::filesystem::path& path, ParameterList& list);

// The bytes a settings file holds for the list: WriteText(false) with CR LF line ends.
std::string SettingsFileText(const ParameterList& list);

// Saves SettingsFileText(list): a temporary file beside the target, flushed to disk, then renamed
// over it. A new file gets mode 0644, a replaced one keeps its mode.
SettingsFileResult WriteSettingsFile(const std::filesystem::path& path, const ParameterList& list);

// The same safe save for any contents (a diagnostic recording): `bytes` replace the file at
// `path` as a whole or not at all.
SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes);

} // namespace k64
