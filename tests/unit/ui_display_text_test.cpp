#include "ui/display_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace k64 {
namespace {

struct RoundTripCase {
    std::string cp1251;
    QString text;
};

class DisplayTextRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DisplayTextRoundTrip, BothWays)
{
    const RoundTripCase& c = GetParam();
    EXPECT_EQ(FromCp1251(c.cp1251), c.text);
    EXPECT_EQ(ToCp1251(c.text), std::optional<std::string>(c.cp1251));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayTextRoundTrip,
    ::testing::Values(RoundTripCase{"", QString()},
                      RoundTripCase{"MicLevel=10", QStringLiteral("MicLevel=10")},
                      RoundTripCase{"\xCF\xEE\xF0\xF2", QStringLiteral(u"Порт")},
                      RoundTripCase{"\xA8\xB8", QStringLiteral(u"Ёё")},
                      RoundTripCase{"\x88\xB9", QStringLiteral(u"€№")},
                      RoundTripCase{std::string("a\0b", 3), QString::fromUtf16(u"a\0b", 3)}));

class UnrepresentableText : public ::testing::TestWithParam<QString> {};

TEST_P(UnrepresentableText, IsRefusedNotReplaced) { EXPECT_EQ(ToCp1251(GetParam()), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(Cases, UnrepresentableText,
                         ::testing::Values(QStringLiteral(u"日本"), QStringLiteral(u"Порт ✓"),
                                           QStringLiteral(u"ä"), QStringLiteral(u"\U0001F600"),
                                           QString(QChar(0xD800)),  // lone surrogate
                                           QString::fromUtf16(u"a\xDC00", 2)));

}  // namespace
}  // namespace k64
