#pragma once
// Tells when serial ports may have come or gone, without polling: the kernel's notes on the
// folders where device nodes and links appear (inotify) on POSIX systems, WM_DEVICECHANGE on
// Windows. The desktop program waits on its handle in its event loop, the station of k64ctl in
// Wait. The back end is a whole file chosen by the build.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace k64 {

class PortWatch {
public:
    // A descriptor that turns readable (POSIX) or an event that is signalled (Windows).
    using Handle = std::intptr_t;

    // `folders` are where device nodes or links to them appear (POSIX); Windows tells every
    // top-level window about its ports and ignores them.
    explicit PortWatch(const std::vector<std::string>& folders);
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    // Why a folder cannot be followed (UTF-8, naming it); empty when every one is.
    const std::string& Failure() const { return failure_; }

    // Ready while a change is untaken; for an event loop to wait on.
    Handle ReadyHandle() const;
    // Takes what made the handle ready without waiting: true when a change was among it.
    bool TakeChanges();
    // Blocks until a change (true), a Wake() or `limit` (false). Several changes that come
    // together, as for one cable, are taken as one.
    bool Wait(std::chrono::milliseconds limit);
    // Ends a Wait early, or the next one when none runs: from another thread or a signal
    // handler (it only writes a byte, or sets an event).
    void Wake();

private:
    struct Source;
    std::unique_ptr<Source> source_;
    std::string failure_;
};

// The ports a station follows: those PortFolders() and the port list give that are there now,
// then the terminals in `folders` and the links in them that lead to one (udev's names,
// /dev/serial/by-id), each in natural order; a device reached by several names is given once,
// by the first. Windows numbers its ports and has no such folders; there `folders` are ignored.
std::vector<std::string> WatchedPorts(const std::vector<std::string>& folders);

}  // namespace k64
