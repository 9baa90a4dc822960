#pragma once
// A second process for tests of what another program sees: it runs a piece of work, reports its
// result once, and stays (holding whatever the work took) until the object goes.

#include <functional>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace k64::test {

class ForkedHelper {
public:
    // `work` runs in the child; its result is what Ready() returns.
    explicit ForkedHelper(const std::function<bool()>& work)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const char ok = work() ? 1 : 0;
            (void)!::write(fds[1], &ok, 1);
            ::pause();
            _exit(0);
        }
        ::close(fds[1]);
        char ok = 0;
        ready_ = ::read(fds[0], &ok, 1) == 1 && ok == 1;
        ::close(fds[0]);
    }
    ~ForkedHelper()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Ready() const { return ready_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace k64::test
