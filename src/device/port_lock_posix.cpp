// POSIX port lock: the device node itself and a lock file named after it, both flock()ed.

#include "device/port_lock.h"

#include "common/error_reason.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quon::io {
namespace {

using Kind = PortFailure::Kind;

// The kernel's list of file locks runs to a line per lock; this holds tens of thousands.
constexpr std::size_t kMaxLockList = 4 * 1024 * 1024;

// The first lock folder this process may create files in. Every program of the convention
// looks in /run/lock (or its older name /var/lock); /tmp only serves where neither is writable.
// Users who end up in different folders still meet at the device node's own flock.
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
    std::replace(device.begin(), device.end(), '/', '_');
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
// cannot take it; the flocks alone keep the port then.
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

enum class Sight { kOpen, kNotOpen, kUnseen };

// Whether process `pid` has the device `rdev` open. A dead process has nothing open; the
// descriptors of another user's process are hidden from all but root.
Sight ProcessHasDevice(pid_t pid, dev_t rdev)
{
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return errno == ENOENT ? Sight::kNotOpen : Sight::kUnseen;
    Sight sight = Sight::kNotOpen;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat info {};
        if (entry->d_name[0] != '.' && ::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 &&
            S_ISCHR(info.st_mode) && info.st_rdev == rdev) {
            sight = Sight::kOpen;
            break;
        }
    }
    ::closedir(dir);
    return sight;
}

std::string ProcessName(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char text[64];  // the kernel keeps 15 bytes
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    std::string name(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

// Another process seen with the device open, 0 when none can be seen.
pid_t ProcessWithDevice(dev_t rdev)
{
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return 0;
    pid_t found = 0;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || pid > INT_MAX || *end != '\0' || pid == ::getpid())
            continue;
        if (ProcessHasDevice(static_cast<pid_t>(pid), rdev) == Sight::kOpen) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

// The lock file counts for the live process it names only while that process has the port
// open (or cannot be looked at); anything else there is a leftover of a holder long gone.
pid_t HolderNamedIn(int lockFd, dev_t rdev, bool* seenOpen = nullptr)
{
    const pid_t pid = RecordedPid(lockFd);
    if (pid == 0 || pid == ::getpid())
        return 0;
    const Sight sight = ProcessHasDevice(pid, rdev);
    if (seenOpen != nullptr)
        *seenOpen = sight == Sight::kOpen;
    return sight == Sight::kNotOpen ? 0 : pid;
}

PortFailure HeldBy(pid_t pid)
{
    PortFailure failure;
    failure.kind = Kind::kHeld;
    failure.holderPid = pid;
    if (pid != 0)
        failure.holderName = ProcessName(pid);
    return failure;
}

// Held by someone who did not say who: the lock file may name them, else /proc shows them.
PortFailure HeldBySomeone(const std::string& lockPath, dev_t rdev)
{
    pid_t pid = 0;
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            pid = HolderNamedIn(fd, rdev);
        ::close(fd);
    }
    return HeldBy(pid != 0 ? pid : ProcessWithDevice(rdev));
}

// The terminal is marked for one opener: another program's exclusive open, or the flag of one
// that was killed before clearing it, which stays while anything keeps the terminal open.
PortFailure ExclusivelyOpen(const std::string& lockPath, dev_t rdev)
{
    PortFailure failure = HeldBySomeone(lockPath, rdev);
    if (failure.holderPid == 0) {
        failure.kind = Kind::kExclusiveFlag;
        failure.error = EBUSY;
        failure.pseudoTerminal = IsPseudoTerminalMajor(::major(rdev));
    }
    return failure;
}

bool InGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int got = ::getgroups(count, groups.data());
    return got > 0 &&
           std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

PortFailure PermissionDenied(const struct stat& node)
{
    PortFailure failure;
    failure.kind = Kind::kPermissionDenied;
    failure.error = EACCES;
    failure.mode = node.st_mode & 07777;
    const passwd* owner = ::getpwuid(node.st_uid);
    failure.ownerName = owner != nullptr ? owner->pw_name : std::to_string(node.st_uid);
    const group* g = ::getgrgid(node.st_gid);
    failure.groupName = g != nullptr ? g->gr_name : std::to_string(node.st_gid);
    failure.userInGroup = InGroup(node.st_gid);
    return failure;
}

// The node a port name leads to, when it is a character device.
bool InspectNode(const std::string& portName, struct stat* info, PortFailure* failure)
{
    if (::stat(portName.c_str(), info) != 0) {
        const int error = errno;
        *failure = error == ENOENT || error == ENOTDIR ? PortFailure::Of(Kind::kMissing, error)
                                                       : SystemFailure(error);
        return false;
    }
    if (!S_ISCHR(info->st_mode)) {
        *failure = PortFailure::Of(Kind::kNotTerminal);
        return false;
    }
    return true;
}

// The process holding an flock() on the node, as the kernel lists it: -1 when none is listed
// (or the system keeps no such list). Asked before opening the node, because an open and close
// of a terminal is an event for the other side (the master of a pseudo-terminal sees it).
pid_t ListedFlockHolder(const struct stat& node)
{
    const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    std::string text;
    char chunk[4096];
    ssize_t n = 0;
    while (text.size() < kMaxLockList && (n = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", ::major(node.st_dev), ::minor(node.st_dev),
                  static_cast<unsigned long long>(node.st_ino));
    // "1: FLOCK  ADVISORY  WRITE 5951 00:19:3 0 EOF"; waiters ("1: -> FLOCK ...") hold nothing.
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        char type[16] = {}, mode[16] = {}, where[64] = {};
        long pid = 0;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (std::sscanf(line.c_str(), "%*s %15s %*s %15s %ld %63s", type, mode, &pid, where) == 4 &&
            std::strcmp(type, "FLOCK") == 0 && std::strcmp(where, file) == 0)
            return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
    }
    return -1;
}

// Opens the device node and flock()s it; -1 with the reason when it cannot be had.
int OpenNode(const std::string& portName, const struct stat& info, const std::string& lockPath,
             PortFailure* failure)
{
    if (const pid_t holder = ListedFlockHolder(info); holder >= 0) {
        *failure = HeldBy(holder == ::getpid() ? 0 : holder);
        return -1;
    }
    const int fd = ::open(portName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (const int error = errno) {
        case EACCES:
        case EPERM: *failure = PermissionDenied(info); break;
        case EBUSY: *failure = ExclusivelyOpen(lockPath, info.st_rdev); break;
        // The node stays behind a moment after the unit was unplugged.
        case ENXIO:
        case ENODEV:
        case ENOENT: *failure = PortFailure::Of(Kind::kMissing, error); break;
        default: *failure = SystemFailure(error);
        }
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        *failure = HeldBySomeone(lockPath, info.st_rdev);
        return -1;
    }
    return fd;
}

PortFailure NotRegularFile(const std::string& path)
{
    PortFailure failure;
    failure.kind = Kind::kLockNotRegularFile;
    failure.lockPath = path;
    return failure;
}

// Opens (or creates) the lock file, never through a link and never anything but a plain file.
int OpenLockFile(const std::string& path, PortFailure* failure)
{
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_RDONLY | flags);  // another user's file: flock needs no write
    if (fd < 0) {
        const int error = errno;
        *failure = error == ELOOP || error == EISDIR ? NotRegularFile(path) : SystemFailure(error);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *failure = NotRegularFile(path);
        return -1;
    }
    return fd;
}

