#include "support/recording_messages.h"

namespace k64::test {

MessageAnswer RecordingMessages::ShowMessage(const std::string& text, const std::string& caption,
                                             MessageButtons buttons)
{
    shown.push_back({text, caption, buttons});
    if (!answers.empty()) {
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return GoAnswer(buttons);
}

ScopedOwnerlessRecorder::ScopedOwnerlessRecorder() : previous_(OwnerlessMessages())
{
    SetOwnerlessMessages(&recorder);
}

ScopedOwnerlessRecorder::~ScopedOwnerlessRecorder() { SetOwnerlessMessages(previous_); }

}  // namespace k64::test
