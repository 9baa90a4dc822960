#pragma once
// Ctrl-C, SIGTERM and SIGHUP ask a long-running command to stop at its next safe point instead
// of killing the program in the middle of an exchange with the unit. The handler stays in place
// until the command is over, so a second signal while stopping cannot skip the clean-up.

#include <csignal>

#include <signal.h>

namespace k64::cli {

inline volatile std::sig_atomic_t stopRequested = 0;

extern "C" inline void RequestStop(int) { stopRequested = 1; }

class ScopedStopSignal {
public:
    ScopedStopSignal()
    {
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a question waiting for its answer returns (as "no") instead of
        // swallowing the signal; every wait on the port already resumes by itself.
        action.sa_flags = 0;
        for (int i = 0; i < kCount; ++i)
            sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~ScopedStopSignal()
    {
        for (int i = 0; i < kCount; ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    }
    ScopedStopSignal(const ScopedStopSignal&) = delete;
    ScopedStopSignal& operator=(const ScopedStopSignal&) = delete;

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[kCount] {};
};

} // namespace k64::cli
