// POSIX port lock: an flock()ed lock file named after the device, in the system's lock folder.

#include "device/port_lock.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quon::io {
namespace {

// The first lock folder this process may create files in. Every program of the convention
// looks in /run/lock (or its older name /var/lock); /tmp only serves where neither is writable.
const char* LockFolder()
{
    for (const char* folder : {"/run/lock", "/var/lock", "/tmp"}) {
        if (::access(folder, W_OK | X_OK) == 0)
            return folder;
    }
    return "/tmp";
}

// "LCK..ttyACM0" for /dev/ttyACM0, "LCK..pts_3" for /dev/pts/3. Links are resolved first, so
// every name of one device shares one lock. Empty when the port does not exist.
std::string LockPath(const std::string& portName)
{
    char* real = ::realpath(portName.c_str(), nullptr);
    if (real == nullptr)
        return {};
    std::string device(real);
    std::free(real);
    if (device.rfind("/dev/", 0) == 0)
        device.erase(0, 5);
    for (char& c : device) {
        if (c == '/')
            c = '_';
    }
    return std::string(LockFolder()) + "/LCK.." + device;
}

// The process id a lock file names, 0 when it names none.
pid_t RecordedPid(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Writes our id as the convention has it: ten columns and a line feed. Another user's file
// cannot take it; the flock alone keeps the port then.
bool RecordOurPid(int fd)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    // Readable by every user whatever the umask, so that no one else can mistake it for held.
    if ((info.st_mode & 0777) != 0644)
        ::fchmod(fd, 0644);
    // Only a file left behind has contents; emptying one costs far more than the write.
    if (info.st_size != 0 && ::ftruncate(fd, 0) != 0)
        return false;
    return ::pwrite(fd, text, static_cast<size_t>(length), 0) == length;
}

bool Alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// The descriptor still names the file at `path`: a holder that released (and removed) the
// file between our open and our flock leaves us locking a file nobody else will see.
bool StillAtPath(int fd, const std::string& path)
{
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

bool PortLock::Acquire(const std::string& portName)
{
    if (Held() && portName == portName_)
        return true;
    Release();
    const std::string path = LockPath(portName);
    if (path.empty())
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
        if (fd < 0 && errno == EACCES)
            fd = ::open(path.c_str(),
                        O_RDONLY | flags);  // another user's file: flock needs no write
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        if (!StillAtPath(fd, path)) {
            ::close(fd);
            continue;
        }
        // A program that keeps the convention without flock() names itself in the file.
        const pid_t recorded = RecordedPid(fd);
        if (recorded != 0 && recorded != ::getpid() && Alive(recorded)) {
            ::close(fd);
            return false;
        }
        RecordOurPid(fd);
        handle_ = fd;
        portName_ = portName;
        lockName_ = path;
        return true;
    }
    return false;
}

int PortLockHolder(const std::string& portName)
{
    const std::string path = LockPath(portName);
    if (path.empty())
        return 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0)
        return 0;
    // As Acquire sees it: a live process named in the file has the port, a dead one never.
    const pid_t recorded = RecordedPid(fd);
    ::close(fd);
    return recorded != 0 && Alive(recorded) ? static_cast<int>(recorded) : 0;
}

void PortLock::Release()
{
    if (!Held())
        return;
    // Removed while still locked, so nobody can take the file we are about to let go of.
    ::unlink(lockName_.c_str());
    ::close(static_cast<int>(handle_));
    handle_ = kNone;
    portName_.clear();
    lockName_.clear();
}

}  // namespace quon::io
