#pragma once
// The serial port of the unit and the two byte streams over it.
//
// VCOM_Port owns the operating-system handle. The operations mirror a plain synchronous serial
// API (open exclusively, queue counts, reads and writes with a total time-out of 1000 ms + 1 ms
// per byte); the platform part lives in vcom_port_<platform>.cpp, the shared logic in
// vcom_port.cpp. On top of that the port offers blocking waits (readable / idle until a limit
// or a hang-up) so that no caller ever has to spin on the queue counts.

#include "device/port_lock.h"
#include "device/streams.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quon::io {

// Where a port's waits sleep. Without one they block in the kernel; the desktop program sleeps
// in its event loop instead, so that its windows keep painting while the unit is awaited.
class WaitSleeper {
public:
    using Handle = std::intptr_t;  // a descriptor (POSIX) or an event (Windows)
    static constexpr Handle kNoHandle = -1;
    virtual ~WaitSleeper() = default;
    // Returns once `handle` is ready (readable, or signalled) or `limit` has passed; for
    // kNoHandle once `limit` has passed. False when it cannot sleep now: the port then blocks in
    // the kernel as it would without a sleeper.
    virtual bool Sleep(Handle handle, std::chrono::milliseconds limit) = 0;
};

class VCOM_Port {
public:
    explicit VCOM_Port(std::string name);
    ~VCOM_Port();
    VCOM_Port(const VCOM_Port&) = delete;
    VCOM_Port& operator=(const VCOM_Port&) = delete;

    // Takes effect at the next Open(); an open port stays as it is.
    void SetName(const std::string& name);
    const std::string& Name() const { return name_; }

    // Opens and configures the port (9600 8N1, RTS on, binary). True at once when already open.
    // A missing or busy port (also one held by another process) fails silently; rejected
    // settings show a message box. A failed Open() never leaves the device open. Either way
    // Failure() says why.
    [[nodiscard]] bool Open();
    // Closes the device and puts back the line settings it had before Open().
    void Close();
    bool IsOpen() const { return handle_ != kNoHandle; }

    unsigned OutQueueCount();
    unsigned InQueueCount();
    // Room left in the 64-byte transmit window; 0 when closed or full.
    [[nodiscard]] int OutQueueFree();

    // Bytes actually moved; gives up after 1000 ms + 1 ms per byte, or at once on a hang-up.
    [[nodiscard]] int Write(const void* data, int count);
    [[nodiscard]] int Read(void* data, int count);

    // Blocks until bytes can be read, `limit` passed, or the line hung up.
    WaitResult WaitReadable(std::chrono::milliseconds limit);
    // Blocks for `limit` unless the line hangs up first.
    WaitResult WaitIdle(std::chrono::milliseconds limit);
    // The line hung up since the last Open().
    bool HungUp() const { return hungUp_; }
    // Where the waits sleep from now on; null sleeps in the kernel. Not owned.
    void SetSleeper(WaitSleeper* sleeper) { sleeper_ = sleeper; }

    // Replaces the driver's transmit-queue count. Pseudo-terminals always report an empty
    // queue, so this is how the transmit window is exercised in tests.
    using QueueCounter = std::function<unsigned()>;
    void SetOutQueueCounter(QueueCounter counter) { outQueueCounter_ = std::move(counter); }

    // Opens the port exclusively, reads its line settings and closes it again; changes nothing.
    // True when the name is a serial device that is free right now (or open here).
    [[nodiscard]] bool Probe();

    // Keeps the port from other processes beyond Close(), for an operation of several
    // exchanges (an update, a settings write, a probe); counted, each Hold() matched by one
    // Unhold(). False when another process holds it. Open() alone holds it until Close().
    [[nodiscard]] bool Hold();
    void Unhold();

    // Why the last Open(), Probe() or Hold() failed; empty after one that succeeded, and
    // after TakeFailure().
    const PortFailure& Failure() const { return failure_; }
    PortFailure TakeFailure() { return std::exchange(failure_, {}); }

private:
    enum class OpenOutcome { kOpened, kNotOpened, kNoStatus, kLineRejected, kTimeoutsRejected };
    struct LineSettings {
        unsigned baudRate;
        unsigned byteSize;
        unsigned parity;    // 0 none
        unsigned stopBits;  // 0 one, 1 one and a half, 2 two
    };

    // Platform back end. OpenDevice leaves handle_ set whenever the device was opened, even
    // when configuring it failed, so the shared Open() can close it again; on failure it
    // records the reason in failure_.
    OpenOutcome OpenDevice(const LineSettings& line);
    void CloseDevice();
    [[nodiscard]] bool DeviceProbe();
    [[nodiscard]] bool DeviceOutQueue(unsigned* count);
    [[nodiscard]] bool DeviceInQueue(unsigned* count);
    [[nodiscard]] int DeviceWrite(const void* data, int count, std::chrono::milliseconds limit);
    [[nodiscard]] int DeviceRead(void* data, int count, std::chrono::milliseconds limit);
    WaitResult DeviceWait(std::chrono::milliseconds limit, bool forData);

    using NativeHandle = std::intptr_t;
    static constexpr NativeHandle kNoHandle = -1;

    void ReleaseUnlessHeld();
    [[nodiscard]] bool TakeLock();

    std::string name_;
    NativeHandle handle_ = kNoHandle;
    bool hungUp_ = false;
    WaitSleeper* sleeper_ = nullptr;
    QueueCounter outQueueCounter_;
    PortLock lock_;
    PortFailure failure_;
    int holds_ = 0;
    std::shared_ptr<const void> savedLine_;  // the back end's record of the line before Open()
    // Bytes a wait took from the driver to learn that data came or the line is still there
    // (Windows has no readiness wait that works on every driver); reads deliver them first.
    std::vector<unsigned char> lookahead_;
};

class VCOMOutputStream final : public OutputStream {
public:
    explicit VCOMOutputStream(VCOM_Port* port) : port_(port) {}
    bool IsOpen() override;
    void Close() override;
    [[nodiscard]] bool Open() override;
    int FreeSpace() override;
    bool IsEmpty() override;
    [[nodiscard]] int Write(const void* data, int count) override;

private:
    VCOM_Port* port_;  // not owned
};

class VCOMInputStream final : public InputStream {
public:
    explicit VCOMInputStream(VCOM_Port* port) : port_(port) {}
    int Available() override;
    bool IsOpen() override;
    void Close() override;
    [[nodiscard]] bool Open() override;
    bool IsEmpty() override;
    [[nodiscard]] int Read(void* data, int count) override;

private:
    VCOM_Port* port_;  // not owned
};

}  // namespace quon::io
