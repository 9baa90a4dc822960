#include "ui/stop_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace k64::ui {
namespace {

constexpr int kCount = 3;
constexpr int kSignals[kCount] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previous[kCount] {};
// Read end [0] watched by the loop, write end [1] for the handler.
int pipeEnds[2] = {-1, -1};

extern "C" void WriteToPipe(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a stop that has not been read.
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    auto* notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        onSignal_();
    });
    struct sigaction action {};
    action.sa_handler = WriteToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kCount; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals()
{
    if (pipeEnds[0] < 0)
        return;
    qDeleteAll(findChildren<QSocketNotifier*>());  // before its descriptor goes
    for (int i = 0; i < kCount; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

}  // namespace k64::ui
