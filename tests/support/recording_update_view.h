#pragma once
// A window for the update transfers in tests: keeps the state of every control it is given,
// records every log line and message box in order, and answers questions from a queue.
// Timers are flags; a test "ticks" them itself, so no test waits for a clock.

#include "support/recording_messages.h"
#include "update/update_view.h"

#include <string>
#include <vector>

namespace k64::test {

class RecordingUpdateView : public UpdateView, public RecordingMessages {
public:
    std::string title;
    std::vector<std::string> log;
    std::vector<std::string> events;  // "log: ...", "box: caption | text", in order

    int progressMin = 0, progressMax = 100, progressStep = 10, progressPosition = 0;
    int steps = 0;
    bool progressOverran = false;  // a step went past the maximum

    std::string blowCaption, waveCaption;
    bool blowEnabled = true;
    int blowFocused = 0;
    bool timer1 = false, timer2 = false;

    MessageInterface* MessageOwner() override { return this; }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override
    {
        events.push_back("box: " + caption + " | " + text);
        return RecordingMessages::ShowMessage(text, caption, buttons);
    }
    void AppendLog(const std::string& line) override
    {
        log.push_back(line);
        events.push_back("log: " + line);
    }
    void SetTitle(const std::string& t) override { title = t; }
    void SetProgressMin(int v) override { progressMin = v; }
    void SetProgressMax(int v) override { progressMax = v; }
    void SetProgressStep(int v) override { progressStep = v; }
    void SetProgressPosition(int v) override { progressPosition = v; }
    void StepProgress() override
    {
        progressPosition += progressStep;
        ++steps;
        if (progressPosition > progressMax)
            progressOverran = true;
    }
    void SetBlowButtonCaption(const std::string& c) override { blowCaption = c; }
    void SetBlowButtonEnabled(bool e) override { blowEnabled = e; }
    void FocusBlowButton() override { ++blowFocused; }
    void SetWaveButtonCaption(const std::string& c) override { waveCaption = c; }
    void SetTimer1Enabled(bool e) override { timer1 = e; }
    void SetTimer2Enabled(bool e) override { timer2 = e; }
};

}  // namespace k64::test
