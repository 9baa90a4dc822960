// The image checksum.

#include "device/crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quon::util::Crc32Plain;
using quon::util::kCrc32PlainTable;

std::uint32_t CrcOf(const std::string& s)
{
    return Crc32Plain(reinterpret_cast<const std::uint8_t*>(s.data()),
                      static_cast<std::uint32_t>(s.size()));
}

struct CrcCase {
    std::string data;
    std::uint32_t crc;
};

class Crc : public testing::TestWithParam<CrcCase> {};

TEST_P(Crc, MatchesKnownValues) { EXPECT_EQ(CrcOf(GetParam().data), GetParam().crc); }

INSTANTIATE_TEST_SUITE_P(Crc32Plain, Crc,
                         testing::Values(CrcCase{"", 0}, CrcCase{"abc", 0xCA6598D0u},
                                         CrcCase{"123456789", 0x2DFD2D88u},
                                         // Leading zeros leave a zero register unchanged.
                                         CrcCase{std::string(5, '\0'), 0}));

TEST(Crc32Plain, TableAndPiecewiseUse)
{
    static_assert(kCrc32PlainTable[1] == 0x77073096u);
    static_assert(kCrc32PlainTable[255] == 0x2D02EF8Du);
    static_assert(kCrc32PlainTable[0] == 0);
    const std::string s = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    EXPECT_EQ(Crc32Plain(p + 4, 5, Crc32Plain(p, 4)), 0x2DFD2D88u);
}

}  // namespace
