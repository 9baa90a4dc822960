#pragma once
// The windows are laid out in pixels for their design fonts. Where a design font is not
// installed, the nearest installed family of about the same width stands in, at the same pixel
// height, so captions still fit their controls.

#include <QFont>

namespace k64::ui {

// Tahoma at 11 pixels (8 pt on a 96 dpi screen): the three windows.
QFont FormFont();
// Verdana at the given pixel height: the editor's SMS command and description.
QFont VerdanaFont(int pixelHeight, bool bold = false);

}  // namespace k64::ui
