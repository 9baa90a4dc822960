// Win32 back end of VCOM_Port: the comm API with overlapped I/O. Every wait is a
// WaitForSingleObject on the operation's event with a deadline; the driver's own time-outs end a
// read as well, and a read still pending at the deadline is cancelled.
//
// Windows has no readiness wait that every serial driver supports (WaitCommEvent fails on some
// virtual ports), so a wait reads: a pending one-byte read completes when a byte arrives and fails
// when the line goes away. The bytes it takes are kept in lookahead_ and delivered first.

#include "device/vcom_port.h"

#include "device/protocol.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include <windows.h>

namespace quon::io {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

// A read returns what it has once the line is quiet this long after a byte. A read that may
// return at once when bytes are queued would be simpler, but some drivers then wait out the
// whole total time-out instead.
constexpr DWORD kReadIntervalMs = 20;
// Beyond the driver's own time-out, how long a wait lets an operation finish before cancelling.
constexpr DWORD kCompletionSlackMs = 200;
// A wait keeps at most this many bytes of its own; the driver's queue holds the rest.
constexpr std::size_t kMaxLookahead = 4096;
constexpr DWORD kQueueSize = 4096;

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left >= static_cast<long long>(MAXDWORD - kCompletionSlackMs)
               ? MAXDWORD - kCompletionSlackMs - 1
               : static_cast<DWORD>(left);
}

std::wstring DevicePath(const std::string& name)
{
    // Ports above COM9 can only be opened through the device namespace; it works for all.
    std::string path = name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
    wide.pop_back();
    return wide;
}

HANDLE OpenExclusive(const std::string& name)
{
    const std::wstring path = DevicePath(name);
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
}

// The byte counts of the driver's queues; false when the device no longer answers.
bool Queues(HANDLE handle, COMSTAT* status)
{
    DWORD errors = 0;
    return ::ClearCommError(handle, &errors, status) != 0;
}

enum class Transfer { kDone, kTimedOut, kHungUp };

// One overlapped read or write, waited for until `waitMs` (in `sleeper` when one is given) and
// cancelled after that. `moved` is what it transferred even when it timed out.
Transfer Overlapped(HANDLE handle, bool write, void* data, DWORD count, DWORD waitMs, DWORD* moved,
                    WaitSleeper* sleeper = nullptr)
{
    *moved = 0;
    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr)
        return Transfer::kHungUp;  // cannot wait: fail rather than spin
    const BOOL started = write ? ::WriteFile(handle, data, count, nullptr, &ov)
                               : ::ReadFile(handle, data, count, nullptr, &ov);
    DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
    if (started || error == ERROR_IO_PENDING) {
        const bool slept =
            sleeper != nullptr &&
            sleeper->Sleep(reinterpret_cast<WaitSleeper::Handle>(ov.hEvent), milliseconds(waitMs));
        if (::WaitForSingleObject(ov.hEvent, slept ? 0 : waitMs) != WAIT_OBJECT_0)
            ::CancelIoEx(handle, &ov);
        // Waits for the cancel to land too: the buffer and `ov` must outlive the operation.
        error = ::GetOverlappedResult(handle, &ov, moved, TRUE) ? ERROR_SUCCESS : ::GetLastError();
    }
    ::CloseHandle(ov.hEvent);
    switch (error) {
    case ERROR_SUCCESS: return Transfer::kDone;
    case ERROR_TIMEOUT:            // how some drivers end a read at its total time-out
    case ERROR_OPERATION_ABORTED:  // cancelled at the deadline
    case ERROR_SEM_TIMEOUT: return Transfer::kTimedOut;
    default:
        // Broken pipe, device not ready, file not found, access denied, ...: the line is gone.
        return Transfer::kHungUp;
    }
}

// What the system's error after a failed open means for the user. Another program's open
// is the only one that denies access to a serial port; a port not plugged in is not found.
PortFailure OpenFailure(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return PortFailure::Of(PortFailure::Kind::kHeld, static_cast<int>(error));
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return PortFailure::Of(PortFailure::Kind::kMissing, static_cast<int>(error));
    default: return SystemFailure(static_cast<int>(error));
    }
}

PortFailure NotTerminal()
{
    return PortFailure::Of(PortFailure::Kind::kNotTerminal, static_cast<int>(::GetLastError()));
}

bool SetReadTimeout(HANDLE handle, DWORD totalMs)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadIntervalMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = std::max<DWORD>(totalMs, 1);  // 0 would mean no limit
    timeouts.WriteTotalTimeoutMultiplier =
        static_cast<DWORD>(k64::protocol::kPortTimeoutPerByte.count());
    timeouts.WriteTotalTimeoutConstant =
        static_cast<DWORD>(k64::protocol::kPortTimeoutBase.count());
    return ::SetCommTimeouts(handle, &timeouts) != 0;
}

}  // namespace

VCOM_Port::OpenOutcome VCOM_Port::OpenDevice(const LineSettings& line)
{
    const HANDLE handle = OpenExclusive(name_);
    if (handle == INVALID_HANDLE_VALUE) {
        failure_ = OpenFailure(::GetLastError());
        return OpenOutcome::kNotOpened;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) {
        failure_ = NotTerminal();
        return OpenOutcome::kNoStatus;
    }
    savedLine_ = std::make_shared<const DCB>(dcb);

    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = static_cast<BYTE>(line.byteSize);
    dcb.Parity = static_cast<BYTE>(line.parity);
    dcb.StopBits = static_cast<BYTE>(line.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != 0;
    // XON/XOFF bytes occur in frames; hardware flow control and DTR stay as found.
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    // An error must not stop every later read until someone clears it.
    dcb.fAbortOnError = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(handle, &dcb)) {
        failure_ = SystemFailure(static_cast<int>(::GetLastError()));
        return OpenOutcome::kLineRejected;
    }
    // Virtual ports may ignore or refuse the queue sizes and the RTS line; neither matters here.
    ::SetupComm(handle, kQueueSize, kQueueSize);
    ::EscapeCommFunction(handle, SETRTS);

    if (!SetReadTimeout(handle, static_cast<DWORD>(k64::protocol::kPortTimeoutBase.count()))) {
        failure_ = SystemFailure(static_cast<int>(::GetLastError()));
        return OpenOutcome::kTimeoutsRejected;
    }

    // Whatever arrived before this exchange (a late reply to an earlier one) is not its reply.
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_RXABORT);
    return OpenOutcome::kOpened;
}

