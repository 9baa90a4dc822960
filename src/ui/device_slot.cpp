#include "ui/device_slot.h"

#include "service/port_failure_text.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

namespace k64::ui {
namespace {

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel: return true;
    default: return false;
    }
}

// Input that reaches a window while a request waits is handed back to the queue, in order, and
// taken once the wait is over. Leaving it to the window system's own exclusion loses it: the
// held events are looked at again only when another event of the window system comes in outside
// a wait, which during a transfer (one wait after another) may not happen for minutes.
class InputHeldDuringWait final : public QObject {
public:
    bool waiting = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // At the window, before it picks a widget: the event goes the whole way later.
        if (!waiting || !watched->isWindowType() || !IsUserInput(event->type()))
            return false;
        QCoreApplication::postEvent(watched, event->clone());
        return true;
    }
};

}  // namespace

void DeviceSlot::Replace(std::unique_ptr<TDevice> device)
{
    device_ = std::move(device);
    if (device_)
        device_->SetIdleHook(&PaintWhileWaiting);
    ++generation_;
}

void DeviceSlot::LogPortFailure()
{
    if (!device_ || !failureLog_)
        return;
    if (const quon::io::PortFailure failure = device_->TakePortFailure())
        failureLog_(service::PortFailureLine(device_->PortName(), failure));
}

void PaintWhileWaiting()
{
    static QPointer<InputHeldDuringWait> held;
    if (!held) {
        held = new InputHeldDuringWait;
        held->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(held);
    }
    held->waiting = true;
    QCoreApplication::processEvents();
    held->waiting = false;
}

}  // namespace k64::ui
