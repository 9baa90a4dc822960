// The text the unit streams in diagnostic mode: accelerometer axes, accelerometer events, supply
// voltage and CAN bus state, as CR LF terminated lines with values that drift like a parked car.
#pragma once

#include <cstdint>
#include <string>

namespace k64::sim {

// A knock on the car: large accelerometer swings that die away over this many ticks.
inline constexpr int kKnockTicks = 5;
inline constexpr double kKnockPeak = 800.0;  // hundredths of g

// Asks the stream for a knock at its next tick; safe from a signal handler.
void RequestKnock();

class DiagnosticStream {
public:
    explicit DiagnosticStream(std::uint32_t seed = 1) : random_(seed ? seed : 1) {}

    // One tick's worth: an "$AccD:" line and, in turn, one of "$AccE:", "$VS:", "$Can:".
    std::string NextLines();
    // The next kKnockTicks ticks carry a knock.
    void Knock() { knock_ = kKnockTicks; }

private:
    double Jitter(double amplitude);  // uniform in [-amplitude, amplitude]

    std::uint32_t random_;
    std::uint64_t tick_ = 0;
    std::uint32_t events_ = 0;
    int knock_ = 0;  // ticks of the knock still to come
};

}  // namespace k64::sim
