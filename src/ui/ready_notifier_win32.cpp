#include "ui/ready_notifier.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <windows.h>

namespace k64::ui {
namespace {

class EventWatch;

// One thread waits on the events of every notifier alive and posts to the notifier whose event
// came. Qt's own event notifier waits in the system's thread pool, which under Wine may still
// call back after the notifier has stopped waiting and gone, and so crashed the window; here a
// notifier is struck off under the lock every post is made under, and nothing reaches it after.
class Watcher {
public:
    static Watcher& Instance()
    {
        // Never destroyed: a notifier may go at the very end of the program.
        static Watcher* watcher = new Watcher;
        return *watcher;
    }

    void Add(EventWatch* watch, HANDLE event)
    {
        // The watcher's own handle: the caller may close the event as soon as the notifier goes,
        // while this thread may still be waiting on it.
        HANDLE own = nullptr;
        const HANDLE self = ::GetCurrentProcess();
        if (!::DuplicateHandle(self, event, self, &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
            return;  // not seen; the waits then end by their deadlines
        const std::lock_guard lock(mutex_);
        entries_.push_back({watch, own, true});
        ::SetEvent(wake_);
    }

    void Remove(EventWatch* watch)
    {
        const std::lock_guard lock(mutex_);
        if (const auto entry = Find(watch); entry != entries_.end()) {
            closing_.push_back(entry->event);
            entries_.erase(entry);
        }
        ::SetEvent(wake_);
    }

    // The notifier has handled its event: it is waited on again (a manual-reset event that is
    // still set would otherwise be posted over and over).
    void Rearm(EventWatch* watch)
    {
        const std::lock_guard lock(mutex_);
        if (const auto entry = Find(watch); entry != entries_.end())
            entry->armed = true;
        ::SetEvent(wake_);
    }

private:
    struct Entry {
        EventWatch* watch;
        HANDLE event;
        bool armed;
    };

    Watcher() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
        std::thread([this] { Run(); }).detach();
    }

    void Run()
    {
        std::vector<HANDLE> handles;
        for (;;) {
            handles.assign(1, wake_);
            {
                const std::lock_guard lock(mutex_);
                // Closed here, where nothing waits on them any more.
                for (HANDLE event : std::exchange(closing_, {}))
                    ::CloseHandle(event);
                for (const Entry& entry : entries_) {
                    // Far more than are ever alive at once: the port watch and a wait or two.
                    if (entry.armed && handles.size() < MAXIMUM_WAIT_OBJECTS)
                        handles.push_back(entry.event);
                }
            }
            const DWORD came = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                        handles.data(), FALSE, INFINITE);
            if (came > WAIT_OBJECT_0 && came < WAIT_OBJECT_0 + handles.size())
                Post(handles[came - WAIT_OBJECT_0]);
            else if (came == WAIT_FAILED)
                ::Sleep(10);  // not seen; it must not spin if it happens
        }
    }

    std::vector<Entry>::iterator Find(EventWatch* watch)
    {
        return std::find_if(entries_.begin(), entries_.end(),
                            [watch](const Entry& entry) { return entry.watch == watch; });
    }

    // The handle names its notifier: it is closed only after this round.
    void Post(HANDLE event);

    HANDLE wake_;
    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::vector<HANDLE> closing_;
};

class EventWatch final : public QObject {
public:
    EventWatch(HANDLE event, std::function<void()> ready) : ready_(std::move(ready))
    {
        Watcher::Instance().Add(this, event);
    }
    // What was posted before this is struck off goes with the object.
    ~EventWatch() override { Watcher::Instance().Remove(this); }

    void Handle()
    {
        const QPointer<EventWatch> alive(this);
        ready_();
        if (alive)
            Watcher::Instance().Rearm(this);
    }

private:
    std::function<void()> ready_;
};

void Watcher::Post(HANDLE event)
{
    const std::lock_guard lock(mutex_);
    for (Entry& entry : entries_) {
        if (entry.event == event && entry.armed) {
            entry.armed = false;
            EventWatch* watch = entry.watch;
            QMetaObject::invokeMethod(
                watch, [watch] { watch->Handle(); }, Qt::QueuedConnection);
            return;
        }
    }
}

}  // namespace

std::unique_ptr<QObject> ReadyNotifier(quon::io::WaitSleeper::Handle handle,
                                       std::function<void()> ready)
{
    return std::make_unique<EventWatch>(reinterpret_cast<HANDLE>(handle), std::move(ready));
}

}  // namespace k64::ui
