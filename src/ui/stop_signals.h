#pragma once
// The signals that end a desktop session (SIGTERM at a logout or shutdown, SIGINT, SIGHUP) as
// events of the window loop: the handler only writes to a pipe, the loop calls `onSignal`. Where
// the system has no such signals this does nothing.

#include <QObject>

#include <functional>

namespace k64::ui {

class StopSignals final : public QObject {
public:
    // One at a time; the previous handlers come back when it goes.
    explicit StopSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::function<void()> onSignal_;
};

}  // namespace k64::ui
