// The editor's check of typed values, and the whole-number reading behind it.

#include "common/cp1251.h"
#include "parameters/parameter_list.h"
#include "parameters/validate_value.h"
#include "parameters/whole_number.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace k64 {
namespace {

TEST(ParseWholeNumber, Table)
{
    struct Case {
        std::string text;
        std::optional<std::int32_t> number;
    } cases[] = {
        {"0", 0},
        {"-0", 0},
        {"0012", 12},
        {"+5", 5},
        {"   -12", -12},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999999", std::nullopt},
        {"$7FFFFFFF", INT_MAX},
        {"$80000000", std::nullopt},
        {"$FFFFFFFF", std::nullopt},
        {"-$80000000", INT_MIN},
        {"$a", 10},
        {"xFf", 255},
        {"X10", 16},
        {"0x1f", 31},
        {"0X1F", 31},
        {"+x10", 16},
        {"$", std::nullopt},
        {"x", std::nullopt},
        {"0x", std::nullopt},
        {"$-1", std::nullopt},
        {"0x 1", std::nullopt},
        {"$0x1", std::nullopt},
        {"1f", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"--1", std::nullopt},
        {"- 1", std::nullopt},
        {"\t1", std::nullopt},
        {"1 ", std::nullopt},
        {"1 2", std::nullopt},
        {"1.0", std::nullopt},
        {std::string("1\0", 2), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseWholeNumber(c.text), c.number) << '"' << c.text << '"';
}

TEST(ValidateValue, EmbeddedParametersTable)
{
    const ParameterList list;
    struct Case {
        const char* key;
        std::string typed;  // UTF-8, converted to Windows-1251 as the editor would
        std::optional<std::string> refusal;
    } cases[] = {
        {"PinCod", "123", "Маленькая длинна текста"},
        {"PinCod", "12345", "Превышена длинна текста"},
        {"PinCod", "", std::nullopt},
        {"PinCod", "5739", std::nullopt},
        {"PinCod", "абвг", std::nullopt},  // four characters, four bytes
        {"Balans", "*100#", std::nullopt},
        {"Balans", "*100#7890", "Превышена длинна текста"},
        {"Balans", "*10\n#", "Значение содержит перевод строки или нулевой байт"},
        {"UserNumber1", "+7927", "Маленькая длинна текста"},
        {"UserNumber1", "+79270000000", std::nullopt},
        {"MicLevel", "15", "15 - многовато будет."},
        {"MicLevel", "0", "0 - маловато будет."},
        {"MicLevel", "abc", "abc - не является целым цислом"},
        {"MicLevel", "", " - не является целым цислом"},
        {"MicLevel", "пять", "пять - не является целым цислом"},
        {"MicLevel", "1", std::nullopt},
        {"MicLevel", "14", std::nullopt},
        {"MicLevel", "  7", std::nullopt},
        {"MicLevel", "$E", std::nullopt},
        {"MicLevel", "0xF", "0xF - многовато будет."},
        {"MicLevel", "7 ", "7  - не является целым цислом"},
        {"MicLevel", "7\n", "7\n - не является целым цислом"},
        {"MicLevel", "4294967297", "4294967297 - не является целым цислом"},
        {"AccLow", "10499", "10499 - маловато будет."},
        {"AccLow", "12501", "12501 - многовато будет."},
        {"AccLow", "10500", std::nullopt},
        {"DoorDelay", "-1", "-1 - маловато будет."},
        {"CanMode", "5", std::nullopt},  // every item is offered, whatever the limits say
        {"CanMode", "", std::nullopt},
        {"NoteKick", "4\r", "Значение содержит перевод строки или нулевой байт"},
    };
    for (const Case& c : cases) {
        const int index = list.IndexOfKey(c.key);
        ASSERT_GE(index, 0) << c.key;
        const std::string typed = Utf8ToCp1251(c.typed).value();
        EXPECT_EQ(ValidateValue(list.parameters[static_cast<std::size_t>(index)], typed), c.refusal)
            << c.key << " '" << c.typed << "'";
    }
}

TEST(ValidateValue, ZeroByteRefusedInStrings)
{
    const Parameter pin("PinCod", ParameterType::String, "", "", "", 4, 4, "", "", "");
    EXPECT_TRUE(ValidateValue(pin, std::string("12\0"
                                               "4",
                                               4))
                    .has_value());
}

}  // namespace
}  // namespace k64
