#include "stop_signal.h"

#include <windows.h>

namespace k64::cli {
namespace {

// Runs on a thread of its own: it only raises the flag that the command polls between steps.
BOOL WINAPI RequestStop(DWORD)
{
    stopRequested = 1;
    return TRUE;
}

}  // namespace

ScopedStopSignal::ScopedStopSignal()
{
    stopRequested = 0;
    ::SetConsoleCtrlHandler(RequestStop, TRUE);
}

ScopedStopSignal::~ScopedStopSignal() { ::SetConsoleCtrlHandler(RequestStop, FALSE); }

}  // namespace k64::cli
