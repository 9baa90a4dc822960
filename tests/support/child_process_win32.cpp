// The tests built for Windows run under Wine, and the program they start is a Linux one (the
// simulator). Wine starts a Linux program but gives no handle to wait on or stop, nor its output:
// a shell notes the child's process id and sends its output to a file, and the child is stopped
// by running kill.

#include "support/child_process.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <windows.h>

namespace k64::test {
namespace {

using Clock = std::chrono::steady_clock;
// A file written by another process is looked at this often; a test helper, not the product.
constexpr std::chrono::milliseconds kLook{10};

using NameConverter = char* (*)(const wchar_t*);
using DosNameConverter = wchar_t* (*)(const char*);

// Wine's own export names the Linux file behind a Windows one.
std::string UnixName(const std::string& windowsName)
{
    const auto convert = reinterpret_cast<NameConverter>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr)
        return windowsName;
    const std::wstring wide(windowsName.begin(), windowsName.end());
    char* name = convert(wide.c_str());
    if (name == nullptr)
        return windowsName;
    std::string unix(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return unix;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool LooksLikeWindowsPath(const std::string& text)
{
    return text.size() > 2 && text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

// Wine splits the command line for the Linux program as Windows does (double quotes,
// backslashes special only before a quote).
std::string WindowsArgument(const std::string& text)
{
    std::string argument = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        argument.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        argument += c;
        backslashes = 0;
    }
    argument.append(backslashes * 2, '\\');
    return argument + "\"";
}

bool RunShell(const std::string& script)
{
    std::string command = "/bin/sh -c " + WindowsArgument(script);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

std::string TempFileName()
{
    char folder[MAX_PATH];
    char name[MAX_PATH];
    ::GetTempPathA(sizeof folder, folder);
    ::GetTempFileNameA(folder, "k64", 0, name);
    return name;
}

// A child that has ended but was not yet reaped still has its entry, marked Z.
bool Alive(pid_t pid)
{
    std::ifstream stat("Z:\\proc\\" + std::to_string(pid) + "\\stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || line.compare(close, 3, ") Z") != 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           Errors errors)
{
    const std::string output = TempFileName();
    const std::string pidFile = TempFileName();
    out_path_ = output;
    std::string script = "echo $$ >" + Quoted(UnixName(pidFile)) + "; exec " + Quoted(program);
    for (const std::string& arg : args)
        script += " " + Quoted(LooksLikeWindowsPath(arg) ? UnixName(arg) : arg);
    script += " </dev/null >" + Quoted(UnixName(output));
    if (errors == Errors::Discard)
        script += " 2>/dev/null";
    if (!RunShell(script))
        return;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (pid_ < 0 && Clock::now() < deadline) {
        std::ifstream file(pidFile);
        if (!(file >> pid_))
            pid_ = -1;
        if (pid_ < 0)
            std::this_thread::sleep_for(kLook);
    }
    ::DeleteFileA(pidFile.c_str());
}

ChildProcess::~ChildProcess()
{
    Stop(std::chrono::seconds(10));
    ::DeleteFileA(out_path_.c_str());
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        std::ifstream file(out_path_, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        const std::string all = text.str();
        const std::size_t end = all.find('\n', consumed_);
        if (end != std::string::npos) {
            std::string line = all.substr(consumed_, end - consumed_);
            consumed_ = end + 1;
            return line;
        }
        if (Clock::now() >= deadline || (pid_ >= 0 && !Alive(pid_)))
            return std::nullopt;
        std::this_thread::sleep_for(kLook);
    }
}

int ChildProcess::Stop(std::chrono::milliseconds timeout)
{
    if (pid_ < 0 || status_)
        return status_.value_or(-1);
    RunShell("kill -TERM " + std::to_string(pid_));
    if (!WaitExit(timeout)) {
        RunShell("kill -KILL " + std::to_string(pid_));
        WaitExit(std::chrono::seconds(5));
    }
    // Wine tells no exit status; a child that went when asked to counts as a clean stop.
    status_ = 0;
    return 0;
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Alive(pid_)) {
        if (Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kLook);
    }
    return 0;
}

}  // namespace k64::test
