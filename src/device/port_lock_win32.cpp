// Windows port lock: a named mutex per port. The system hands an abandoned mutex (its holder
// died) to the next caller, so a stale holder never blocks.

#include "device/port_lock.h"

#include <windows.h>

#include <cctype>

namespace quon::io {

bool PortLock::Acquire(const std::string& portName)
{
    if (Held() && portName == portName_)
        return true;
    Release();
    // "com5" and "COM5" are one port; Global\ reaches the other sessions of the machine.
    std::string name = "Global\\K64.port.";
    for (const char c : portName)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr)
        return false;
    const DWORD waited = ::WaitForSingleObject(mutex, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
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
int PortLockHolder(const std::string&) { return 0; }

}  // namespace quon::io