// The descriptor still names the file at `path`: a holder that released (and removed) the
// file between our open and our flock leaves us locking a file nobody else will see.
bool StillAtPath(int fd, const std::string& path)
{
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

PortFailure SystemFailure(int error)
{
    PortFailure failure;
    failure.kind = Kind::kSystem;
    failure.error = error;
    failure.systemText = k64::ErrorReason(error);
    return failure;
}

// The lock file is taken first and the node only then: a refusal at the lock file leaves the
// terminal untouched.
bool PortLock::Acquire(const std::string& portName)
{
    if (Held() && portName == portName_)
        return true;
    Release();
    failure_ = {};
    struct stat nodeInfo {};
    if (!InspectNode(portName, &nodeInfo, &failure_))
        return false;
    const std::string path = LockPath(portName);
    for (int attempt = 0; attempt < 3 && !failure_; ++attempt) {
        const int fd = OpenLockFile(path, &failure_);
        if (fd < 0)
            break;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            failure_ = HeldBy(RecordedPid(fd));
            ::close(fd);
            break;
        }
        if (!StillAtPath(fd, path)) {
            ::close(fd);
            continue;
        }
        // A program that keeps the convention without flock() names itself in the file.
        if (const pid_t holder = HolderNamedIn(fd, nodeInfo.st_rdev); holder != 0) {
            failure_ = HeldBy(holder);
            ::close(fd);
            break;
        }
        const int node = OpenNode(portName, nodeInfo, path, &failure_);
        if (node < 0) {
            // Still ours to remove: nobody else can have taken it while we hold it.
            ::unlink(path.c_str());
            ::close(fd);
            break;
        }
        RecordOurPid(fd);
        handle_ = fd;
        node_ = node;
        portName_ = portName;
        lockName_ = path;
        return true;
    }
    if (!failure_)
        failure_ = HeldBySomeone(path, nodeInfo.st_rdev);  // the file kept changing hands
    return false;
}

PortLockView InspectPortLock(const std::string& portName)
{
    PortLockView view;
    view.path = LockPath(portName);
    struct stat info {
    }, node{};
    if (view.path.empty() || ::lstat(view.path.c_str(), &info) != 0)
        return view;
    view.notRegularFile = !S_ISREG(info.st_mode);
    if (view.notRegularFile || ::stat(portName.c_str(), &node) != 0)
        return view;
    const int fd = ::open(view.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return view;
    view.pid = HolderNamedIn(fd, node.st_rdev, &view.seenOpen);
    ::close(fd);
    if (view.pid != 0)
        view.processName = ProcessName(view.pid);
    return view;
}

void PortLock::Release()
{
    if (!Held())
        return;
    // Removed while still locked, so nobody can take the file we are about to let go of.
    ::unlink(lockName_.c_str());
    ::close(static_cast<int>(handle_));
    ::close(static_cast<int>(node_));
    handle_ = kNone;
    node_ = kNone;
    portName_.clear();
    lockName_.clear();
}

}  // namespace quon::io
