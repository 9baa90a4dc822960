#include "platform/usb_details.h"

namespace k64 {

// Windows numbers its ports; k64ctl lists them by name only.
std::optional<UsbDetails> ReadUsbDetails(std::string_view, const std::filesystem::path&)
{
    return std::nullopt;
}

}  // namespace k64
