// The version check before a firmware update: byte-wise text order of the Version fields, and
// which replies count as a version reply at all.

#include "update/version_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace k64::update {
namespace {

VersionInfo WithVersion(const std::string& version)
{
    VersionInfo info{};
    std::memcpy(info.Version, version.data(), std::min(version.size(), sizeof info.Version));
    return info;
}

struct OrderCase {
    std::string unit, image;
    bool notOlder;
};

class UpdateVersionOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(UpdateVersionOrderTest, UnitAgainstImage)
{
    const OrderCase& c = GetParam();
    EXPECT_EQ(UnitIsNotOlder(WithVersion(c.unit), WithVersion(c.image)), c.notOlder)
        << '"' << c.unit << "\" vs \"" << c.image << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateVersionOrderTest,
    ::testing::Values(OrderCase{"000.014", "000.014", true},  // equal asks
                      OrderCase{"000.013", "000.014", false}, OrderCase{"000.015", "000.014", true},
                      OrderCase{"001.000", "000.014", true},
                      OrderCase{"000.01", "000.014", false},  // a prefix is older
                      OrderCase{"000.0140", "000.014", true}, OrderCase{"", "000.014", false},
                      OrderCase{"", "", true},
                      OrderCase{"9", "10", true},  // text order, not numbers
                      OrderCase{"10", "9", false}, OrderCase{"A", "a", false},  // case counts
                      // bytes above 0x7F are larger than digits (unsigned comparison)
                      OrderCase{"\xC0", "9", true}, OrderCase{"9", "\xC0", false}));

TEST(UpdateVersionTest, UnterminatedFieldsCompareWithinTheirSize)
{
    // Both records filled to the last byte; what follows in memory must not count.
    VersionInfo unit{}, image{};
    std::memset(&unit, '7', sizeof unit);
    std::memset(&image, '7', sizeof image);
    image.Type[0] = '0';  // the field after Version differs
    unit.BuildDate[0] = '9';
    EXPECT_TRUE(UnitIsNotOlder(unit, image));
    EXPECT_TRUE(UnitIsNotOlder(image, unit));
    TerminateFields(unit);
    EXPECT_EQ(FieldText(unit.Type).size(), 47u);
    EXPECT_EQ(FieldText(unit.Version).size(), 15u);
    EXPECT_EQ(FieldText(unit.BuildDate).size(), 31u);
}

TEST(UpdateVersionTest, VersionReplyNeedsTwoLineFeeds)
{
    const struct {
        std::string reply;
        bool accepted;
    } cases[] = {
        {"K64_r2\n000.014\nSep 29 2016", true},
        {"K64_r2\n000.014\n", true},
        {"\n\n", true},
        {"K64_r2\n000.014", false},
        {"K64_r2 000.014 Sep 29 2016", false},
        {"", false},
        {"\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsVersionReply(c.reply), c.accepted) << c.reply;
}

}  // namespace
}  // namespace k64::update
