#pragma once
// A window with nothing to show for the benches: every question answered Yes (or OK), only the
// timers' state kept, since the benches drive the transfers' ticks themselves.

#include "common/message_interface.h"
#include "update/update_view.h"

#include <string>

namespace k64::bench {

class Yes final : public MessageInterface {
public:
    MessageAnswer ShowMessage(const std::string&, const std::string&,
                              MessageButtons buttons) override
    {
        return GoAnswer(buttons);
    }
};

class QuietView : public UpdateView {
public:
    bool timer1 = false, timer2 = false;
    MessageInterface* MessageOwner() override { return &yes_; }
    void AppendLog(const std::string&) override {}
    void SetTitle(const std::string&) override {}
    void SetProgressMin(int) override {}
    void SetProgressMax(int) override {}
    void SetProgressStep(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void SetBlowButtonCaption(const std::string&) override {}
    void SetBlowButtonEnabled(bool) override {}
    void FocusBlowButton() override {}
    void SetWaveButtonCaption(const std::string&) override {}
    void SetTimer1Enabled(bool e) override { timer1 = e; }
    void SetTimer2Enabled(bool e) override { timer2 = e; }

private:
    Yes yes_;
};

}  // namespace k64::bench
