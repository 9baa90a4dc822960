#include "main.h"

#include <cstdio>
#include <cstdlib>

#include <windows.h>
#include <shellapi.h>

namespace {

std::string Utf8(const wchar_t* text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

// Virtual-terminal processing on one console handle while it lives; nothing when the handle is
// no console or the console cannot do it (the programs then draw plain lines).
class ConsoleMode {
public:
    explicit ConsoleMode(DWORD which) : handle_(::GetStdHandle(which))
    {
        if (::GetConsoleMode(handle_, &mode_) == 0)
            return;
        changed_ = ::SetConsoleMode(handle_, mode_ | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }
    ~ConsoleMode()
    {
        if (changed_)
            ::SetConsoleMode(handle_, mode_);
    }
    ConsoleMode(const ConsoleMode&) = delete;
    ConsoleMode& operator=(const ConsoleMode&) = delete;

private:
    HANDLE handle_;
    DWORD mode_ = 0;
    bool changed_ = false;
};

}  // namespace

int main()
{
    // Everything k64ctl prints is UTF-8, and so is what it reads as answers. The console gets
    // back its code pages on exit, so the user's next program is not affected.
    const UINT outputPage = ::GetConsoleOutputCP();
    const UINT inputPage = ::GetConsoleCP();
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
    // The live lines of updates and of runs on many units are redrawn in place with escape
    // sequences, which a console takes only in this mode; the modes come back on exit, too.
    const ConsoleMode output(STD_OUTPUT_HANDLE);
    const ConsoleMode error(STD_ERROR_HANDLE);

    // The narrow argv is in the ANSI code page, which cannot hold every name; the wide one can.
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i)
        arguments.push_back(Utf8(wide[i]));
    ::LocalFree(wide);

    const int code = k64::cli::Main(arguments);
    std::fflush(stdout);
    std::fflush(stderr);
    if (outputPage != 0)
        ::SetConsoleOutputCP(outputPage);
    if (inputPage != 0)
        ::SetConsoleCP(inputPage);
    return code;
}
