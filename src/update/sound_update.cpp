#include "update/sound_update.h"

#include "device/byte_buffer.h"
#include "resources/resources.h"
#include "update/update_constants.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace k64 {

using namespace update;

std::size_t ResourceStream::Read(void* data, std::size_t count)
{
    const std::size_t n = std::min(count, bytes_.size() - position_);
    if (n > 0)
        std::memcpy(data, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void ResourceStream::Seek(std::size_t position) { position_ = std::min(position, bytes_.size()); }

SoundUpdate::SoundUpdate(UpdateView& view) : view_(view) {}

bool SoundUpdate::LoadSoundData()
{
    const auto found = resources::Find("wave_list");
    if (!found || found->size() < static_cast<std::size_t>(kHeadSize) ||
        static_cast<std::int64_t>(found->size()) > kMaxPayloadSize) {
        return false;
    }
    owned_.clear();
    container_ = *found;
    WaveDataSize = static_cast<std::int32_t>(container_.size()) - kHeadSize;
    WaveStream.reset();
    RestoreCaption();
    return true;
}

bool SoundUpdate::LoadSoundData(std::vector<unsigned char> container)
{
    if (container.size() < static_cast<std::size_t>(kHeadSize) ||
        static_cast<std::int64_t>(container.size()) > kMaxPayloadSize) {
        return false;
    }
    owned_ = std::move(container);
    container_ = owned_;
    WaveDataSize = static_cast<std::int32_t>(container_.size()) - kHeadSize;
    WaveStream.reset();
    RestoreCaption();
    return true;
}

void SoundUpdate::RestoreCaption()
{
    view_.SetWaveButtonCaption(text::kSoundCaption + std::to_string(WaveDataSize));
}

void SoundUpdate::Stop()
{
    if (!Running())
        return;
    // The unit has been told nothing final: its sound area stays as the prepare request left
    // it, and the next start prepares it again and sends everything from offset 0.
    view_.SetTimer2Enabled(false);
    WaveStream.reset();
    view_.AppendLog(text::kLogCancelled);
    view_.AppendLog(text::kLogSoundErased);
    RestoreCaption();
    Finish(UpdateOutcome::Stopped);
}

void SoundUpdate::Finish(UpdateOutcome outcome)
{
    hold_.reset();
    outcome_ = outcome;
}

void SoundUpdate::WaveUpdateButtonClick(DeviceInterface* activeDevice)
{
    if (Running()) {
        // The blocks go on while the question is open; the transfer may be over by the answer.
        if (ShowMessage(view_.MessageOwner(), text::kStopSoundQuestion, texts::kAttention,
                        MessageButtons::YesNo) == MessageAnswer::Yes)
            Stop();
        return;
    }
    if (activeDevice == nullptr || !Loaded())
        return;
    MessageInterface* owner = view_.MessageOwner();

    if (ShowMessage(owner, text::kSoundQuestion, texts::kAttention, MessageButtons::OkCancel) !=
        MessageAnswer::Ok) {
        outcome_ = UpdateOutcome::Declined;
        return;
    }

    view_.SetProgressMin(0);
    view_.SetProgressStep(1);
    view_.SetProgressPosition(0);
    view_.SetWaveButtonCaption(text::kStopCaption);
    view_.AppendLog(text::kLogPreparingSound);

    hold_.emplace(*activeDevice);
    if (!*hold_ || !Answered(activeDevice->BeginWaveUpdate())) {
        hold_.reset();
        ShowMessage(owner, text::kDeviceBusyCancelled, texts::kError, MessageButtons::Ok);
        RestoreCaption();
        outcome_ = UpdateOutcome::DeviceBusy;
        return;
    }

    WaveStream.emplace(container_);
    progressMax_ = static_cast<int>(container_.size() / UpdateBlockSize + 1);
    view_.SetProgressMax(progressMax_);
    WaveSent = 0;
    outcome_ = UpdateOutcome::None;
    view_.SetTimer2Enabled(true);
    view_.AppendLog(text::kLogWritingSound);
}

void SoundUpdate::Timer2Timer(DeviceInterface* activeDevice)
{
    view_.SetTimer2Enabled(false);
    if (!WaveStream) {
        view_.SetTimer2Enabled(true);
        return;
    }

    std::array<unsigned char, UpdateBlockSize> block;
    const std::size_t n = WaveStream->Read(block.data(), block.size());

    if (n > 0) {
        // Without a device object (the slot was emptied mid-transfer) the block cannot go out.
        if (activeDevice == nullptr ||
            activeDevice->SendDataFragment(block.data(), static_cast<std::uint32_t>(WaveSent),
                                           static_cast<std::uint16_t>(n)) < 0) {
            ShowMessage(view_.MessageOwner(), text::kTransferError, texts::kError,
                        MessageButtons::Ok);
            RestoreCaption();
            // The transfer is over: release its stream so that nothing reads it again and the
            // button starts afresh instead of offering "Стоп" for a dead transfer.
            WaveStream.reset();
            Finish(UpdateOutcome::TransferFailed);
            return;
        }
        WaveSent += static_cast<std::int32_t>(n);
        view_.StepProgress();
        view_.SetTimer2Enabled(true);
        return;
    }

    view_.SetProgressPosition(progressMax_);
    std::array<unsigned char, kHeadSize> head;
    WaveStream->Seek(0);
    WaveStream->Read(head.data(), head.size());  // the container is at least a head long
    WaveStream.reset();
    quon::util::ByteBuffer fields(head.data(), static_cast<int>(head.size()));
    const std::uint32_t dataLength = fields.ReadUInt32();
    const std::uint32_t dataCrc = fields.ReadUInt32();
    RestoreCaption();

    const bool committed =
        activeDevice != nullptr && Answered(activeDevice->CommitUpdate(dataCrc, dataLength));
    Finish(committed ? UpdateOutcome::Committed : UpdateOutcome::CommitRejected);
    if (!committed) {
        ShowMessage(view_.MessageOwner(), text::kNoCrcConfirmation, text::kUpdateError,
                    MessageButtons::Ok);
        RestoreCaption();
        return;
    }
    ShowMessage(view_.MessageOwner(), text::kSoundWritten, texts::kMessage, MessageButtons::Ok);
}

}  // namespace k64
