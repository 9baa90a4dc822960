#pragma once
// Message boxes on a terminal: a box becomes its text on standard output (results) or standard
// error (warnings and errors); a question is asked on the terminal, or, when nobody sits at one,
// answered with the answer that changes nothing.

#include "common/message_interface.h"

#include <cstdio>
#include <string>

namespace k64::cli {

class TerminalMessages final : public MessageInterface {
public:
    // `interactive`: questions are read from `in`; otherwise they get the safe answer.
    TerminalMessages(std::FILE* out, std::FILE* err, std::FILE* in, bool interactive);

    // Stdin and stderr both terminals: a person can see the question and answer it.
    static bool StandardStreamsAreTerminal();

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override;

private:
    MessageAnswer Ask(const std::string& text, const std::string& caption, MessageButtons buttons);

    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    bool interactive_;
};

// Installs `receiver` for boxes without an owner window for its lifetime.
class ScopedOwnerlessMessages {
public:
    explicit ScopedOwnerlessMessages(MessageInterface* receiver);
    ~ScopedOwnerlessMessages();
    ScopedOwnerlessMessages(const ScopedOwnerlessMessages&) = delete;
    ScopedOwnerlessMessages& operator=(const ScopedOwnerlessMessages&) = delete;

private:
    MessageInterface* previous_;
};

}  // namespace k64::cli
