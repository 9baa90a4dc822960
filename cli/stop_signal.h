#pragma once
// Ctrl-C (and on POSIX SIGTERM and SIGHUP; on Windows Ctrl-Break and a closed console) asks a
// long-running command to stop at its next safe point instead of killing the program in the
// middle of an exchange with the unit. The handler stays in place until the command is over, so
// a second request while stopping cannot skip the clean-up.

#include <atomic>
#include <csignal>

namespace k64::cli {

// The number of the signal that asked to stop (SIGINT for Ctrl-C, SIGTERM for the others on
// Windows), 0 while none did.
inline volatile std::sig_atomic_t stopRequested = 0;

// Run by the handler right after it raises the flag, while set: wakes a command that waits for
// something other than the unit (the station, for ports). It may do only what a signal handler
// may, such as write a byte or set an event.
inline std::atomic<void (*)()> stopWake{nullptr};

class ScopedStopSignal {
public:
    ScopedStopSignal();
    ~ScopedStopSignal();
    ScopedStopSignal(const ScopedStopSignal&) = delete;
    ScopedStopSignal& operator=(const ScopedStopSignal&) = delete;
};

}  // namespace k64::cli
