#pragma once
// How the desktop program waits for the unit. A request's waits sleep in a nested event loop that
// the port, the deadline or the window system wakes, so the windows keep painting at no cost
// while nothing happens. User input is not taken during a wait (a click could start a second
// exchange under the first): it is held and handed on once the wait is over, unless a box has
// opened meanwhile over the window it was meant for. Work that must not run inside a wait (a
// stop, a close, the held input) is put off until the wait is over.

#include "device/vcom_port.h"

#include <functional>

namespace k64::ui {

// The sleeper every device object of the desktop program waits in.
quon::io::WaitSleeper& EventLoopSleeper();

// A wait is under way: the code running now was called from inside its event loop.
bool InsideWait();

// Runs `action` once no wait is under way: at once, or from the event loop right after the
// wait, before the input held during it.
void AfterWait(std::function<void()> action);

// Forgets the input held during the wait under way: the program is ending.
void DropHeldInput();

}  // namespace k64::ui
