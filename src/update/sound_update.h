#pragma once
// The sound update of the main window: the embedded sound container is streamed to the unit
// unchanged, head included, one block of up to UpdateBlockSize per tick of Timer2, and confirmed
// with the two words of its head.
//
// Container head, little-endian:
//   0  4  DataLength  bytes after the head
//   4  4  DataCrc     checksum of those bytes, computed when the container was built
// The transfer trusts the head: it computes no checksum itself, and the unit judges the commit.

#include "device/device.h"
#include "device/port_hold.h"
#include "update/update_outcome.h"
#include "update/update_view.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace k64 {

// A read cursor over bytes the program carries (the embedded container).
class ResourceStream {
public:
    explicit ResourceStream(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    // Copies up to `count` bytes from the cursor on; returns how many.
    std::size_t Read(void* data, std::size_t count);
    void Seek(std::size_t position);
    std::size_t Position() const { return position_; }

private:
    std::span<const unsigned char> bytes_;
    std::size_t position_ = 0;
};

class SoundUpdate {
public:
    explicit SoundUpdate(UpdateView& view);
    SoundUpdate(const SoundUpdate&) = delete;  // WaveStream and the span point into owned_
    SoundUpdate& operator=(const SoundUpdate&) = delete;

    // Measures the embedded container "wave_list", or takes the given bytes; sets the button
    // caption. False (nothing loaded) when the container is missing, shorter than its head or
    // too large.
    [[nodiscard]] bool LoadSoundData();
    [[nodiscard]] bool LoadSoundData(std::vector<unsigned char> container);

    // The button's click. While a transfer runs the button reads "Стоп": a click asks, and Yes
    // stops it between two blocks; otherwise it asks, prepares the unit and starts Timer2.
    // `activeDevice` may be null: then nothing happens.
    void WaveUpdateButtonClick(DeviceInterface* activeDevice);
    // Ends a running transfer between two blocks without asking (a signal, a closed window):
    // nothing more is sent, no commit. Nothing happens when no transfer runs.
    void Stop();
    // One tick of Timer2: one block, or the commit after the last block.
    void Timer2Timer(DeviceInterface* activeDevice);

    bool Loaded() const { return !container_.empty(); }
    bool Running() const { return WaveStream.has_value(); }
    UpdateOutcome Outcome() const { return outcome_; }
    int ProgressMax() const { return progressMax_; }
    std::size_t ContainerSize() const { return container_.size(); }

    // Transfer state; written only by the handlers above.
    std::int32_t WaveDataSize = 0;
    std::optional<ResourceStream> WaveStream;  // open only while a transfer runs
    std::int32_t WaveSent = 0;

private:
    // After the last exchange of a started update: the port is let go.
    void Finish(UpdateOutcome outcome);
    void RestoreCaption();

    UpdateView& view_;
    std::vector<unsigned char> owned_;          // bytes given by the caller, if any
    std::span<const unsigned char> container_;  // the container, embedded or owned_
    // Held from the prepare request to the commit: another program slipping in between two
    // blocks would leave the unit's sound area erased.
    std::optional<PortHold> hold_;
    UpdateOutcome outcome_ = UpdateOutcome::None;
    int progressMax_ = 0;
};

}  // namespace k64
