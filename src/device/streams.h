#pragma once
// The two byte-stream interfaces the message layer writes to and the device object reads from.
// They share no base and their operation orders differ on purpose: both are laid out as the
// rest of the program (and any other stream implementation) expects them.
//
// Read/Write results: `count` when all bytes moved, -1 when the stream is not open, -2 when fewer
// bytes moved (how many is not reported; bytes a short read consumed are gone).

namespace quon::io {

// How a blocking wait on a byte source ended.
enum class [[nodiscard]] WaitResult{
    kReady,     // bytes can be read (or written, for write waits)
    kTimedOut,  // the limit passed
    kHungUp,    // the line is gone (unplugged, other side closed) or the port is closed
};

inline constexpr int kStreamNotOpen = -1;
inline constexpr int kStreamShort = -2;

class OutputStream {
public:
    virtual ~OutputStream() = default;
    virtual bool IsOpen() = 0;
    virtual void Close() = 0;
    [[nodiscard]] virtual bool Open() = 0;
    // Bytes that may be written now without exceeding the transmit window.
    virtual int FreeSpace() = 0;
    // Nothing waits in the transmit queue.
    virtual bool IsEmpty() = 0;
    [[nodiscard]] virtual int Write(const void* data, int count) = 0;
};

class InputStream {
public:
    virtual ~InputStream() = default;
    // Bytes waiting in the receive queue.
    virtual int Available() = 0;
    virtual bool IsOpen() = 0;
    virtual void Close() = 0;
    [[nodiscard]] virtual bool Open() = 0;
    virtual bool IsEmpty() = 0;
    [[nodiscard]] virtual int Read(void* data, int count) = 0;
};

}  // namespace quon::io
