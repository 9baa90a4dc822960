#include "device/wait_clock.h"

namespace k64 {
namespace {

class SteadyClock final : public WaitClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    std::chrono::milliseconds RealSpan(std::chrono::milliseconds span) const override
    {
        return span;
    }
};

}  // namespace

const WaitClock& SteadyWaitClock()
{
    static const SteadyClock clock;
    return clock;
}

}  // namespace k64
