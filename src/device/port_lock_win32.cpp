// Windows port lock: a named mutex per port. The system hands an abandoned mutex (its holder
// died) to the next caller, so a stale holder never blocks.

#include "device/port_lock.h"

#include <cctype>

#include <windows.h>

namespace quon::io {

PortFailure SystemFailure(int error)
{
    PortFailure failure;
    failure.kind = PortFailure::Kind::kSystem;
    failure.error = error;
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length > 0) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr,
                                               0, nullptr, nullptr);
        failure.systemText.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), failure.systemText.data(),
                              size, nullptr, nullptr);
        // The system's text ends in a line break.
        while (!failure.systemText.empty() &&
               (failure.systemText.back() == '\n' || failure.systemText.back() == '\r' ||
                failure.systemText.back() == ' ' || failure.systemText.back() == '.'))
            failure.systemText.pop_back();
    }
    ::LocalFree(text);
    return failure;
}

bool PortLock::Acquire(const std::string& portName)
{
    if (Held() && portName == portName_)
        return true;
    Release();
    failure_ = {};
    // "com5" and "COM5" are one port; Global\ reaches the other sessions of the machine.
    std::string name = "Global\\K64.port.";
    for (const char c : portName)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        failure_ = SystemFailure(static_cast<int>(::GetLastError()));
        return false;
    }
    const DWORD waited = ::WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        failure_.kind = PortFailure::Kind::kHeld;  // a mutex does not tell by whom
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    portName_ = portName;
    lockName_ = name;
    return true;
}

void PortLock::Release()
{
    if (!Held())
        return;
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    handle_ = kNone;
    portName_.clear();
    lockName_.clear();
}

// A named mutex does not tell who holds it.
PortLockView InspectPortLock(const std::string&) { return {}; }

}  // namespace quon::io
