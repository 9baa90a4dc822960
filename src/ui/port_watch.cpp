#include "ui/port_watch.h"

#include "ui/ready_notifier.h"

namespace k64::ui {

PortWatch::PortWatch(const std::vector<std::string>& folders, QObject* parent)
    : QObject(parent), watch_(folders)
{
    // Without a watch the list stays as it was at start, as before the watch existed.
    if (!watch_.Failure().empty())
        return;
    notifier_ = ReadyNotifier(watch_.ReadyHandle(), [this] {
        if (watch_.TakeChanges())
            emit Changed();
    });
}

PortWatch::~PortWatch() = default;

}  // namespace k64::ui
