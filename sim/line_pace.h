// The time a serial line of a given speed needs for bytes, so that the simulated unit sends and
// consumes no faster than a real one at that speed would. 8N1: ten bits a byte.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace k64::sim {

class LinePace {
public:
    using Clock = std::chrono::steady_clock;

    // `baud` 0: unpaced, every question below answers "now" and "all of it".
    explicit LinePace(std::uint32_t baud = 0)
        : byteTime_(baud == 0 ? Clock::duration::zero()
                              : std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::nanoseconds(10'000'000'000LL / baud)))
    {
    }

    bool Paced() const { return byteTime_ != Clock::duration::zero(); }

    // `n` bytes arrived at `now`; returns when the last of them is through the line. Bytes that
    // come while earlier ones are still arriving queue behind them.
    Clock::time_point Received(std::size_t n, Clock::time_point now)
    {
        rxFree_ = std::max(rxFree_, now) + Span(n);
        return rxFree_;
    }

    // Bytes were queued on an empty line at `now`: the line saves up no time while idle.
    void Started(Clock::time_point now) { txNext_ = std::max(txNext_, now); }
    // How many of `queued` bytes the line has carried by `now`.
    std::size_t Sendable(std::size_t queued, Clock::time_point now) const
    {
        if (!Paced())
            return queued;
        if (now <= txNext_)
            return 0;
        return std::min<std::size_t>(queued, static_cast<std::size_t>((now - txNext_) / byteTime_));
    }
    void Sent(std::size_t n) { txNext_ += Span(n); }
    // When the next byte is through.
    Clock::time_point NextSend() const { return txNext_ + byteTime_; }

private:
    Clock::duration Span(std::size_t n) const { return byteTime_ * static_cast<Clock::rep>(n); }

    Clock::duration byteTime_;
    Clock::time_point rxFree_{};
    Clock::time_point txNext_{};
};

}  // namespace k64::sim
