#pragma once
// A port sleeper that runs a test's function at every wait and then lets the port block in the
// kernel: how a test looks at the device while it waits, as the desktop program's event loop
// would.

#include "device/vcom_port.h"

#include <functional>
#include <utility>

namespace k64::test {

class ObservingSleeper final : public quon::io::WaitSleeper {
public:
    explicit ObservingSleeper(std::function<void()> during) : during_(std::move(during)) {}
    bool Sleep(Handle, std::chrono::milliseconds) override
    {
        during_();
        return false;
    }

private:
    std::function<void()> during_;
};

}  // namespace k64::test
