// Settings file input and output on POSIX systems.

#include "parameters/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k64 {
namespace {

// Closes the descriptor it holds; the explicit Close reports the error of a close that matters.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int Close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

SettingsFileResult Failure(SettingsFileStatus status, int error = errno)
{
    return SettingsFileResult::Failed(status, error);
}

// 0, or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

SettingsFileResult ReadSettingsFile(const std::filesystem::path& path, ParameterList& list)
{
    // Non-blocking so that a pipe without a writer cannot hang the open; regular files ignore it.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return Failure(SettingsFileStatus::CannotOpen);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return Failure(SettingsFileStatus::ReadFailed);
    if (!S_ISREG(info.st_mode))
        return Failure(SettingsFileStatus::NotAFile, 0);
    if (static_cast<unsigned long long>(info.st_size) > kMaxSettingsFileSize)
        return Failure(SettingsFileStatus::TooLarge, 0);

    // The size may change while we read; never take more than the limit plus one byte.
    std::string text(kMaxSettingsFileSize + 1, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Failure(SettingsFileStatus::ReadFailed);
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    if (size > kMaxSettingsFileSize)
        return Failure(SettingsFileStatus::TooLarge, 0);
    text.resize(size);
    return ApplySettingsFile(std::move(text), list);
}

namespace {

// Where a save may write: a regular file, a new name (mkstemp then checks its folder), or the
// final target of a symbolic link when that is a regular file; the link itself stays. Anything
// else would be replaced by the rename: a device, a pipe, a socket, a folder, or a link that
// leads nowhere or to one of those (/dev/stdout on a pipe). `mode` is the mode to keep.
SettingsFileResult SaveTarget(const std::filesystem::path& path, std::filesystem::path* target,
                              mode_t* mode)
{
    struct stat info {};
    *target = path;
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? SettingsFileResult{} : Failure(SettingsFileStatus::WriteFailed);
    if (S_ISLNK(info.st_mode)) {
        if (::stat(path.c_str(), &info) != 0)
            return Failure(SettingsFileStatus::NotAFile);  // a link that leads nowhere
        if (S_ISREG(info.st_mode)) {
            char* real = ::realpath(path.c_str(), nullptr);
            if (real == nullptr)
                return Failure(SettingsFileStatus::WriteFailed);
            *target = real;
            std::free(real);
        }
    }
    if (S_ISDIR(info.st_mode))
        return Failure(SettingsFileStatus::WriteFailed, EISDIR);
    if (!S_ISREG(info.st_mode))
        return Failure(SettingsFileStatus::NotAFile, 0);
    *mode = info.st_mode & 07777;
    return {};
}

// What open(2) would give a new file: read and write for all, less the process's umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// The name `temporary` had becomes `path` only when nothing is there: a hard link, which fails
// on a name that exists, or where the file system has none (FAT, some network shares) a rename
// that refuses to replace. 0, or the errno of the failure (EEXIST: the name is taken).
int TakeNewName(const std::string& temporary, const std::filesystem::path& path)
{
    if (::link(temporary.c_str(), path.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return 0;
    }
    const int linkError = errno;
    if (linkError == EEXIST)
        return linkError;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    return errno == EINVAL || errno == ENOSYS ? linkError : errno;
}

// The safe save, its contents put into a temporary file beside `path` by `fill`, which returns
// 0 or the errno of its failure, then given the name: over what is there when `replace`, else
// only while the name is free.
SettingsFileResult SaveWith(const std::filesystem::path& path, mode_t mode, bool replace,
                            const std::function<int(int fd)>& fill)
{
    // The temporary must sit in the target's directory, or the rename would not be atomic.
    const std::filesystem::path directory =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string pattern = (directory / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(::mkstemp(pattern.data()));
    if (file.get() < 0)
        return Failure(SettingsFileStatus::WriteFailed);

    const auto abandon = [&](int error) {
        ::unlink(pattern.c_str());
        return Failure(SettingsFileStatus::WriteFailed, error);
    };
    if (const int error = fill(file.get()); error != 0)
        return abandon(error);
    if (::fchmod(file.get(), mode) != 0 || ::fsync(file.get()) != 0)
        return abandon(errno);
    if (file.Close() != 0)
        return abandon(errno);
    if (const int error = replace ? (::rename(pattern.c_str(), path.c_str()) == 0 ? 0 : errno)
                                  : TakeNewName(pattern, path))
        return abandon(error);

    // Make the rename itself durable; the save has succeeded either way.
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return {};
}

// The save over whatever regular file `requested` names (SaveTarget), keeping its mode.
SettingsFileResult SaveOver(const std::filesystem::path& requested,
                            const std::function<int(int fd)>& fill)
{
    std::filesystem::path path;
    mode_t mode = NewFileMode();
    if (SettingsFileResult target = SaveTarget(requested, &path, &mode); !target.Ok())
        return target;
    return SaveWith(path, mode, true, fill);
}

}  // namespace

SettingsFileResult SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes)
{
    return SaveOver(path, [&](int fd) { return WriteAll(fd, bytes); });
}

SettingsFileResult CreateFileAtomically(const std::filesystem::path& path, const std::string& bytes)
{
    return SaveWith(path, NewFileMode(), false, [&](int fd) { return WriteAll(fd, bytes); });
}

SettingsFileResult CopyFileAtomically(const std::filesystem::path& source,
                                      const std::filesystem::path& path)
{
    FileDescriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.get() < 0)
        return Failure(SettingsFileStatus::CannotOpen);
    return SaveOver(path, [&](int fd) {
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(from.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : 0;
            if (const int error =
                    WriteAll(fd, std::string_view(buffer, static_cast<std::size_t>(n))))
                return error;
        }
    });
}

AppendFile::AppendFile(const std::filesystem::path& path, bool temporary)
    : path_(path), temporary_(temporary)
{
}

std::unique_ptr<AppendFile> AppendFile::Create(const std::filesystem::path& path, bool keep)
{
    std::unique_ptr<AppendFile> file(new AppendFile(path, false));
    // Non-blocking only for the open, so that a pipe without a reader cannot hang it.
    file->handle_ =
        ::open(path.c_str(),
               O_WRONLY | O_CREAT | (keep ? O_APPEND : O_TRUNC) | O_CLOEXEC | O_NONBLOCK, 0666);
    if (file->handle_ < 0)
        file->error_ = errno;
    else
        ::fcntl(static_cast<int>(file->handle_), F_SETFL, 0);
    return file;
}

namespace {

constexpr std::string_view kTemporaryPrefix = "diagnostic-";
constexpr std::string_view kTemporarySuffix = ".csv";

// The temporary's lock, held while its owner lives: a process's locks go with it however it
// ends, and they are seen across users and process namespaces, where process ids are not.
bool LockedByOther(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) != 0; }

}  // namespace

std::unique_ptr<AppendFile> AppendFile::CreateTemporary(const std::filesystem::path& folder)
{
    std::unique_ptr<AppendFile> file(new AppendFile(folder, true));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int fd = -1;
    int failure = error ? error.value() : 0;
    // Locked right after it is made; one removed as abandoned in between is made again.
    for (int attempt = 0; !error && fd < 0 && attempt < 3; ++attempt) {
        std::string pattern =
            (folder / (std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-XXXXXX" +
                       std::string(kTemporarySuffix)))
                .string();
        // Private to the user: the recording is theirs until they save it somewhere.
        fd = ::mkostemps(pattern.data(), static_cast<int>(kTemporarySuffix.size()), O_CLOEXEC);
        if (fd < 0) {
            failure = errno;
            break;
        }
        struct stat held {
        }, named{};
        const bool removed = ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 &&
                             (::lstat(pattern.c_str(), &named) != 0 ||
                              held.st_ino != named.st_ino || held.st_dev != named.st_dev);
        if (removed) {
            failure = ENOENT;
            ::close(fd);
            fd = -1;
            continue;
        }
        file->path_ = pattern;
    }
    file->handle_ = fd;
    if (fd < 0) {
        file->error_ = failure;
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
        const std::string name = it->path().filename().string();
        if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
            continue;
        FileDescriptor file(
            ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            LockedByOther(file.get()))
            continue;
        ::unlink(it->path().c_str());
    }
}

AppendFile::~AppendFile()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    if (temporary_)
        ::unlink(path_.c_str());
}

bool AppendFile::Append(std::string_view bytes)
{
    if (error_ == 0)
        error_ = WriteAll(static_cast<int>(handle_), bytes);
    return error_ == 0;
}

}  // namespace k64
