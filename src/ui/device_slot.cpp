#include "ui/device_slot.h"

#include "service/port_failure_text.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace k64::ui {

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

void PaintWhileWaiting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace k64::ui
