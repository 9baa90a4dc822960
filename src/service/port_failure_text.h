#pragma once
// The one line that says why the port failed and what to do, shown after the program's own
// message about it: in the main window's log and on k64ctl's standard error alike.

#include "device/port_failure.h"

#include <string>

namespace k64::service {

// "Нет доступа к /dev/ttyACM0: группа dialout; выполните k64ctl doctor". Empty for no failure.
std::string PortFailureLine(const std::string& port, const quon::io::PortFailure& failure);

// Permission bits as ls shows them: "rw-rw----".
std::string ModeText(unsigned mode);

}  // namespace k64::service
