#pragma once
// What the kernel knows about the USB device behind a serial port: ids and the device's own
// strings, read from sysfs. For the port list and the connection check of k64ctl; the desktop
// program lists names only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace k64 {

struct UsbDetails {
    std::string vendorId;  // four lower-case hex digits
    std::string productId;
    // The device's own strings, empty when it has none. Not sanitised beyond their length:
    // escape them for display.
    std::string manufacturer;
    std::string product;
    std::string serial;
};

// The USB device of the serial device `deviceName`: a kernel name ("ttyACM0") or a path that
// leads to a node in /dev. sysfs is read at `sysRoot`; nullopt when the device is not on USB or
// sysfs does not know it.
[[nodiscard]] std::optional<UsbDetails>
ReadUsbDetails(std::string_view deviceName, const std::filesystem::path& sysRoot = "/sys");

}  // namespace k64
