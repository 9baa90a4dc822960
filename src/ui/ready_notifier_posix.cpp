#include "ui/ready_notifier.h"

#include <QSocketNotifier>

namespace k64::ui {

std::unique_ptr<QObject> ReadyNotifier(quon::io::WaitSleeper::Handle handle,
                                       std::function<void()> ready)
{
    auto notifier =
        std::make_unique<QSocketNotifier>(static_cast<qintptr>(handle), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, std::move(ready));
    return notifier;
}

}  // namespace k64::ui
