// Settings text from the unit or a file applied to the embedded list: any bytes must be taken
// without fault, and writing the changed values back and reading them again must restore them,
// through the text and through a saved settings file alike. The check a settings file passes
// first must judge any bytes and keep its list bounded.

#include "common/cp1251.h"
#include "parameters/parameter_list.h"
#include "parameters/settings_file.h"
#include "parameters/validate_value.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static k64::ParameterList list;
    static k64::ParameterList copy;

    const std::string text(reinterpret_cast<const char*>(data), size);
    const k64::SettingsFileResult checked = k64::CheckSettingsText(text, list);
    if (checked.skipped.size() > k64::kMaxListedSkipped ||
        checked.skipped.size() > checked.skippedCount)
        std::abort();
    list.ReadText(text);
    for (int i = 0; i < static_cast<int>(list.parameters.size()); ++i) {
        (void)list.DisplayTextAt(i);
        (void)k64::ValidateValue(list.parameters[static_cast<std::size_t>(i)],
                                 list.parameters[static_cast<std::size_t>(i)].value);
    }
    copy.ReadText(list.WriteText(false));
    for (std::size_t i = 0; i < list.parameters.size(); ++i)
        if (copy.parameters[i].value != list.parameters[i].value)
            std::abort();
    // A saved file whose bytes also read as UTF-8 is taken for UTF-8, as an editor's would be.
    const std::string file = k64::SettingsFileText(list);
    const bool utf8 = k64::IsUtf8(file) && std::any_of(file.begin(), file.end(), [](char c) {
                          return static_cast<unsigned char>(c) >= 0x80;
                      });
    if (utf8)
        return 0;
    static k64::ParameterList saved;
    if (!k64::ApplySettingsFile(file, saved).Ok())
        std::abort();
    for (std::size_t i = 0; i < list.parameters.size(); ++i)
        if (saved.parameters[i].value != list.parameters[i].value)
            std::abort();
    return 0;
}
