#include "display.h"

#include "common/cp1251.h"
#include "platform/usb_details.h"

#include <cstdio>

namespace k64::cli {

void PrintLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

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

std::string PortLine(const std::string& name)
{
    std::string line = EscapedName(name);
    if (const std::optional<UsbDetails> usb = ReadUsbDetails(name)) {
        line += '\t' + usb->vendorId + ':' + usb->productId;
        for (const std::string* text : {&usb->manufacturer, &usb->product, &usb->serial})
            line += '\t' + EscapedName(*text);
    }
    return line;
}

}  // namespace k64::cli
