#include "terminal_messages.h"

#include "common/shared_texts.h"
#include "json_output.h"
#include "terminal.h"
#include "update/update_constants.h"

#include <array>
#include <cctype>
#include <string_view>

namespace k64::cli {
namespace {
// Captions of the boxes that report a result rather than a problem; those go to stdout.
constexpr std::array<std::string_view, 2> kResultCaptions = {texts::kMessage, texts::kDeviceFound};

// Captions that add nothing to their box's text on a terminal. Any other caption (the serial
// port's own failures put their subject there) is printed in front of the text.
constexpr std::array<std::string_view, 7> kPlainCaptions = {texts::kMessage,
                                                            texts::kDeviceFound,
                                                            texts::kError,
                                                            texts::kAttention,
                                                            texts::kLoadImpossible,
                                                            update::text::kUpdateError,
                                                            ""};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view caption)
{
    for (std::string_view entry : list)
        if (entry == caption)
            return true;
    return false;
}

void WriteLine(std::FILE* stream, std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), stream);
    if (line.empty() || line.back() != '\n')
        std::fputc('\n', stream);
    std::fflush(stream);
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Answers accepted as "go ahead" on a terminal: Latin and Cyrillic, short and long.
bool IsAffirmative(const std::string& answer)
{
    const std::string a = Lowered(answer);
    return a == "y" || a == "yes" || a == "ok" || a == "ок" || a == "д" || a == "да" || a == "Д" ||
           a == "Да" || a == "ДА";
}

std::string TrimmedLine(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    return line.substr(start);
}
}  // namespace

TerminalMessages::TerminalMessages(std::FILE* out, std::FILE* err, std::FILE* in, bool interactive)
    : out_(out), err_(err), in_(in), interactive_(interactive)
{
}

bool TerminalMessages::StandardStreamsAreTerminal()
{
    return IsTerminal(stdin) && IsTerminal(stderr);
}

MessageAnswer TerminalMessages::ShowMessage(const std::string& text, const std::string& caption,
                                            MessageButtons buttons)
{
    if (buttons != MessageButtons::Ok)
        return Ask(text, caption, buttons);
    std::FILE* stream = Contains(kResultCaptions, caption) ? out_ : err_;
    const std::string line = Contains(kPlainCaptions, caption) ? text : caption + ": " + text;
    if (stream == err_)
        NoteError(line);
    WriteLine(stream, line);
    return MessageAnswer::Ok;
}

MessageAnswer TerminalMessages::Ask(const std::string& text, const std::string& caption,
                                    MessageButtons buttons)
{
    const bool okCancel = buttons == MessageButtons::OkCancel;
    const MessageAnswer go = GoAnswer(buttons);
    const MessageAnswer stay = StayAnswer(buttons);
    const std::string prefix = caption.empty() ? std::string() : caption + ": ";
    const char* choices = okCancel ? " [ok/отмена] " : " [да/нет] ";

    if (!interactive_) {
        WriteLine(err_, prefix + text + (okCancel ? " -> Отмена" : " -> Нет"));
        return stay;
    }
    std::fputs((prefix + text + choices).c_str(), err_);
    std::fflush(err_);
    std::array<char, 256> buffer{};
    // End of input or a read error: nobody answered, so nothing is done.
    if (std::fgets(buffer.data(), static_cast<int>(buffer.size()), in_) == nullptr) {
        std::fputc('\n', err_);
        return stay;
    }
    return IsAffirmative(TrimmedLine(buffer.data())) ? go : stay;
}

ScopedOwnerlessMessages::ScopedOwnerlessMessages(MessageInterface* receiver)
    : previous_(OwnerlessMessages())
{
    SetOwnerlessMessages(receiver);
}

ScopedOwnerlessMessages::~ScopedOwnerlessMessages() { SetOwnerlessMessages(previous_); }

}  // namespace k64::cli
