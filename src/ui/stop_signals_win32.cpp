#include "ui/stop_signals.h"

namespace k64::ui {

// A Windows session ends a window program by closing its windows, which the main window's close
// handling already covers.
StopSignals::StopSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
}

StopSignals::~StopSignals() = default;

}  // namespace k64::ui
