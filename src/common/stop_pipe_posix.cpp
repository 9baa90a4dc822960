#include "common/stop_pipe.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace k64 {
namespace {

int writeEnd = -1;  // the handler's only state

extern "C" void WriteStop(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a stop that has not been read.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

StopPipe::StopPipe(std::initializer_list<int> caught)
{
    if (::pipe(ends_) != 0) {
        ends_[0] = ends_[1] = -1;
        return;
    }
    for (const int end : ends_) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    writeEnd = ends_[1];
    struct sigaction action {};
    action.sa_handler = WriteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : caught) {
        previous_.push_back({signal, {}});
        ::sigaction(signal, &action, &previous_.back().second);
    }
}

StopPipe::~StopPipe()
{
    for (const auto& [signal, action] : previous_)
        ::sigaction(signal, &action, nullptr);
    if (ends_[0] < 0)
        return;
    writeEnd = -1;
    ::close(ends_[0]);
    ::close(ends_[1]);
}

void StopPipe::Drain()
{
    char bytes[16];
    while (::read(ends_[0], bytes, sizeof bytes) > 0) {
    }
}

}  // namespace k64
