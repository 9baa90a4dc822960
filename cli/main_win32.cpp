#include "main.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

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

}  // namespace

int main()
{
    // Everything k64ctl prints is UTF-8, and so is what it reads as answers. The console gets
    // back its code pages on exit, so the user's next program is not affected.
    const UINT outputPage = ::GetConsoleOutputCP();
    const UINT inputPage = ::GetConsoleCP();
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);

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
