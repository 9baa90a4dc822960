// The text the unit streams in diagnostic mode: accelerometer axes, accelerometer events, supply
// voltage and CAN bus state, as CR LF terminated lines with values that drift like a parked car.
#pragma once

#include <cstdint>
#include <string>

namespace k64::sim {

class DiagnosticStream {
public:
    explicit DiagnosticStream(std::uint32_t seed = 1) : random_(seed ? seed : 1) {}

    // One tick's worth: an "$AccD:" line and, in turn, one of "$AccE:", "$VS:", "$Can:".
    std::string NextLines();

private:
    double Jitter(double amplitude);  // uniform in [-amplitude, amplitude]

    std::uint32_t random_;
    std::uint64_t tick_ = 0;
    std::uint32_t events_ = 0;
};

}  // namespace k64::sim