void VCOM_Port::CloseDevice()
{
    const HANDLE handle = Native(handle_);
    if (savedLine_)
        ::SetCommState(handle, const_cast<DCB*>(static_cast<const DCB*>(savedLine_.get())));
    ::CloseHandle(handle);
}

bool VCOM_Port::DeviceOutQueue(unsigned* count)
{
    COMSTAT status{};
    if (!Queues(Native(handle_), &status))
        return false;
    *count = status.cbOutQue;
    return true;
}

bool VCOM_Port::DeviceInQueue(unsigned* count)
{
    COMSTAT status{};
    if (!Queues(Native(handle_), &status))
        return false;
    *count = status.cbInQue + static_cast<unsigned>(lookahead_.size());
    return true;
}

int VCOM_Port::DeviceWrite(const void* data, int count, milliseconds limit)
{
    if (hungUp_)
        return 0;
    const auto deadline = Clock::now() + limit;
    const auto* bytes = static_cast<const unsigned char*>(data);
    int done = 0;
    while (done < count) {
        const DWORD ms = RemainingMs(deadline);
        if (ms == 0)
            break;
        DWORD moved = 0;
        const Transfer result =
            Overlapped(Native(handle_), true, const_cast<unsigned char*>(bytes + done),
                       static_cast<DWORD>(count - done), ms + kCompletionSlackMs, &moved);
        done += static_cast<int>(std::min<DWORD>(moved, static_cast<DWORD>(count - done)));
        if (result == Transfer::kHungUp) {
            hungUp_ = true;
            break;
        }
        if (result == Transfer::kTimedOut || moved == 0)
            break;  // the driver's write time-out passed: the line does not drain
    }
    return done;
}

int VCOM_Port::DeviceRead(void* data, int count, milliseconds limit)
{
    auto* bytes = static_cast<unsigned char*>(data);
    const int early =
        static_cast<int>(std::min<std::size_t>(lookahead_.size(), static_cast<std::size_t>(count)));
    std::memcpy(bytes, lookahead_.data(), static_cast<std::size_t>(early));
    lookahead_.erase(lookahead_.begin(), lookahead_.begin() + early);
    int done = early;

    const auto deadline = Clock::now() + limit;
    while (done < count && !hungUp_) {
        const DWORD ms = RemainingMs(deadline);
        if (ms == 0 || !SetReadTimeout(Native(handle_), ms))
            break;
        DWORD moved = 0;
        const Transfer result =
            Overlapped(Native(handle_), false, bytes + done, static_cast<DWORD>(count - done),
                       ms + kCompletionSlackMs, &moved);
        done += static_cast<int>(std::min<DWORD>(moved, static_cast<DWORD>(count - done)));
        if (result == Transfer::kHungUp)
            hungUp_ = true;
        // A read that ends empty waited out its total time-out; a partial one ended at a pause.
        if (result != Transfer::kDone || (moved == 0 && RemainingMs(deadline) == 0))
            break;
    }
    return done;
}

WaitResult VCOM_Port::DeviceWait(milliseconds limit, bool forData)
{
    if (hungUp_)
        return WaitResult::kHungUp;
    const HANDLE handle = Native(handle_);
    const auto deadline = Clock::now() + limit;
    for (;;) {
        COMSTAT status{};
        if (!Queues(handle, &status)) {
            hungUp_ = true;
            return WaitResult::kHungUp;
        }
        if (forData && (status.cbInQue > 0 || !lookahead_.empty()))
            return WaitResult::kReady;
        const DWORD ms = RemainingMs(deadline);
        if (ms == 0)
            return WaitResult::kTimedOut;
        if (lookahead_.size() >= kMaxLookahead) {
            // Enough kept: sleep out the idle wait; a hang-up shows at the next read.
            if (sleeper_ == nullptr || !sleeper_->Sleep(WaitSleeper::kNoHandle, milliseconds(ms)))
                ::Sleep(ms);
            return WaitResult::kTimedOut;
        }
        if (!SetReadTimeout(handle, ms)) {
            hungUp_ = true;
            return WaitResult::kHungUp;
        }
        unsigned char byte = 0;
        DWORD moved = 0;
        const Transfer result =
            Overlapped(handle, false, &byte, 1, ms + kCompletionSlackMs, &moved, sleeper_);
        if (moved == 1)
            lookahead_.push_back(byte);
        if (result == Transfer::kHungUp) {
            // Bytes that came before the hang-up can still be read.
            hungUp_ = true;
            return forData && !lookahead_.empty() ? WaitResult::kReady : WaitResult::kHungUp;
        }
    }
}

bool VCOM_Port::DeviceProbe()
{
    const HANDLE handle = OpenExclusive(name_);
    if (handle == INVALID_HANDLE_VALUE) {
        failure_ = OpenFailure(::GetLastError());
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool serial = ::GetCommState(handle, &dcb) != 0;
    if (!serial)
        failure_ = NotTerminal();
    ::CloseHandle(handle);
    return serial;
}

}  // namespace quon::io
