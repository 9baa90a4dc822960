#include "update/firmware_update.h"

#include "common/cp1251.h"
#include "device/crc32.h"
#include "resources/resources.h"
#include "update/update_constants.h"
#include "update/version_check.h"

#include <algorithm>
#include <string>

namespace k64 {

using namespace update;

FirmwareUpdate::FirmwareUpdate(UpdateView& view) : view_(view) {}

bool FirmwareUpdate::LoadFirmwareImage()
{
    const auto image = resources::Find("blow");
    return image && LoadFirmwareImage(*image);
}

bool FirmwareUpdate::LoadFirmwareImage(std::span<const unsigned char> image)
{
    if (static_cast<std::int64_t>(image.size()) > kMaxPayloadSize)
        return false;
    BlowSize = static_cast<std::int32_t>(image.size());
    BlowBuffer.assign(kHeadSize, kFirmwareHeadByte);
    BlowBuffer.insert(BlowBuffer.end(), image.begin(), image.end());
    BlowSendPos = 0;
    BlowRemaining = 0;
    BlowActive = false;
    ImageInfo = ReadVersionRecord(image, kImageVersionOffset);

    const std::string version = Cp1251ToUtf8(FieldText(ImageInfo.Version));
    view_.SetTitle(Cp1251ToUtf8(TitleType(ImageInfo)) + text::kTitleSeparator + version);
    view_.SetBlowButtonCaption(text::kFirmwareCaption + version);
    return true;
}

void FirmwareUpdate::BlowUpdateButtonClick(DeviceInterface* activeDevice)
{
    // The button is disabled while a transfer runs; a click that still arrives changes nothing.
    if (activeDevice == nullptr || !Loaded() || BlowActive)
        return;
    MessageInterface* owner = view_.MessageOwner();

    if (ShowMessage(owner, text::kFirmwareQuestion, texts::kAttention, MessageButtons::OkCancel) !=
        MessageAnswer::Ok) {
        outcome_ = UpdateOutcome::Declined;
        return;
    }

    std::string reply;
    if (!Answered(activeDevice->GetVersion(&reply)) || !IsVersionReply(reply)) {
        ShowMessage(owner, texts::kDeviceBusy, texts::kError, MessageButtons::Ok);
        outcome_ = UpdateOutcome::DeviceBusy;
        return;
    }
    VersionInfo unit{};
    activeDevice->ParseVersion(&unit, reply);
    TerminateFields(unit);

    const VersionInfo image = ReadVersionRecord(BlowBuffer, kHeadSize + kImageVersionOffset);
    if (UnitIsNotOlder(unit, image) &&
        ShowMessage(owner, text::kNotOlderQuestion, texts::kAttention, MessageButtons::YesNo) !=
            MessageAnswer::Yes) {
        outcome_ = UpdateOutcome::Declined;
        return;
    }

    view_.SetProgressMin(0);
    view_.SetProgressMax(100);
    view_.SetProgressPosition(0);
    view_.SetBlowButtonEnabled(false);
    view_.AppendLog(text::kLogPreparingFirmware);

    if (const UpdateOutcome refused = Prepare(*activeDevice); refused != UpdateOutcome::None) {
        hold_.reset();
        // A step that refused to keep the settings has shown its own reason.
        if (refused == UpdateOutcome::DeviceBusy)
            ShowMessage(owner, texts::kDeviceBusy, texts::kError, MessageButtons::Ok);
        view_.AppendLog(text::kLogCancelled);
        view_.SetBlowButtonEnabled(true);
        outcome_ = refused;
        return;
    }

    view_.AppendLog(text::kLogLoadingFirmware);
    // One step per block. `BlowSize div 1024 + 1` would fall one short of the block count when
    // the image ends within the last 8 bytes of a kilobyte, and the bar would overrun.
    const std::int64_t total = std::int64_t{BlowSize} + kHeadSize;
    progressMax_ = static_cast<int>((total + UpdateBlockSize - 1) / UpdateBlockSize);
    view_.SetProgressMin(0);
    view_.SetProgressMax(progressMax_);
    view_.SetProgressStep(1);
    view_.SetProgressPosition(0);

    BlowSendPos = 0;
    BlowRemaining = BlowSize + kHeadSize;
    BlowActive = true;
    outcome_ = UpdateOutcome::None;
    view_.SetTimer1Enabled(true);
}

UpdateOutcome FirmwareUpdate::Prepare(DeviceInterface& device)
{
    hold_.emplace(device);
    if (!*hold_)
        return UpdateOutcome::DeviceBusy;  // another program has the port
    if (beforePrepare_ && !beforePrepare_(device))
        return UpdateOutcome::NotKept;
    if (!Answered(device.BeginFirmwareUpdate()))
        return UpdateOutcome::DeviceBusy;
    return UpdateOutcome::None;
}

void FirmwareUpdate::Fail(const char* text, const char* caption)
{
    ShowMessage(view_.MessageOwner(), text, caption, MessageButtons::Ok);
    view_.AppendLog(text::kLogCancelled);
}

void FirmwareUpdate::EndTransfer()
{
    BlowActive = false;
    view_.SetBlowButtonEnabled(true);
}

void FirmwareUpdate::Finish(UpdateOutcome outcome)
{
    hold_.reset();
    outcome_ = outcome;
}

void FirmwareUpdate::Stop()
{
    if (!BlowActive)
        return;
    view_.SetTimer1Enabled(false);
    view_.AppendLog(text::kLogCancelled);
    EndTransfer();
    Finish(UpdateOutcome::Stopped);
}

void FirmwareUpdate::Timer1Timer(DeviceInterface* activeDevice)
{
    view_.SetTimer1Enabled(false);
    if (!BlowActive) {
        view_.SetTimer1Enabled(true);
        return;
    }

    if (BlowRemaining == 0) {
        view_.SetProgressPosition(progressMax_);
        EndTransfer();
        const std::uint32_t crc = quon::util::Crc32Plain(BlowBuffer.data() + kHeadSize,
                                                         static_cast<std::uint32_t>(BlowSize));
        const bool committed =
            activeDevice != nullptr &&
            Answered(activeDevice->CommitUpdate(crc, static_cast<std::uint32_t>(BlowSize)));
        Finish(committed ? UpdateOutcome::Committed : UpdateOutcome::CommitRejected);
        if (!committed) {
            Fail(text::kNoCrcConfirmation, text::kUpdateError);
            return;
        }
        view_.AppendLog(text::kLogFinished);
        view_.SetProgressPosition(0);
        view_.FocusBlowButton();
        return;
    }

    const int n = std::min<std::int32_t>(BlowRemaining, UpdateBlockSize);
    // Without a device object (the slot was emptied mid-transfer) the block cannot go out;
    // failing here keeps the button from staying disabled for good.
    if (activeDevice == nullptr ||
        activeDevice->SendDataFragment(BlowBuffer.data() + BlowSendPos,
                                       static_cast<std::uint32_t>(BlowSendPos),
                                       static_cast<std::uint16_t>(n)) < 0) {
        Fail(text::kTransferError, texts::kError);
        EndTransfer();
        Finish(UpdateOutcome::TransferFailed);
        return;
    }
    BlowSendPos += n;
    BlowRemaining -= n;
    view_.StepProgress();
    view_.SetTimer1Enabled(true);
}

}  // namespace k64
