#pragma once
// Blocking waits on one descriptor against a deadline, for the support helpers.

#include <cerrno>
#include <chrono>

#include <poll.h>

namespace k64::test {

using SteadyClock = std::chrono::steady_clock;

inline int MillisLeft(SteadyClock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for `events` on `fd`; revents, or 0 on time-out.
inline short WaitFor(int fd, short events, SteadyClock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, MillisLeft(deadline));
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return POLLERR;
    }
}

}  // namespace k64::test
