#include "stop_signal.h"

#include <signal.h>

namespace k64::cli {
namespace {

constexpr int kCount = 3;
constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[kCount] {};

extern "C" void RequestStop(int) { stopRequested = 1; }

}  // namespace

ScopedStopSignal::ScopedStopSignal()
{
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
    for (int i = 0; i < kCount; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
}

}  // namespace k64::cli
