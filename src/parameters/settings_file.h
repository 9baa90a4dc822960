#pragma once
// Settings files: the lines of the settings text, each ended by CR LF. Reading hands the file to
// ReadText; writing saves WriteText(false), replacing the old file atomically so that a failed
// save leaves the file that was there untouched and no temporary file behind.

#include "parameters/parameter_list.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
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
    WriteFailed,  // the save did not complete; the old file, if any, is unchanged
    Binary,       // a zero byte, or control bytes outside the values of known parameters
    Utf16,        // a text in UTF-16 (by its byte-order mark or its zero bytes)
    NoKnownKey,   // lines, but not one names a parameter: some other text file
    NotCp1251,    // UTF-8 with a character Windows-1251 cannot hold, or a byte-order mark
                  // before bytes that are not UTF-8
};

struct [[nodiscard]] SettingsFileResult {
    SettingsFileStatus status = SettingsFileStatus::Ok;
    int error = 0;  // errno of the call that failed, 0 when there is none
    // A successful read: the first kMaxListedSkipped lines that name no parameter (as read),
    // and how many there were in all. They change nothing, as in any settings text.
    std::vector<std::string> skipped;
    std::size_t skippedCount = 0;
    // A successful read: the keys the text gives a value, each once, in the order they first
    // come (what a preset sets).
    std::vector<std::string> keys;
    // NotCp1251: the line (from 1) and the character that stopped the read, as DescribeUtf8At
    // shows it.
    std::size_t line = 0;
    std::string character;
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

// Whether `text` may be applied as settings: Ok, Binary, Utf16 or NoKnownKey (blank lines do not
// count; an empty or blank text is valid and means every default), with the skipped lines. Any
// byte but zero may stand in a value, as the unit takes it, so what the tool saved reads back.
SettingsFileResult CheckSettingsText(std::string_view text, const ParameterList& list);

// The text to show the user for a failed result (UTF-8), naming the file.
std::string DescribeSettingsFileResult(const SettingsFileResult& result,
                                       const std::filesystem::path& path);

// Reads the file, checks it with CheckSettingsText and applies it with ReadText. On failure the
// list is left as it was. Files are Windows-1251, except that one starting with the UTF-8
// byte-order mark, or valid UTF-8 holding non-ASCII characters (what today's editors save), is
// read as UTF-8 and converted.
SettingsFileResult ReadSettingsFile(const std::filesystem::path& path, ParameterList& list);

// The part of ReadSettingsFile after the bytes were read, the same on every platform.
SettingsFileResult ApplySettingsFile(std::string bytes, ParameterList& list);

// The bytes a settings file holds for the list: WriteText(false) with CR LF line ends.
std::string SettingsFileText(const ParameterList& list);

// Saves SettingsFileText(list): a temporary file beside the target, flushed to disk, then renamed
// over it. A new file gets mode 0644, a replaced one keeps its mode.
SettingsFileResult WriteSettingsFile(const std::filesystem::path& path, const ParameterList& list);

// The same safe save for any contents: `bytes` replace the file at `path` as a whole or not at
// all.
SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes);

// The same safe save for a name that must be new: the file takes the name only while nothing
// has it (another program may store under it at the same moment), else the result is
// WriteFailed with EEXIST and the file there is untouched. Never replaces anything.
SettingsFileResult CreateFileAtomically(const std::filesystem::path& path,
                                        const std::string& bytes);

// The same safe save, the contents copied from the file at `source` a piece at a time, so that a
// recording of any length costs no more memory than a short one.
SettingsFileResult CopyFileAtomically(const std::filesystem::path& source,
                                      const std::filesystem::path& path);

// A file written as it grows (a diagnostic recording): each Append reaches the operating system
// before it returns, so what was appended stays in the file when the program is killed or the
// unit goes away. After the first failure nothing more is written and Error() says why.
class AppendFile {
public:
    // Creates the file at `path`, or empties the one there; with `keep` (a log) what it holds
    // stays and every Append goes after it, also when another program appends meanwhile.
    static std::unique_ptr<AppendFile> Create(const std::filesystem::path& path, bool keep = false);
    // A new file of a name of its own in `folder` (created when missing), readable by the user
    // only and removed again with this object. Its name carries the process id, and it is
    // locked while this object lives, so RemoveAbandoned can tell it from one left by a program
    // that was killed.
    static std::unique_ptr<AppendFile> CreateTemporary(const std::filesystem::path& folder);
    // Removes the files CreateTemporary made in `folder` whose programs no longer run.
    static void RemoveAbandoned(const std::filesystem::path& folder);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // False when these bytes, or earlier ones, could not be written (or the file not created).
    bool Append(std::string_view bytes);
    // The errno of the failure, 0 while there is none.
    int Error() const { return error_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    AppendFile(const std::filesystem::path& path, bool temporary);

    std::filesystem::path path_;
    bool temporary_;
    int error_ = 0;
    std::intptr_t handle_ = -1;  // the descriptor, or on Windows the handle
};

}  // namespace k64
