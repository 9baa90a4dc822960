#include "ui/window_fit.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace k64::ui {
namespace {

// The frame's share around the client area. Known once the window manager has framed the window;
// before that a title bar and borders as large as the usual ones are left room for.
QMargins Frame(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    if (window->isVisible() && frame != client)
        return {client.left() - frame.left(), client.top() - frame.top(),
                frame.right() - client.right(), frame.bottom() - client.bottom()};
    constexpr int kTitle = 32;
    constexpr int kBorder = 4;
    return {kBorder, kTitle, kBorder, kBorder};
}

}  // namespace

void ShrinkToScreen(QWidget* window, const QScreen* screen)
{
    if (screen == nullptr)
        return;
    const QSize room = screen->availableGeometry().marginsRemoved(Frame(window)).size();
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
}

void MoveIntoScreen(QWidget* window, const QScreen* screen)
{
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = Frame(window);
    const QSize outer = window->size().grownBy(frame);
    // The frame's top-left corner, as move() takes it for a window not shown yet.
    QPoint at = window->pos();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height())));
    window->move(at);
}

}  // namespace k64::ui
