#include "ui/device_slot.h"

#include "service/port_failure_text.h"
#include "ui/event_loop_wait.h"
#include "ui/ui_texts.h"

namespace k64::ui {
void DeviceSlot::Replace(std::unique_ptr<TDevice> device)
{
    device_ = std::move(device);
    if (device_)
        device_->Port().SetSleeper(&EventLoopSleeper());
    ++generation_;
}

void DeviceSlot::LogFailure()
{
    if (!device_ || !failureLog_)
        return;
    std::string line = service::PortFailureLine(device_->PortName(), device_->TakePortFailure());
    if (line.empty())
        line = service::SilenceLine(device_->TakeSilence());
    if (!line.empty())
        failureLog_(line + text::kLookAtConnectionCheck);
}

}  // namespace k64::ui
