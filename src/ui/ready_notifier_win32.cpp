#include "ui/ready_notifier.h"

#include <QWinEventNotifier>

#include <windows.h>

namespace k64::ui {

std::unique_ptr<QObject> ReadyNotifier(quon::io::WaitSleeper::Handle handle,
                                       std::function<void()> ready)
{
    auto notifier = std::make_unique<QWinEventNotifier>(reinterpret_cast<HANDLE>(handle));
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, std::move(ready));
    return notifier;
}

}  // namespace k64::ui
