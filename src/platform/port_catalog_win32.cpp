#include "platform/port_catalog.h"

#include <utility>

#include <windows.h>

namespace k64 {
namespace {
std::vector<std::string> NumberedComPorts(int first, int last)
{
    std::vector<std::string> names;
    for (int n = first; n <= last; ++n)
        names.push_back("COM" + std::to_string(n));
    return names;
}

// Every port the system has is a name in its device namespace; asking costs no open, which on
// some devices would toggle the modem lines. Not every emulation of the namespace answers, so a
// name it does not know is tried by opening: a port another program holds still exists.
bool Exists(const std::wstring& name)
{
    wchar_t target[512];
    if (::QueryDosDeviceW(name.c_str(), target, sizeof target / sizeof target[0]) != 0)
        return true;
    const std::wstring path = L"\\\\.\\" + name;
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return true;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}
}  // namespace

SystemPortCatalog::SystemPortCatalog(std::string deviceDirectory)
    : deviceDirectory_(std::move(deviceDirectory))
{
}

// COM1 is a built-in port, never the unit's virtual one, so the search starts at COM2.
std::vector<std::string> SystemPortCatalog::Candidates() { return NumberedComPorts(2, 254); }

std::vector<std::string> PresentPorts()
{
    std::vector<std::string> present;
    for (std::string& name : SystemPortCatalog().Candidates()) {
        const std::wstring wide(name.begin(), name.end());
        if (Exists(wide))
            present.push_back(std::move(name));
    }
    return present;
}

std::string DefaultPortName() { return "COM5"; }

std::vector<std::string> WindowPortList() { return NumberedComPorts(2, 255); }

std::vector<std::string> PortFolders() { return {}; }

}  // namespace k64
