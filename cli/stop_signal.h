#pragma once
// Ctrl-C asks a long-running command to stop at its next safe point instead of killing the
// program in the middle of an exchange with the unit.

#include <csignal>

namespace k64::cli {

inline volatile std::sig_atomic_t stopRequested = 0;

extern "C" inline void RequestStop(int) { stopRequested = 1; }

class ScopedStopSignal {
public:
    ScopedStopSignal() : previous_(std::signal(SIGINT, RequestStop)) { stopRequested = 0; }
    ~ScopedStopSignal() { std::signal(SIGINT, previous_); }
    ScopedStopSignal(const ScopedStopSignal&) = delete;
    ScopedStopSignal& operator=(const ScopedStopSignal&) = delete;

private:
    void (*previous_)(int);
};

} // namespace k64::cli
