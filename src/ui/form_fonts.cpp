#include "ui/form_fonts.h"

#include <QStringList>

namespace k64::ui {
namespace {

QFont PixelFont(const QStringList& families, int pixelHeight, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

}  // namespace

QFont FormFont()
{
    return PixelFont({"Tahoma", "Wine Tahoma", "DejaVu Sans Condensed", "Liberation Sans",
                      "DejaVu Sans", "Sans Serif"},
                     11, false);
}

QFont VerdanaFont(int pixelHeight, bool bold)
{
    return PixelFont({"Verdana", "DejaVu Sans", "Bitstream Vera Sans", "Sans Serif"}, pixelHeight,
                     bold);
}

}  // namespace k64::ui
