#include "device/frame_reader.h"

#include <algorithm>

namespace k64 {

using quon::io::WaitResult;
using std::chrono::milliseconds;

void FrameReader::Reset()
{
    state_ = kIdle;
    abandoned_ = false;
    headerGot_ = 0;
    trailerGot_ = 0;
    missing_ = 0;
}

void FrameReader::Start()
{
    if (state_ == kIdle) {
        Reset();
        state_ = kHeader;
    }
}

int FrameReader::ReadAvailable(quon::io::InputStream& in, std::uint8_t* to, int want)
{
    const int n = std::min(want, in.Available());
    if (n <= 0)
        return 0;
    // Only bytes already queued are asked for, so the read does not block; a failed read
    // advances nothing and the frame ends in the time-out.
    return in.Read(to, n) == n ? n : 0;
}

bool FrameReader::Pass(quon::io::InputStream& in)
{
    if (state_ == kHeader && !abandoned_) {
        headerGot_ +=
            ReadAvailable(in, header_.data() + headerGot_, protocol::kHeaderSize - headerGot_);
        if (headerGot_ == protocol::kHeaderSize) {
            codeWord_ = static_cast<std::uint16_t>(header_[0] | header_[1] << 8);
            length_ = static_cast<std::uint16_t>(header_[2] | header_[3] << 8);
            if (length_ > protocol::kMaxReceivedPayload) {
                abandoned_ = true;
            } else {
                missing_ = length_;
                state_ = kPayload;
            }
        }
    }
    if (state_ == kPayload) {
        if (missing_ > 0) {
            const int n = ReadAvailable(in, buffer_.data() + (length_ - missing_), missing_);
            missing_ -= n;
        }
        if (missing_ == 0) {
            trailerGot_ = 0;
            state_ = kTrailer;
        }
    }
    if (state_ == kTrailer) {
        std::array<std::uint8_t, protocol::kTrailerSize> trailer;
        trailerGot_ += ReadAvailable(in, trailer.data(), protocol::kTrailerSize - trailerGot_);
        if (trailerGot_ == protocol::kTrailerSize)
            state_ = kComplete;
    }
    return state_ == kComplete;
}

FrameReader::Result FrameReader::Receive(quon::io::InputStream& in, ReadWaiter& waiter,
                                         milliseconds timeout, const WaitClock& clock)
{
    Start();
    const auto start = clock.Now();
    for (;;) {
        const auto elapsed = std::chrono::duration_cast<milliseconds>(clock.Now() - start);
        // Past the deadline, what is already queued still counts: a process that was suspended
        // (Ctrl-Z, then fg) finds the reply that came meanwhile.
        if (Pass(in))
            return Result::kComplete;
        if (elapsed >= timeout)
            break;

        const milliseconds slice = std::max(clock.RealSpan(timeout - elapsed), milliseconds(1));
        const WaitResult waited = waiter.Wait(slice, !abandoned_);
        if (waited == WaitResult::kHungUp) {
            Reset();
            return Result::kHungUp;
        }
    }
    Reset();
    return Result::kTimedOut;
}

}  // namespace k64
