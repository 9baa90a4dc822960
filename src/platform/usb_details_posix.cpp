#include "platform/usb_details.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace k64 {
namespace {
namespace fs = std::filesystem;

// USB strings hold at most 126 characters; this leaves room for their UTF-8 form.
constexpr std::size_t kMaxAttribute = 512;
// The USB device sits one level above a CDC ACM interface and two above a USB serial
// converter's port; a few more cover hubs' odd trees without walking all of sysfs.
constexpr int kMaxLevels = 4;

// One sysfs attribute, at most kMaxAttribute bytes, without its line end.
std::string ReadAttribute(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text(kMaxAttribute, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool IsUsbId(const std::string& id)
{
    return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool Within(const fs::path& path, const fs::path& root)
{
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}
}  // namespace

std::optional<UsbDetails> ReadUsbDetails(std::string_view deviceName, const fs::path& sysRoot)
{
    std::error_code error;
    std::string name(deviceName);
    // A path counts only when it leads to a node directly in /dev, as the links to a port do.
    if (name.find('/') != std::string::npos) {
        const fs::path node = fs::canonical(name, error);
        if (error || node.parent_path() != "/dev")
            return std::nullopt;
        name = node.filename().string();
    }
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    const fs::path root = fs::canonical(sysRoot, error);
    if (error)
        return std::nullopt;
    fs::path dir = fs::canonical(root / "class" / "tty" / name / "device", error);
    if (error || !Within(dir, root))
        return std::nullopt;
    for (int level = 0; level <= kMaxLevels && dir != root && Within(dir, root);
         ++level, dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", error))
            continue;
        UsbDetails details{ReadAttribute(dir / "idVendor"), ReadAttribute(dir / "idProduct"),
                           ReadAttribute(dir / "manufacturer"), ReadAttribute(dir / "product"),
                           ReadAttribute(dir / "serial")};
        if (!IsUsbId(details.vendorId) || !IsUsbId(details.productId))
            return std::nullopt;
        return details;
    }
    return std::nullopt;
}

}  // namespace k64
