#include "ui/device_slot.h"

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

void PaintWhileWaiting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace k64::ui
