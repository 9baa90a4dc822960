#pragma once
// Settings files: the lines of the settings text, each ended by CR LF. Reading hands the file to
// ReadText; writing saves WriteText(false), replacing the old file atomically so that a failed
// save leaves the file that was there untouched and no temporary file behind.

#include "parameters/parameter_list.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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
    WriteFailed,   // the save did not complete; the old file, if any, is unchanged
    ControlBytes,  // a zero byte or a control byte other than CR, LF and tab: no settings text
    NoKnownKey,    // lines, but not one names a parameter: some other text file
};

struct SettingsFileResult {
    SettingsFileStatus status = SettingsFileStatus::Ok;
    int error = 0;  // errno of the call that failed, 0 when there is none
    // A successful read: the first kMaxListedSkipped lines that name no parameter (as read),
    // and how many there were in all. They change nothing, as in any settings text.
    std::vector<std::string> skipped;
    std::size_t skippedCount = 0;
    bool Ok() const { return status == SettingsFileStatus::Ok; }
    static SettingsFileResult Failed(SettingsFileStatus status, int error = 0)
    {
        SettingsFileResult result;
        result.status = status;
        result.error = error;
        return result;
    }
};

inline constexpr std::size_t kMaxListedSkipped = 10;

// Whether `text` may be applied as settings: Ok, ControlBytes or NoKnownKey (blank lines do not
// count; an empty or blank text is valid and means every default), with the skipped lines.
SettingsFileResult CheckSettingsText(std::string_view text, const ParameterList& list);

// The text to show the user for a failed result (UTF-8), naming the file.
std::string DescribeSettingsFileResult(const SettingsFileResult& result,
                                       const std::filesystem::path& path);

// Reads the file, checks it with CheckSettingsText and applies it with ReadText. On failure the
// list is left as it was.
SettingsFileResult ReadSettingsFile(const std::filesystem::path& path, ParameterList& list);

// The bytes a settings file holds for the list: WriteText(false) with CR LF line ends.
std::string SettingsFileText(const ParameterList& list);

// Saves SettingsFileText(list): a temporary file beside the target, flushed to disk, then renamed
// over it. A new file gets mode 0644, a replaced one keeps its mode.
SettingsFileResult WriteSettingsFile(const std::filesystem::path& path, const ParameterList& list);

// The same safe save for any contents (a diagnostic recording): `bytes` replace the file at
// `path` as a whole or not at all.
SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes);

}  // namespace k64
