#pragma once
// The firmware update of the main window: the embedded image is sent to the unit in blocks of
// UpdateBlockSize, one block per tick of Timer1, behind an 8-byte head of 0xFF, and confirmed
// with the image's length and checksum.
//
// Transfer buffer (BlowBuffer), offsets as the unit receives them:
//   0  8         eight bytes 0xFF
//   8  BlowSize  the image unchanged; its version record sits at image offset 256 (96 bytes:
//                Type 48, Version 16, BuildDate 32, each zero-terminated)

#include "device/device.h"
#include "device/port_hold.h"
#include "update/update_outcome.h"
#include "update/update_view.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace k64 {

class FirmwareUpdate {
public:
    explicit FirmwareUpdate(UpdateView& view);

    // Loads the embedded image "blow", or the given bytes; sets the window title and the
    // button caption. False (and nothing loaded) when the resource is missing or too large.
    [[nodiscard]] bool LoadFirmwareImage();
    [[nodiscard]] bool LoadFirmwareImage(std::span<const unsigned char> image);

    // The button's click: questions, version check, prepare request, then Timer1 runs.
    // `activeDevice` may be null: then nothing happens.
    void BlowUpdateButtonClick(DeviceInterface* activeDevice);
    // Runs once the questions are answered, with the port already held for the transfer and
    // before the prepare request: the place to keep what the update may change. False ends the
    // update there (the step has said why) and nothing more is sent.
    void SetBeforePrepare(std::function<bool(DeviceInterface&)> step)
    {
        beforePrepare_ = std::move(step);
    }
    // One tick of Timer1: one block, or the commit after the last block.
    void Timer1Timer(DeviceInterface* activeDevice);
    // Ends a running transfer between two blocks, as the sound update's "Стоп" does: nothing
    // more is sent, no commit. Nothing happens when no transfer runs.
    void Stop();

    bool Loaded() const { return !BlowBuffer.empty(); }
    UpdateOutcome Outcome() const { return outcome_; }
    int ProgressMax() const { return progressMax_; }

    // Transfer state; written only by the handlers above.
    std::vector<unsigned char> BlowBuffer;
    std::int32_t BlowSize = 0;
    std::int32_t BlowSendPos = 0;
    std::int32_t BlowRemaining = 0;
    bool BlowActive = false;
    VersionInfo ImageInfo{};

private:
    // Holds the port, runs the step set before the prepare request, then sends the request:
    // None when the transfer may start, otherwise how the update ends there.
    UpdateOutcome Prepare(DeviceInterface& device);
    void Fail(const char* text, const char* caption);
    // No block goes out any more; the button is back.
    void EndTransfer();
    // After the last exchange of a started update: the port is let go.
    void Finish(UpdateOutcome outcome);

    UpdateView& view_;
    std::function<bool(DeviceInterface&)> beforePrepare_;
    // The port stays ours from the prepare request to the commit: another program slipping in
    // between two blocks would break the transfer.
    std::optional<PortHold> hold_;
    UpdateOutcome outcome_ = UpdateOutcome::None;
    int progressMax_ = 0;
};

}  // namespace k64
