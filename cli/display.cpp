#include "display.h"

#include "common/cp1251.h"

namespace k64::cli {

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

} // namespace k64::cli
