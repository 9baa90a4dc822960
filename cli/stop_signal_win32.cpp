#include "stop_signal.h"

#include <atomic>
#include <csignal>

#include <windows.h>

namespace k64::cli {
namespace {

// Runs on a thread of its own: it only raises the flag that the command polls between steps.
BOOL WINAPI RequestStop(DWORD event)
{
    stopRequested = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    if (void (*wake)() = stopWake.load())
        wake();
    return TRUE;
}

// Only the outermost of nested scopes installs the handler and clears a request.
std::atomic<int> depth{0};

}  // namespace

ScopedStopSignal::ScopedStopSignal()
{
    if (depth++ > 0)
        return;
    stopRequested = 0;
    ::SetConsoleCtrlHandler(RequestStop, TRUE);
}

ScopedStopSignal::~ScopedStopSignal()
{
    if (--depth == 0)
        ::SetConsoleCtrlHandler(RequestStop, FALSE);
}

}  // namespace k64::cli
