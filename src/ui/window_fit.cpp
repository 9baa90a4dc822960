#include "ui/window_fit.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace k64::ui {
namespace {

// Room for the frame around the client area. The windows are fitted before they are shown, when
// the window manager has not framed them yet: a title bar and borders as large as the usual ones
// are allowed for.
QMargins Frame()
{
    constexpr int kTitle = 32;
    constexpr int kBorder = 4;
    return {kBorder, kTitle, kBorder, kBorder};
}

}  // namespace

void ShrinkToScreen(QWidget* window, const QScreen* screen)
{
    if (screen == nullptr)
        return;
    const QSize room = screen->availableGeometry().marginsRemoved(Frame()).size();
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
}

void MoveIntoScreen(QWidget* window, const QScreen* screen)
{
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = Frame();
    const QSize outer = window->size().grownBy(frame);
    // The frame's top-left corner, as move() takes it for a window not shown yet.
    QPoint at = window->pos();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height())));
    window->move(at);
}

}  // namespace k64::ui
