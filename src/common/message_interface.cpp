#include "message_interface.h"

#include <cstdio>

namespace k64 {
namespace {
MessageInterface* g_ownerless = nullptr;
}

MessageInterface* OwnerlessMessages() { return g_ownerless; }

void SetOwnerlessMessages(MessageInterface* receiver) { g_ownerless = receiver; }

MessageAnswer ShowMessage(MessageInterface* owner, const std::string& text,
                          const std::string& caption, MessageButtons buttons)
{
    if (owner == nullptr)
        owner = g_ownerless;
    if (owner != nullptr)
        return owner->ShowMessage(text, caption, buttons);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    // Nobody to ask: a question gets the answer that changes nothing.
    return StayAnswer(buttons);
}

MessageAnswer GoAnswer(MessageButtons buttons)
{
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel
               ? MessageAnswer::Ok
               : MessageAnswer::Yes;
}

MessageAnswer StayAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::OkCancel: return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoDefaultNo: return MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

}  // namespace k64
