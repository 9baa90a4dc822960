#include "platform/port_watch.h"

#include "common/error_reason.h"
#include "platform/port_catalog.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k64 {

// A node or link made, removed or renamed in a watched folder; the folder itself going away
// ends its watch, which is a change too.
constexpr std::uint32_t kPortEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

struct PortWatch::Source {
    int notes = -1;
    int wake[2] = {-1, -1};  // a pipe: Wake writes, Wait reads

    ~Source()
    {
        for (const int fd : {notes, wake[0], wake[1]})
            if (fd >= 0)
                ::close(fd);
    }
};

namespace {

// Reads whatever is there without blocking; true when there was anything.
bool Drain(int fd)
{
    bool any = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return any;
    }
}

}  // namespace

PortWatch::PortWatch(const std::vector<std::string>& folders) : source_(std::make_unique<Source>())
{
    source_->notes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (source_->notes < 0 || ::pipe2(source_->wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        failure_ = "Не удалось следить за портами: " + ErrorReason(errno);
        return;
    }
    for (const std::string& folder : folders) {
        if (::inotify_add_watch(source_->notes, folder.c_str(), kPortEvents) < 0 &&
            failure_.empty())
            failure_ = "Не удалось следить за папкой " + folder + ": " + ErrorReason(errno);
    }
}

PortWatch::~PortWatch() = default;

PortWatch::Handle PortWatch::ReadyHandle() const { return source_->notes; }

bool PortWatch::TakeChanges() { return source_->notes >= 0 && Drain(source_->notes); }

bool PortWatch::Wait(std::chrono::milliseconds limit)
{
    pollfd fds[2] = {{source_->notes, POLLIN, 0}, {source_->wake[0], POLLIN, 0}};
    const int timeout =
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, INT_MAX));
    // A signal ends the wait as a Wake does: its handler's flag is the caller's to read.
    if (::poll(fds, 2, timeout) <= 0)
        return false;
    if (fds[1].revents != 0)
        Drain(source_->wake[0]);
    return fds[0].revents != 0 && TakeChanges();
}

void PortWatch::Wake()
{
    if (source_->wake[1] < 0)
        return;
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(source_->wake[1], &byte, 1);
}

namespace {

// The device a port name leads to, or nothing when it leads to no terminal (a dangling link, a
// listed name with nothing behind it).
std::optional<std::string> Terminal(const std::string& path)
{
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

}  // namespace

std::vector<std::string> WatchedPorts(const std::vector<std::string>& folders)
{
    std::vector<std::string> names = PresentPorts();
    for (const std::string& folder : folders) {
        std::vector<std::string> found;
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            found.push_back(it->path().string());
        std::sort(found.begin(), found.end(),
                  [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
        names.insert(names.end(), found.begin(), found.end());
    }
    std::vector<std::string> ports;
    std::set<std::string> devices;
    for (std::string& name : names) {
        if (const std::optional<std::string> device = Terminal(name);
            device && devices.insert(*device).second)
            ports.push_back(std::move(name));
    }
    return ports;
}

}  // namespace k64
