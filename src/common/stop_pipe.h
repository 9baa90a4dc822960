#pragma once
// Stop signals as bytes on a pipe: the handler only writes a byte, which is safe in a handler, and
// the program's loop waits on the read end beside its other descriptors. POSIX only.

#include <initializer_list>
#include <utility>
#include <vector>

#include <signal.h>

namespace k64 {

class StopPipe {
public:
    // Catches the `caught` signals until it goes, then gives them their previous handlers back.
    // One at a time in a process. When no pipe can be had, ReadEnd() is -1 and the signals are
    // left as they were.
    explicit StopPipe(std::initializer_list<int> caught);
    ~StopPipe();
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;

    int ReadEnd() const { return ends_[0]; }
    // Reads away what the signals wrote, so that the read end waits again.
    void Drain();

private:
    int ends_[2] = {-1, -1};
    std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace k64
