#include "shown_text.h"

#include "common/cp1251.h"

#include <cstdio>

namespace k64::service {

std::string ForTerminal(std::string_view cp1251)
{
    std::string safe(cp1251);
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            c = '?';
    }
    return Cp1251ToUtf8(safe);
}

namespace {
std::string Escaped(std::string_view name, bool doubleBackslash)
{
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            if (c == '\\' && doubleBackslash)
                shown += '\\';
            shown += c;
        }
    }
    return shown;
}
}  // namespace

std::string EscapedName(std::string_view name) { return Escaped(name, true); }

std::string EscapedPath(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return Escaped(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()),
                   std::filesystem::path::preferred_separator != '\\');
}

}  // namespace k64::service
