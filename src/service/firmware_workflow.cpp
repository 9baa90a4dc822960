#include "service/firmware_workflow.h"

namespace k64::service {

FirmwareSafetyNet::FirmwareSafetyNet(FirmwareUpdate& firmware, const ParameterList& schema,
                                     std::filesystem::path historyFolder, WorkflowView& view)
    : firmware_(firmware), schema_(schema), folder_(std::move(historyFolder)), view_(view)
{
    firmware_.SetBeforePrepare([this](DeviceInterface& held) {
        SafetyNet net = KeepBeforeChange(held, schema_, folder_, view_);
        kept_ = std::move(net.kept);
        entry_ = kept_ ? kept_->entry : std::filesystem::path();
        return net.proceed;
    });
}

std::optional<AfterUpdate> FirmwareSafetyNet::AfterTick(DeviceInterface& device)
{
    if (!kept_ || firmware_.Outcome() != UpdateOutcome::Committed)
        return std::nullopt;
    const KeptSettings before = std::move(*kept_);
    kept_.reset();
    return CompareAfterUpdate(device, before, view_);
}

}  // namespace k64::service
