#include "ui/ready_notifier.h"

#include <QWinEventNotifier>

#include <windows.h>

namespace k64::ui {
namespace {

// The notifier waits in the system's thread pool, whose callback posts to it. Wine may still run
// that callback after the notifier has stopped waiting, so it is stopped at once and deleted
// from the event loop, by when the callback is done; the stray post finds it disabled.
class EventWatch final : public QObject {
public:
    EventWatch(HANDLE event, std::function<void()> ready) : notifier_(new QWinEventNotifier(event))
    {
        connect(notifier_, &QWinEventNotifier::activated, this, std::move(ready));
    }
    ~EventWatch() override
    {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
    }

private:
    QWinEventNotifier* notifier_;
};

}  // namespace

std::unique_ptr<QObject> ReadyNotifier(quon::io::WaitSleeper::Handle handle,
                                       std::function<void()> ready)
{
    return std::make_unique<EventWatch>(reinterpret_cast<HANDLE>(handle), std::move(ready));
}

}  // namespace k64::ui
