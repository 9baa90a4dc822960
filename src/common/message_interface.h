#pragma once
// The one way the layers below the windows show a message box or ask a question. The desktop
// program answers with real modal boxes, k64ctl on the terminal, tests with a recording fake.
// All texts are UTF-8; data from the unit or files is converted (cp1251.h) before it gets here.

#include <string>

namespace k64 {

// YesNoDefaultNo: a question whose careless answer must not be the risky one (Enter says No).
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoDefaultNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The answer that goes ahead (OK or Yes), and the one that changes nothing (OK, Cancel or No).
MessageAnswer GoAnswer(MessageButtons buttons);
MessageAnswer StayAnswer(MessageButtons buttons);

class MessageInterface {
public:
    virtual ~MessageInterface() = default;
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageButtons buttons) = 0;
};

// Boxes that have no owner window (the serial port's own failures) go to this program-wide
// receiver. Without one they are written to standard error and answered with Ok.
MessageInterface* OwnerlessMessages();
void SetOwnerlessMessages(MessageInterface* receiver);

// Shows a box on `owner`, or ownerless when `owner` is null.
MessageAnswer ShowMessage(MessageInterface* owner, const std::string& text,
                          const std::string& caption, MessageButtons buttons = MessageButtons::Ok);

}  // namespace k64
