#pragma once
// Windows open inside the available area of their screen, title bar and borders included,
// whatever the screen and the scale factor: a window larger than the area is made smaller (not
// below its minimum size) and one that would stick out is moved in.

class QScreen;
class QWidget;

namespace k64::ui {

// Makes `window`, not shown yet, no larger than the available area of `screen` leaves for it
// with its frame.
void ShrinkToScreen(QWidget* window, const QScreen* screen);

// Moves `window`, not shown yet, so that it lies inside that area, title bar first when it cannot
// all fit. (Once shown, a move before the window manager has framed it would place the client
// area there and push the title bar off the screen.)
void MoveIntoScreen(QWidget* window, const QScreen* screen);

}  // namespace k64::ui
