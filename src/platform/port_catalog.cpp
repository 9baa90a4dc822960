#include "platform/port_catalog.h"

#include <cstddef>

namespace k64 {
namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t DigitRunEnd(std::string_view s, std::size_t from)
{
    while (from < s.size() && IsDigit(s[from]))
        ++from;
    return from;
}

std::string_view StripLeadingZeros(std::string_view digits)
{
    std::size_t i = 0;
    while (i + 1 < digits.size() && digits[i] == '0')
        ++i;
    return digits.substr(i);
}
}  // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::size_t aEnd = DigitRunEnd(a, i);
            const std::size_t bEnd = DigitRunEnd(b, j);
            const std::string_view aRun = a.substr(i, aEnd - i);
            const std::string_view bRun = b.substr(j, bEnd - j);
            // Compared as text after the zeros, so runs longer than any integer still order.
            const std::string_view aValue = StripLeadingZeros(aRun);
            const std::string_view bValue = StripLeadingZeros(bRun);
            if (aValue.size() != bValue.size())
                return aValue.size() < bValue.size();
            if (aValue != bValue)
                return aValue < bValue;
            // Equal values: fewer leading zeros first, so distinct names never compare equal.
            if (aRun.size() != bRun.size())
                return aRun.size() < bRun.size();
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> SplitPortList(std::string_view list)
{
    std::vector<std::string> names;
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view entry = list.substr(0, colon);
        if (!entry.empty())
            names.emplace_back(entry);
        if (colon == std::string_view::npos)
            break;
        list.remove_prefix(colon + 1);
    }
    return names;
}

}  // namespace k64
