// Settings file input and output on Windows.

#include "parameters/settings_file.h"

#include <cerrno>
#include <functional>
#include <string>
#include <string_view>

#include <windows.h>

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
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
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
    return ApplySettingsFile(std::move(text), list);
}

namespace {

// 0, or the Windows error of the write that failed.
DWORD WriteAll(HANDLE file, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                         nullptr))
            return ::GetLastError();
        if (n == 0)
            return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

// The safe save, its contents put into the temporary file by `fill`, which returns 0 or the
// Windows error of its failure, then given the name: over the file there when `replace`, else
// only while the name is free (the move fails when it exists).
SettingsFileResult SaveWith(const std::filesystem::path& path, bool replace,
                            const std::function<DWORD(HANDLE)>& fill)
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
    if (const DWORD error = fill(file.get()); error != 0)
        return abandon(error);
    if (!::FlushFileBuffers(file.get()))
        return abandon(::GetLastError());
    if (!file.Close())
        return abandon(::GetLastError());
    if (!::MoveFileExW(temporary.c_str(), path.c_str(),
                       (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
        return abandon(::GetLastError());
    return {};
}

}  // namespace

SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes)
{
    return SaveWith(path, true, [&](HANDLE file) { return WriteAll(file, bytes); });
}

SettingsFileResult CreateFileAtomically(const std::filesystem::path& path, const std::string& bytes)
{
    return SaveWith(path, false, [&](HANDLE file) { return WriteAll(file, bytes); });
}

SettingsFileResult CopyFileAtomically(const std::filesystem::path& source,
                                      const std::filesystem::path& path)
{
    // The recording being copied is still open for writing.
    Handle from(::CreateFileW(source.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!from.Valid())
        return Failure(SettingsFileStatus::CannotOpen);
    return SaveWith(path, true, [&](HANDLE file) -> DWORD {
        std::string buffer(64 * 1024, '\0');
        for (;;) {
            DWORD n = 0;
            if (!::ReadFile(from.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n,
                            nullptr))
                return ::GetLastError();
            if (n == 0)
                return 0;
            if (const DWORD error = WriteAll(file, std::string_view(buffer.data(), n)))
                return error;
        }
    });
}

AppendFile::AppendFile(const std::filesystem::path& path, bool temporary)
    : path_(path), temporary_(temporary)
{
}

namespace {

HANDLE OpenForAppend(const std::filesystem::path& path, bool keep)
{
    // Others may read it meanwhile: the window copies its recording while it still grows. A kept
    // file is opened for appending only, so every write goes to its end.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE | (keep ? FILE_SHARE_WRITE : DWORD{0});
    return ::CreateFileW(path.c_str(), keep ? FILE_APPEND_DATA : GENERIC_WRITE, share, nullptr,
                         keep ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A temporary goes with its last handle, so the system removes it however its program ends;
// until then no one else may delete it (RemoveAbandoned tries), only read it.
HANDLE CreateTemporaryFile(const std::filesystem::path& path)
{
    return ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

}  // namespace

std::unique_ptr<AppendFile> AppendFile::Create(const std::filesystem::path& path, bool keep)
{
    std::unique_ptr<AppendFile> file(new AppendFile(path, false));
    const HANDLE handle = OpenForAppend(path, keep);
    file->handle_ = reinterpret_cast<std::intptr_t>(handle);
    if (handle == INVALID_HANDLE_VALUE)
        file->error_ = ErrnoOf(::GetLastError());
    return file;
}

std::unique_ptr<AppendFile> AppendFile::CreateTemporary(const std::filesystem::path& folder)
{
    std::unique_ptr<AppendFile> file(new AppendFile(folder, true));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; !error && attempt < 100 && handle == INVALID_HANDLE_VALUE;
         ++attempt) {
        file->path_ = folder / (L"diagnostic-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                std::to_wstring(::GetTickCount() + attempt) + L".csv");
        handle = CreateTemporaryFile(file->path_);
        if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    file->handle_ = reinterpret_cast<std::intptr_t>(handle);
    if (handle == INVALID_HANDLE_VALUE) {
        file->error_ = !error                                        ? ErrnoOf(::GetLastError())
                       : error.category() == std::generic_category() ? error.value()
                                                                     : ErrnoOf(error.value());
        file->temporary_ = false;
        file->path_ = folder;  // what the user can look at
    }
    return file;
}

void AppendFile::RemoveAbandoned(const std::filesystem::path& folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::wstring name = it->path().filename().wstring();
        // A recording in use refuses the delete (its owner shares no deletion).
        if (name.starts_with(L"diagnostic-") && name.ends_with(L".csv"))
            ::DeleteFileW(it->path().c_str());
    }
}

AppendFile::~AppendFile()
{
    const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    if (temporary_)
        ::DeleteFileW(path_.c_str());
}

bool AppendFile::Append(std::string_view bytes)
{
    if (error_ == 0) {
        if (const DWORD error = WriteAll(reinterpret_cast<HANDLE>(handle_), bytes))
            error_ = ErrnoOf(error);
    }
    return error_ == 0;
}

}  // namespace k64
