// Under Wine the simulator's terminal becomes a COM port through a link in the prefix's
// dosdevices folder, which the simulator makes itself (--link) and removes when it stops.

#include "support/sim_process.h"

#include <cstdlib>
#include <string>

#include <windows.h>

namespace k64::test {
namespace {

// The first number tried differs per test program, so that programs run side by side rarely
// meet; a number whose link exists is passed over.
std::string FreeComPort(const std::string& dosdevices)
{
    static int next = 20 + static_cast<int>(::GetCurrentProcessId() % 40) * 5;
    for (int tries = 0; tries < 200; ++tries, ++next) {
        const int number = 20 + (next - 20) % 230;
        const std::string link = "Z:" + dosdevices + "/com" + std::to_string(number);
        if (::GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            ++next;
            return std::to_string(number);
        }
    }
    return {};
}

std::string DosDevices()
{
    const char* prefix = std::getenv("WINEPREFIX");
    const char* home = std::getenv("HOME");
    return prefix ? std::string(prefix) + "/dosdevices"
                  : std::string(home ? home : "") + "/.wine/dosdevices";
}

// The number chosen for the simulator being started, taken by its constructor (the child is
// started before the constructor's body runs).
thread_local std::string chosen;

std::vector<std::string> WithLink(std::vector<std::string> args)
{
    const std::string folder = DosDevices();
    chosen = FreeComPort(folder);
    args.insert(args.begin(), {"--link", folder + "/com" + chosen});
    return args;
}

}  // namespace

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds startup)
    : child_(program, WithLink(args))
{
    // The terminal's own name is of no use to a Windows program; the port name is.
    if (!chosen.empty() && child_.ReadLine(startup))
        pty_path_ = "COM" + chosen;
}

}  // namespace k64::test
