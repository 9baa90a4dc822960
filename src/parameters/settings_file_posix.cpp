// Settings file input and output on POSIX systems.

#include "parameters/settings_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

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

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
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
    SettingsFileResult checked = CheckSettingsText(text, list);
    if (!checked.Ok())
        return checked;
    // ReadText takes CR, LF and CR LF alike, so the file's lines need no rejoining first.
    list.ReadText(std::move(text));
    return checked;
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

}  // namespace

SettingsFileResult SaveFileAtomically(const std::filesystem::path& requested,
                                      const std::string& bytes)
{
    std::filesystem::path path;
    mode_t mode = NewFileMode();
    if (SettingsFileResult target = SaveTarget(requested, &path, &mode); !target.Ok())
        return target;

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
    if (!WriteAll(file.get(), bytes) || ::fchmod(file.get(), mode) != 0 || ::fsync(file.get()) != 0)
        return abandon(errno);
    if (file.Close() != 0)
        return abandon(errno);
    if (::rename(pattern.c_str(), path.c_str()) != 0)
        return abandon(errno);

    // Make the rename itself durable; the save has succeeded either way.
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return {};
}

}  // namespace k64
