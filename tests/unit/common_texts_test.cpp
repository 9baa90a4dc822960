// Our own texts that carry a number take the Russian noun form that goes with it.

#include "common/shared_texts.h"

#include <gtest/gtest.h>

namespace {

struct PluralCase {
    std::size_t count;
    const char* text;
};

class ChangedValuesText : public testing::TestWithParam<PluralCase> {};

TEST_P(ChangedValuesText, TakesTheFormOfItsNumber)
{
    EXPECT_EQ(k64::texts::ChangedValues(GetParam().count), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ChangedValuesText,
    testing::Values(PluralCase{1, "Обновление изменило 1 значение настроек."},
                    PluralCase{2, "Обновление изменило 2 значения настроек."},
                    PluralCase{4, "Обновление изменило 4 значения настроек."},
                    PluralCase{5, "Обновление изменило 5 значений настроек."},
                    PluralCase{11, "Обновление изменило 11 значений настроек."},
                    PluralCase{12, "Обновление изменило 12 значений настроек."},
                    PluralCase{14, "Обновление изменило 14 значений настроек."},
                    PluralCase{20, "Обновление изменило 20 значений настроек."},
                    PluralCase{21, "Обновление изменило 21 значение настроек."},
                    PluralCase{22, "Обновление изменило 22 значения настроек."},
                    PluralCase{111, "Обновление изменило 111 значений настроек."},
                    PluralCase{0, "Обновление изменило 0 значений настроек."}));

}  // namespace
