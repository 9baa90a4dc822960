#include "parameters/settings_diff.h"

#include <algorithm>

namespace k64 {
namespace {

// An enumeration value that names no item is shown as it is rather than as nothing.
std::string Shown(const ParameterList& list, int index)
{
    const std::string text = list.DisplayTextAt(index);
    return text.empty() ? list.parameters[static_cast<std::size_t>(index)].value : text;
}

}  // namespace

std::vector<SettingDifference> DiffSettings(const ParameterList& before, const ParameterList& after)
{
    std::vector<SettingDifference> differences;
    const std::size_t count = std::min(before.parameters.size(), after.parameters.size());
    for (std::size_t i = 0; i < count; ++i) {
        const Parameter& a = before.parameters[i];
        if (a.value == after.parameters[i].value)
            continue;
        const int index = static_cast<int>(i);
        differences.push_back({a.name, a.key, Shown(before, index), Shown(after, index)});
    }
    return differences;
}

std::string DifferenceLine(const SettingDifference& difference)
{
    // Windows-1251: « and » are 0xAB and 0xBB; the arrow has no place there, so "->".
    return difference.name + " (" + difference.key + "): \xAB" + difference.before +
           "\xBB -> \xAB" + difference.after + "\xBB";
}

int ChangedValueCount(const ParameterList& list)
{
    return static_cast<int>(std::count_if(list.parameters.begin(), list.parameters.end(),
                                          [](const Parameter& p) { return !p.IsDefault(); }));
}

}  // namespace k64
