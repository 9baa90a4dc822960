#include "display.h"

#include "platform/usb_details.h"

#include <cstdio>

namespace k64::cli {

void PrintLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
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
