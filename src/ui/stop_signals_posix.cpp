#include "ui/stop_signals.h"

#include "common/stop_pipe.h"

#include <QSocketNotifier>

#include <optional>

namespace k64::ui {
namespace {

std::optional<StopPipe> stopPipe;  // one StopSignals at a time, as one StopPipe

}  // namespace

StopSignals::StopSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    stopPipe.emplace({SIGTERM, SIGINT, SIGHUP});
    if (stopPipe->ReadEnd() < 0) {
        stopPipe.reset();
        return;
    }
    auto* notifier = new QSocketNotifier(stopPipe->ReadEnd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        stopPipe->Drain();
        onSignal_();
    });
}

StopSignals::~StopSignals()
{
    if (!stopPipe)
        return;
    qDeleteAll(findChildren<QSocketNotifier*>());  // before its descriptor goes
    stopPipe.reset();
}

}  // namespace k64::ui
