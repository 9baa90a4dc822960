#pragma once
// The one line that says why a request failed, shown after the program's own message about it:
// in the main window's log and on k64ctl's standard error alike. These are the facts; each
// program adds where to look next in its own words.

#include "device/port_failure.h"

#include <chrono>
#include <string>

namespace k64::service {

// "Нет доступа к /dev/ttyACM0: группа dialout". Empty for no failure.
std::string PortFailureLine(const std::string& port, const quon::io::PortFailure& failure);

// "Устройство не ответило за 4 с". Empty for no wait.
std::string SilenceLine(std::chrono::milliseconds waited);

// Permission bits as ls shows them: "rw-rw----".
std::string ModeText(unsigned mode);

}  // namespace k64::service
