#include "ui/display_text.h"

#include "common/cp1251.h"

namespace k64 {

QString FromCp1251(std::string_view bytes) { return QString::fromStdString(Cp1251ToUtf8(bytes)); }

std::optional<std::string> ToCp1251(const QString& text)
{
    // A lone surrogate would leave toUtf8 a replacement character, which would then pass.
    if (!text.isValidUtf16())
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp1251(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace k64
