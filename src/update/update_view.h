#pragma once
// What the firmware and sound transfers need from the window that hosts them. The desktop
// main window, k64ctl and the tests each implement it; the transfers never see a widget.
// All texts are UTF-8.

#include "common/message_interface.h"

#include <string>

namespace k64 {

class UpdateView {
public:
    virtual ~UpdateView() = default;

    // Owner of the questions and message boxes; null shows them ownerless.
    virtual MessageInterface* MessageOwner() = 0;

    // One new last line of the log memo (Memo1).
    virtual void AppendLog(const std::string& line) = 0;

    virtual void SetTitle(const std::string& title) = 0;

    // The progress bar (SaveProgress). StepProgress advances Position by Step.
    virtual void SetProgressMin(int min) = 0;
    virtual void SetProgressMax(int max) = 0;
    virtual void SetProgressStep(int step) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void StepProgress() = 0;

    // BlowUpdateButton.
    virtual void SetBlowButtonCaption(const std::string& caption) = 0;
    virtual void SetBlowButtonEnabled(bool enabled) = 0;
    virtual void FocusBlowButton() = 0;

    // WaveUpdateButton.
    virtual void SetWaveButtonCaption(const std::string& caption) = 0;

    // Timer1 (1 ms, firmware blocks) and Timer2 (10 ms, sound blocks). A disabled timer
    // delivers no tick; enabling it schedules the next tick one interval later.
    virtual void SetTimer1Enabled(bool enabled) = 0;
    virtual void SetTimer2Enabled(bool enabled) = 0;
};

}  // namespace k64
