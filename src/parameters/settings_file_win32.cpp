// Settings file input and output on Windows.

#include "parameters/settings_file.h"

#include <windows.h>

#include <cerrno>
#include <string>

namespace k64 {
namespace {

// The result carries C library error numbers, which the message texts are written for.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return EIO;
    }
}

SettingsFileResult Failure(SettingsFileStatus status, DWORD error = ::GetLastError())
{
    return SettingsFileResult::Failed(status, ErrnoOf(error));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    bool Close()
    {
        const bool ok = !Valid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

bool IsFolder(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

SettingsFileResult ReadSettingsFile(const std::filesystem::path& path, ParameterList& list)
{
    if (IsFolder(path))
        return SettingsFileResult::Failed(SettingsFileStatus::NotAFile);
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return Failure(SettingsFileStatus::CannotOpen);
    // A console, a pipe or a device named like a file is no settings file.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return SettingsFileResult::Failed(SettingsFileStatus::NotAFile);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return Failure(SettingsFileStatus::ReadFailed);
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxSettingsFileSize)
        return SettingsFileResult::Failed(SettingsFileStatus::TooLarge);

    // The size may change while we read; never take more than the limit plus one byte.
    std::string text(kMaxSettingsFileSize + 1, '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), text.data() + done, static_cast<DWORD>(text.size() - done), &n,
                        nullptr))
            return Failure(SettingsFileStatus::ReadFailed);
        if (n == 0)
            break;
        done += n;
    }
    if (done > kMaxSettingsFileSize)
        return SettingsFileResult::Failed(SettingsFileStatus::TooLarge);
    text.resize(done);
    SettingsFileResult checked = CheckSettingsText(text, list);
    if (!checked.Ok())
        return checked;
    list.ReadText(std::move(text));
    return checked;
}

SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes)
{
    if (IsFolder(path))
        return SettingsFileResult::Failed(SettingsFileStatus::WriteFailed, EISDIR);

    // The temporary sits beside the target, or the replacing move would be a copy.
    const std::filesystem::path directory =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::filesystem::path temporary;
    Handle file(INVALID_HANDLE_VALUE);
    for (unsigned attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
        temporary = directory /
                    (L"." + path.filename().wstring() + L"." +
                     std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(attempt));
        file.Reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid() && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file.Valid())
        return Failure(SettingsFileStatus::WriteFailed);

    const auto abandon = [&](DWORD error) {
        file.Close();
        ::DeleteFileW(temporary.c_str());
        return Failure(SettingsFileStatus::WriteFailed, error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                         &n, nullptr) ||
            n == 0)
            return abandon(::GetLastError());
        done += n;
    }
    if (!::FlushFileBuffers(file.get()))
        return abandon(::GetLastError());
    if (!file.Close())
        return abandon(::GetLastError());
    if (!::MoveFileExW(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return abandon(::GetLastError());
    return {};
}

}  // namespace k64
