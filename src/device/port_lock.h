#pragma once
// Keeps a serial port for one process across the reopen of every exchange.
//
// The port is closed between exchanges, so the exclusive open alone lets another program in
// between two blocks of an update. A PortLock is held from the first exchange of an operation
// to its last; another process that asks for the same port is refused at once. A holder that
// dies releases it with its last descriptor (or handle), so a stale lock never blocks.
//
// POSIX: an flock()ed file /run/lock/LCK..<device> (the serial lock-file convention; the file
// also carries our process id for programs that read it). Windows: a named mutex.

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
    // that one first. False when another holder has it or the name is no port at all.
    bool Acquire(const std::string& portName);
    void Release();
    bool Held() const { return handle_ != kNone; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
    std::string portName_;
    std::string lockName_;  // the lock file's path or the mutex's name
};

// The process id that holds `portName` through its lock, 0 when nobody does or the platform's
// lock does not tell. Only looks: takes and changes nothing.
int PortLockHolder(const std::string& portName);

}  // namespace quon::io
