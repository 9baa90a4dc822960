#include "platform/port_catalog.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace k64 {
namespace {

struct OrderCase {
    const char* smaller;
    const char* larger;
};

class NaturalOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(NaturalOrder, OrdersOneWayOnly)
{
    const OrderCase& c = GetParam();
    EXPECT_TRUE(NaturalLess(c.smaller, c.larger)) << c.smaller << " < " << c.larger;
    EXPECT_FALSE(NaturalLess(c.larger, c.smaller)) << c.larger << " < " << c.smaller;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NaturalOrder,
    ::testing::Values(OrderCase{"/dev/ttyACM2", "/dev/ttyACM10"},
                      OrderCase{"/dev/ttyACM9", "/dev/ttyACM10"},
                      OrderCase{"/dev/ttyACM99", "/dev/ttyUSB0"},
                      OrderCase{"/dev/ttyACM", "/dev/ttyACM0"}, OrderCase{"ttyACM1x", "ttyACM2"},
                      OrderCase{"ttyACM1", "ttyACM1a"},
                      OrderCase{"ttyACM1", "ttyACM01"},  // equal values stay distinct
                      OrderCase{"ttyACM01", "ttyACM2"},  // leading zeros do not count
                      OrderCase{"a99999999999999999999", "a100000000000000000000"},  // > 64 bits
                      OrderCase{"COM2", "COM254"}));

TEST(NaturalOrder, NameIsNotLessThanItself)
{
    EXPECT_FALSE(NaturalLess("/dev/ttyACM10", "/dev/ttyACM10"));
    EXPECT_FALSE(NaturalLess("", ""));
}

struct SplitCase {
    const char* list;
    std::vector<std::string> names;
};

class PortListSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PortListSplit, DropsEmptyEntries)
{
    EXPECT_EQ(SplitPortList(GetParam().list), GetParam().names) << GetParam().list;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortListSplit,
    ::testing::Values(SplitCase{"", {}}, SplitCase{":", {}}, SplitCase{":::", {}},
                      SplitCase{"/dev/pts/3", {"/dev/pts/3"}},
                      SplitCase{"/dev/pts/3:/dev/pts/4", {"/dev/pts/3", "/dev/pts/4"}},
                      SplitCase{"::/dev/pts/3::/dev/pts/4:", {"/dev/pts/3", "/dev/pts/4"}},
                      SplitCase{"a b:c", {"a b", "c"}}));

// Sets or clears an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value)
    {
        if (value)
            ::setenv(name_, value, 1);
        else
            ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

struct CatalogCase {
    const char* name;
    std::vector<const char*> files;     // created in the device folder
    const char* extra;                  // K64_EXTRA_PORTS, null when unset
    std::vector<std::string> expected;  // "@/" here and in `extra` is the device folder
};

class Catalog : public ::testing::TestWithParam<CatalogCase> {};

TEST_P(Catalog, ListsUsbSerialDevicesThenExtraPorts)
{
    const CatalogCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    for (const char* file : c.files)
        std::ofstream(folder + "/" + file).put('x');
    const auto inFolder = [&](std::string text) {
        for (std::size_t at = text.find("@/"); at != std::string::npos; at = text.find("@/", at))
            text.replace(at, 1, folder);
        return text;
    };
    const std::string extra = c.extra ? inFolder(c.extra) : std::string();
    ScopedEnv env("K64_EXTRA_PORTS", c.extra ? extra.c_str() : nullptr);

    std::vector<std::string> expected;
    for (const std::string& name : c.expected)
        expected.push_back(inFolder(name));
    EXPECT_EQ(SystemPortCatalog(folder).Candidates(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Catalog,
    ::testing::Values(
        CatalogCase{"NaturalOrder",
                    {"ttyACM10", "ttyUSB1", "ttyACM2", "ttyUSB0", "ttyACM0"},
                    nullptr,
                    {"@/ttyACM0", "@/ttyACM2", "@/ttyACM10", "@/ttyUSB0", "@/ttyUSB1"}},
        CatalogCase{"OtherDevicesLeftOut",
                    {"ttyS0", "ttyACM", "ttyACMx", "ttyUSB1a", "xttyACM1", "tty", "ttyACM3"},
                    nullptr,
                    {"@/ttyACM3"}},
        CatalogCase{"ExtraPortsAppendedInTheirOrder",
                    {"ttyACM1"},
                    "/dev/pts/9::/dev/pts/4:",
                    {"@/ttyACM1", "/dev/pts/9", "/dev/pts/4"}},
        CatalogCase{"ExtraPortsWithoutDevices", {}, "/dev/pts/7", {"/dev/pts/7"}},
        CatalogCase{"EmptyVariable", {"ttyUSB0"}, "", {"@/ttyUSB0"}},
        CatalogCase{"PortNamedTwiceProbedOnce",
                    {"ttyACM0"},
                    "@/ttyACM0:/dev/pts/2:/dev/pts/2",
                    {"@/ttyACM0", "/dev/pts/2"}}),
    [](const ::testing::TestParamInfo<CatalogCase>& info) { return info.param.name; });

TEST(Catalog, MissingDeviceFolderStillGivesExtraPorts)
{
    ScopedEnv env("K64_EXTRA_PORTS", "/dev/pts/5");
    EXPECT_EQ(SystemPortCatalog("/nonexistent/k64-devices").Candidates(),
              std::vector<std::string>{"/dev/pts/5"});
}

}  // namespace
}  // namespace k64
