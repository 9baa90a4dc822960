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

std::string EscapedName(std::string_view name)
{
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            if (c == '\\')
                shown += '\\';
            shown += c;
        }
    }
    return shown;
}

}  // namespace k64::service
