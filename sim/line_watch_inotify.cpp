#include "sim/line_watch.h"

#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace k64::sim {

LineWatch::~LineWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool LineWatch::Start(const std::string& path)
{
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return false;
    if (::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

std::vector<LineEvent> LineWatch::Take()
{
    std::vector<LineEvent> events;
    if (fd_ < 0)
        return events;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & IN_OPEN)
                events.push_back(LineEvent::kOpened);
            if (event.mask & IN_CLOSE)
                events.push_back(LineEvent::kClosed);
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    return events;
}

}  // namespace k64::sim
