#pragma once
// Keeps a serial port for one process across the reopen of every exchange.
//
// The port is closed between exchanges, so the exclusive open alone lets another program in
// between two blocks of an update. A PortLock is held from the first exchange of an operation
// to its last; another process that asks for the same port is refused at once. A holder that
// dies releases it with its last descriptor (or handle), so a stale lock never blocks.
//
// POSIX: two locks, both taken or neither. A descriptor of the device node itself, flock()ed:
// the same inode for every user and every link, whatever lock folder each of them may write
// in. And a lock file /run/lock/LCK..<device> (the serial lock-file convention), flock()ed and
// carrying our process id for programs that keep only the convention. Windows: a named mutex.

#include "device/port_failure.h"

#include <cstdint>
#include <string>

namespace quon::io {

class PortLock {
public:
    PortLock() = default;
    ~PortLock() { Release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // True when this object holds `portName` (already, or now). Holding another name releases
    // that one first. False, with Failure() saying why, when another holder has it or the
    // name is no port at all.
    [[nodiscard]] bool Acquire(const std::string& portName);
    void Release();
    bool Held() const { return handle_ != kNone; }
    const PortFailure& Failure() const { return failure_; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;  // the lock file or the mutex
    std::intptr_t node_ = kNone;    // POSIX: the device node
    std::string portName_;
    std::string lockName_;  // the lock file's path or the mutex's name
    PortFailure failure_;
};

// The lock of a port as someone who only looks sees it; takes and changes nothing.
struct PortLockView {
    std::string path;             // the lock file; empty where the platform has none
    bool notRegularFile = false;  // a link, folder or FIFO there: nobody can take the port
    int pid = 0;                  // the live process the file names, 0 when none
    std::string processName;
    // That process has the port open. False with a pid: it could not be seen (another
    // user's process), so it still counts as the holder but is not known to hold it.
    bool seenOpen = false;
};
PortLockView InspectPortLock(const std::string& portName);

}  // namespace quon::io
