#include "platform/port_watch.h"

#include "platform/port_catalog.h"

#include <algorithm>
#include <thread>

#include <windows.h>
#include <dbt.h>

namespace k64 {
namespace {

// The class of the watch's window; the tests find the window by it.
constexpr const wchar_t* kWindowClass = L"K64PortWatch";

// DBT_DEVNODES_CHANGED comes for any device, the others name what came or went.
bool IsPortChange(WPARAM event, LPARAM data)
{
    if (event == DBT_DEVNODES_CHANGED)
        return true;
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0)
        return false;
    return reinterpret_cast<const DEV_BROADCAST_HDR*>(data)->dbch_devicetype == DBT_DEVTYP_PORT;
}

LRESULT CALLBACK WatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE && IsPortChange(wParam, lParam)) {
        if (const auto changed =
                reinterpret_cast<HANDLE>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
            ::SetEvent(changed);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// Windows sends WM_DEVICECHANGE to every top-level window when a port arrives or goes. A console
// program has none, and the desktop program's windows belong to its toolkit, so the watch keeps
// a hidden one of its own on a thread of its own that does nothing but take those messages.
struct PortWatch::Source {
    HANDLE changed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // reset when taken
    HANDLE wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD threadId = 0;
    DWORD error = 0;  // why the window could not be made
    std::thread thread;

    ~Source()
    {
        if (thread.joinable()) {
            ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
            thread.join();
        }
        for (const HANDLE handle : {changed, wake})
            if (handle != nullptr)
                ::CloseHandle(handle);
    }

    // The window, then its messages until WM_QUIT; `ready` is set once the window is there (or
    // could not be made), so no change is missed after the constructor returns.
    void Run(HANDLE ready, bool& made)
    {
        threadId = ::GetCurrentThreadId();
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WatchProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassExW(&windowClass);  // a second watch finds it registered
        // Top-level and never shown: a message-only window would miss the broadcasts.
        const HWND window = ::CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0,
                                              nullptr, nullptr, instance, nullptr);
        made = window != nullptr;
        if (!made)
            error = ::GetLastError();
        else
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(changed));
        ::SetEvent(ready);
        if (!made)
            return;
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&message);
        ::DestroyWindow(window);
    }
};

PortWatch::PortWatch(const std::vector<std::string>&) : source_(std::make_unique<Source>())
{
    const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool made = false;
    if (ready != nullptr && source_->changed != nullptr && source_->wake != nullptr) {
        source_->thread = std::thread([this, ready, &made] { source_->Run(ready, made); });
        ::WaitForSingleObject(ready, INFINITE);
    }
    if (ready != nullptr)
        ::CloseHandle(ready);
    if (!made) {
        failure_ = "Не удалось следить за портами: Windows не дает создать окно для своих "
                   "сообщений об устройствах";
        if (source_->error != 0)
            failure_ += " (ошибка " + std::to_string(source_->error) + ")";
    }
}

PortWatch::~PortWatch() = default;

PortWatch::Handle PortWatch::ReadyHandle() const
{
    return reinterpret_cast<Handle>(source_->changed);
}

bool PortWatch::TakeChanges()
{
    if (::WaitForSingleObject(source_->changed, 0) != WAIT_OBJECT_0)
        return false;
    ::ResetEvent(source_->changed);
    return true;
}

bool PortWatch::Wait(std::chrono::milliseconds limit)
{
    const HANDLE handles[2] = {source_->changed, source_->wake};
    const auto millis = std::min<std::chrono::milliseconds::rep>(
        std::max<std::chrono::milliseconds::rep>(limit.count(), 0), INFINITE - 1);
    const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(millis));
    return woken == WAIT_OBJECT_0 && TakeChanges();
}

void PortWatch::Wake()
{
    if (source_->wake != nullptr)
        ::SetEvent(source_->wake);
}

std::vector<std::string> WatchedPorts(const std::vector<std::string>&) { return PresentPorts(); }

}  // namespace k64
