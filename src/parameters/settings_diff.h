#pragma once
// What differs between two sets of values of the same parameter list: the lines `k64ctl diff`
// prints and the changes a write or a restore announces before it sends them.

#include "parameters/parameter_list.h"

#include <string>
#include <vector>

namespace k64 {

struct SettingDifference {
    std::string name;  // the parameter's display name
    std::string key;
    std::string before;  // the value as the editor shows it (an enumeration's item text)
    std::string after;
};

// In list order. Both lists must come from the same parameter list document.
std::vector<SettingDifference> DiffSettings(const ParameterList& before,
                                            const ParameterList& after);

// One line: name (key): «before» -> «after», Windows-1251 like its parts.
std::string DifferenceLine(const SettingDifference& difference);

// How many values differ from their defaults.
int ChangedValueCount(const ParameterList& list);

}  // namespace k64
