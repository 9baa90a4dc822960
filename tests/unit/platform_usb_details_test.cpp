// USB details from a fake sysfs tree laid out as the kernel does for CDC ACM and USB serial
// converters.

#include "platform/usb_details.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace k64 {
namespace {
namespace fs = std::filesystem;

class UsbDetailsTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.Valid());
        const std::string hub = "devices/pci0000:00/0000:00:14.0/usb1";
        // A CDC ACM unit: class/tty/ttyACM0/device is the interface, the USB device above it.
        Device(hub + "/1-2", "0483", "5740", "QF\n", "K64 GSM\n", "160012\n");
        Tty("ttyACM0", hub + "/1-2/1-2:1.0");
        // A converter: the port sits one level further down.
        Device(hub + "/1-3", "1a86", "7523", "", "USB Serial\n", "");
        Tty("ttyUSB0", hub + "/1-3/1-3:1.0/ttyUSB0");
        // A device that sends control bytes and a string far longer than USB allows.
        Device(hub + "/1-4", "abcd", "0001", "Evil\x1b[2J\n", std::string(5000, 'x'), "1\n");
        Tty("ttyACM1", hub + "/1-4/1-4:1.0");
        // Junk where the ids belong.
        Device(hub + "/1-5", "12345", "zz", "", "", "");
        Tty("ttyACM2", hub + "/1-5/1-5:1.0");
        // A built-in port, nothing USB above it.
        fs::create_directories(Path("devices/platform/serial8250/tty/ttyS0"));
        Tty("ttyS0", "devices/platform/serial8250");
        // A link out of the tree must not be followed.
        fs::create_directories(Path("class/tty/ttyACM9"));
        fs::create_symlink("/", Path("class/tty/ttyACM9/device"));
    }

    std::string Path(const std::string& relative) const { return root_ / relative; }
    void Write(const std::string& relative, const std::string& text) const
    {
        std::ofstream(Path(relative), std::ios::binary) << text;
    }
    void Device(const std::string& dir, const std::string& vendor, const std::string& product,
                const std::string& manufacturer, const std::string& name, const std::string& serial)
    {
        fs::create_directories(Path(dir));
        Write(dir + "/idVendor", vendor + "\n");
        Write(dir + "/idProduct", product + "\n");
        if (!manufacturer.empty())
            Write(dir + "/manufacturer", manufacturer);
        Write(dir + "/product", name);
        if (!serial.empty())
            Write(dir + "/serial", serial);
    }
    void Tty(const std::string& name, const std::string& deviceDir)
    {
        fs::create_directories(Path(deviceDir));
        fs::create_directories(Path("class/tty/" + name));
        fs::create_symlink("../../../" + deviceDir, Path("class/tty/" + name + "/device"));
    }

    test::TempDir root_{"k64-sysfs"};
};

TEST_F(UsbDetailsTree, ReadsIdsAndStringsOfUsbPortsOnly)
{
    struct Case {
        const char* name;
        std::optional<UsbDetails> expected;
    };
    const Case cases[] = {
        {"ttyACM0", UsbDetails{"0483", "5740", "QF", "K64 GSM", "160012"}},
        {"ttyUSB0", UsbDetails{"1a86", "7523", "", "USB Serial", ""}},
        {"ttyACM1", UsbDetails{"abcd", "0001", "Evil\x1b[2J", std::string(512, 'x'), "1"}},
        {"ttyACM2", std::nullopt},
        {"ttyS0", std::nullopt},
        {"ttyACM9", std::nullopt},
        {"ttyACM7", std::nullopt},  // not there at all
        {"..", std::nullopt},
        {"/tmp/ttyACM0", std::nullopt},  // a path outside /dev is no device of that name
    };
    for (const Case& c : cases) {
        const std::optional<UsbDetails> got = ReadUsbDetails(c.name, root_.Path());
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.name;
        if (!got)
            continue;
        EXPECT_EQ(got->vendorId, c.expected->vendorId) << c.name;
        EXPECT_EQ(got->productId, c.expected->productId) << c.name;
        EXPECT_EQ(got->manufacturer, c.expected->manufacturer) << c.name;
        EXPECT_EQ(got->product, c.expected->product) << c.name;
        EXPECT_EQ(got->serial, c.expected->serial) << c.name;
    }
}

}  // namespace
}  // namespace k64
