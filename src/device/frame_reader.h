#pragma once
// Cuts one frame (layout in abstract_message.h) out of an input stream within a time-out.
//
// States: 0 idle, 1 waiting for the header, 2 reading the payload, 3 waiting for the trailer,
// 4 frame complete. Each pass consumes whatever has arrived; when nothing more can be done the
// reader blocks on the source until bytes come, the deadline passes or the line hangs up. It
// never spins: a header that announces more payload than the buffer holds abandons the frame
// and the reader sleeps out the time-out without reading.

#include "device/protocol.h"
#include "device/streams.h"
#include "device/wait_clock.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace k64 {

// The blocking half of a byte source, next to its InputStream.
class ReadWaiter {
public:
    virtual ~ReadWaiter() = default;
    // forData: wake when bytes can be read; otherwise only on a hang-up or the limit.
    virtual quon::io::WaitResult Wait(std::chrono::milliseconds limit, bool forData) = 0;
};

class FrameReader {
public:
    enum State : int { kIdle = 0, kHeader = 1, kPayload = 2, kTrailer = 3, kComplete = 4 };
    enum class Result { kComplete, kTimedOut, kHungUp };

    // Forgets any partial frame; the next Receive() starts afresh.
    void Reset();

    // Runs the reception until a frame is complete (state 4), `timeout` has passed on `clock`
    // since it started, or the source hung up. On anything but kComplete the state is back to 0.
    Result Receive(quon::io::InputStream& in, ReadWaiter& waiter, std::chrono::milliseconds timeout,
                   const WaitClock& clock = SteadyWaitClock());

    // Begins a reception (state 1) unless one is under way.
    void Start();
    // One pass over the states without blocking; true when the frame is complete.
    [[nodiscard]] bool Pass(quon::io::InputStream& in);

    int GetState() const { return state_; }
    std::uint16_t CodeWord() const { return codeWord_; }
    std::uint16_t PayloadLength() const { return length_; }
    const std::uint8_t* Payload() const { return buffer_.data(); }

private:
    // Reads up to `want` bytes that are already waiting; returns the count read (0 on error).
    [[nodiscard]] static int ReadAvailable(quon::io::InputStream& in, std::uint8_t* to, int want);

    int state_ = kIdle;
    bool abandoned_ = false;  // header too long: wait out the time-out, read nothing
    std::array<std::uint8_t, protocol::kHeaderSize> header_{};
    int headerGot_ = 0;
    int trailerGot_ = 0;
    std::uint16_t codeWord_ = 0;
    std::uint16_t length_ = 0;
    int missing_ = 0;
    std::array<std::uint8_t, protocol::kReceiveBufferSize> buffer_{};
};

}  // namespace k64
