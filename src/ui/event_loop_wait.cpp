#include "ui/event_loop_wait.h"

#include "ui/ready_notifier.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace k64::ui {
namespace {

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: return true;
    default: return false;
    }
}

// Everything a wait puts off, and the waits under way (a wait's event loop may run another
// handler's wait only through input, and input is held, so more than one is rare).
class Waits final : public QObject, public quon::io::WaitSleeper {
public:
    bool Sleep(Handle handle, std::chrono::milliseconds limit) override
    {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire before the limit
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        std::unique_ptr<QObject> notifier;
        if (handle != kNoHandle)
            notifier = ReadyNotifier(handle, [&loop] { loop.quit(); });
        deadline.start(limit);
        if (depth_++ == 0)
            QCoreApplication::instance()->installEventFilter(this);
        // -1: no loop can run now (the application is quitting); the caller blocks instead.
        const int result = loop.exec();
        if (--depth_ == 0) {
            QCoreApplication::instance()->removeEventFilter(this);
            if (!actions_.empty() || !held_.empty())
                QTimer::singleShot(0, this, [this] { CarryOut(); });
        }
        return result == 0;
    }

    bool Inside() const { return depth_ > 0; }

    void After(std::function<void()> action)
    {
        if (depth_ == 0)
            action();
        else
            actions_.push_back(std::move(action));
    }

    void DropInput() { held_.clear(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Input at its window, before the window picks a widget; and shortcuts, which the window
        // system tries before the key is queued.
        const bool input = watched->isWindowType() && IsUserInput(event->type());
        if (depth_ == 0 || (!input && event->type() != QEvent::Shortcut))
            return false;
        held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

private:
    struct Held {
        QPointer<QObject> target;
        std::unique_ptr<QEvent> event;
    };

    void CarryOut()
    {
        // Posted at the end of a wait, it may come in during the next one: that one's end posts
        // again.
        if (depth_ > 0)
            return;
        for (std::function<void()>& action : std::exchange(actions_, {}))
            action();
        while (!held_.empty()) {
            Held held = std::move(held_.front());
            held_.pop_front();
            if (held.target && !BehindBox(held.target))
                QCoreApplication::sendEvent(held.target, held.event.get());
        }
    }

    // A box (or another modal window) opened after the input came: the input was meant for what
    // is now behind it.
    static bool BehindBox(QObject* target)
    {
        QWindow* modal = QGuiApplication::modalWindow();
        return modal != nullptr && target != modal;
    }

    int depth_ = 0;
    std::vector<std::function<void()>> actions_;
    std::deque<Held> held_;
};

Waits& TheWaits()
{
    // Parented to nothing and never destroyed: device objects may wait until the very end.
    static Waits* waits = new Waits;
    return *waits;
}

}  // namespace

quon::io::WaitSleeper& EventLoopSleeper() { return TheWaits(); }

bool InsideWait() { return TheWaits().Inside(); }

void AfterWait(std::function<void()> action) { TheWaits().After(std::move(action)); }

void DropHeldInput() { TheWaits().DropInput(); }

}  // namespace k64::ui
