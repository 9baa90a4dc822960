#include "stop_signal.h"

#include <atomic>

#include <signal.h>

namespace k64::cli {
namespace {

constexpr int kCount = 3;
constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[kCount] {};
// Scopes nest (a run of many units holds one around each unit's own): only the outermost
// installs the handler and clears a request, so a stop is never lost to a unit starting late.
std::atomic<int> depth{0};

// A flag, not the pipe of common/stop_pipe.h: no loop here waits on descriptors of its own; the
// commands look at the flag between their waits, which the signal cuts short. The station's port
// watch is woken through stopWake.
extern "C" void RequestStop(int signal)
{
    stopRequested = signal;
    if (void (*wake)() = stopWake.load())
        wake();
}

}  // namespace

ScopedStopSignal::ScopedStopSignal()
{
    if (depth++ > 0)
        return;
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a question waiting for its answer returns (as "no") instead of swallowing
    // the signal; every wait on the port already resumes by itself.
    action.sa_flags = 0;
    for (int i = 0; i < kCount; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

ScopedStopSignal::~ScopedStopSignal()
{
    if (--depth > 0)
        return;
    for (int i = 0; i < kCount; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
}

}  // namespace k64::cli
