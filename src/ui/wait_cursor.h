#pragma once
// The busy cursor for the length of a request to the unit.

#include <QCursor>
#include <QGuiApplication>

#include <vector>

namespace k64::ui {

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Takes the busy cursor off while something waits for the user (a message box), and puts it
// back afterwards for the request that is still running.
class CursorForUser {
public:
    CursorForUser()
    {
        while (const QCursor* cursor = QGuiApplication::overrideCursor()) {
            saved_.push_back(*cursor);
            QGuiApplication::restoreOverrideCursor();
        }
    }
    ~CursorForUser()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            QGuiApplication::setOverrideCursor(*it);
    }
    CursorForUser(const CursorForUser&) = delete;
    CursorForUser& operator=(const CursorForUser&) = delete;

private:
    std::vector<QCursor> saved_;
};

}  // namespace k64::ui
