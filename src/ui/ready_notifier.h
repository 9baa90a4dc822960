#pragma once
// A notifier that tells the event loop when a port's wait handle is ready: a readable descriptor
// on POSIX systems, a signalled event on Windows. The back end is a whole file chosen by the build.

#include "device/vcom_port.h"

#include <QObject>

#include <functional>
#include <memory>

namespace k64::ui {

std::unique_ptr<QObject> ReadyNotifier(quon::io::WaitSleeper::Handle handle,
                                       std::function<void()> ready);

}  // namespace k64::ui
