#pragma once
// A message receiver for tests: records every box and answers questions from a queue, so no
// test ever waits for a person.

#include "common/message_interface.h"

#include <deque>
#include <string>
#include <vector>

namespace k64::test {

struct RecordedMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons;
};

class RecordingMessages : public MessageInterface {
public:
    // Answers given in order; when the queue is empty, Ok/Yes (the first button) is given.
    std::deque<MessageAnswer> answers;
    std::vector<RecordedMessage> shown;

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override;
};

// Installs a recorder as the receiver of ownerless boxes for the lifetime of the object.
class ScopedOwnerlessRecorder {
public:
    ScopedOwnerlessRecorder();
    ~ScopedOwnerlessRecorder();
    ScopedOwnerlessRecorder(const ScopedOwnerlessRecorder&) = delete;
    ScopedOwnerlessRecorder& operator=(const ScopedOwnerlessRecorder&) = delete;
    RecordingMessages recorder;

private:
    MessageInterface* previous_;
};

}  // namespace k64::test
