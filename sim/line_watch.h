// Tells when somebody opens or closes the terminal's slave side. A close followed at once by the
// next open (the tool opens the port for every request) leaves no trace in the master's poll
// state, yet it ends one exchange: late replies and diagnostic text must not reach the next.
// Where the platform offers no such watch, Start() fails and the server falls back on the
// master's hang-up state alone.
#pragma once

#include <string>
#include <vector>

namespace k64::sim {

enum class LineEvent { kOpened, kClosed };

class LineWatch {
public:
    LineWatch() = default;
    ~LineWatch();
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    [[nodiscard]] bool Start(const std::string& path);
    // Becomes readable when events are waiting; -1 when not started.
    int Fd() const { return fd_; }
    // Events since the last call, oldest first; never blocks.
    std::vector<LineEvent> Take();

private:
    int fd_ = -1;
};

}  // namespace k64::sim
