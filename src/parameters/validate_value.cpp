#include "parameters/validate_value.h"

#include "common/cp1251.h"
#include "parameters/whole_number.h"

namespace k64 {

std::optional<std::string> ValidateValue(const Parameter& parameter, const std::string& valueText)
{
    switch (parameter.type) {
    case ParameterType::Number: {
        // The typed text leads the message, as the user typed it.
        const std::string shown = Cp1251ToUtf8(valueText);
        const std::optional<std::int32_t> number = ParseWholeNumber(valueText);
        if (!number)
            return shown + " - не является целым цислом";
        if (*number < parameter.min)
            return shown + " - маловато будет.";
        if (*number > parameter.max)
            return shown + " - многовато будет.";
        return std::nullopt;
    }
    case ParameterType::String:
    case ParameterType::Enum: break;
    }
    if (valueText.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return std::string("Значение содержит перевод строки или нулевой байт");
    if (parameter.type != ParameterType::String || valueText.empty())
        return std::nullopt;
    // Lengths are bytes: every Windows-1251 character is one byte.
    const auto length = static_cast<long long>(valueText.size());
    if (length < parameter.min)
        return std::string("Маленькая длинна текста");
    if (length > parameter.max)
        return std::string("Превышена длинна текста");
    return std::nullopt;
}

}  // namespace k64
