#pragma once
// Text conversion at the edge between Windows-1251 data (unit, files, embedded list) and the
// QString texts of the widgets.

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace k64 {

QString FromCp1251(std::string_view bytes);

// Null when the text holds a character Windows-1251 cannot represent: the caller refuses the
// input with a message instead of storing a replacement character.
[[nodiscard]] std::optional<std::string> ToCp1251(const QString& text);

}  // namespace k64
