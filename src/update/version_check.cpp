#include "update/version_check.h"

#include "update/update_constants.h"

#include <algorithm>

namespace k64::update {

static_assert(sizeof(VersionInfo) == kVersionInfoSize);

void TerminateFields(VersionInfo& info)
{
    info.Type[sizeof info.Type - 1] = '\0';
    info.Version[sizeof info.Version - 1] = '\0';
    info.BuildDate[sizeof info.BuildDate - 1] = '\0';
}

VersionInfo ReadVersionRecord(std::span<const unsigned char> bytes, std::size_t offset)
{
    VersionInfo info{};
    if (offset < bytes.size()) {
        const std::size_t count = std::min(sizeof info, bytes.size() - offset);
        std::memcpy(&info, bytes.data() + offset, count);
    }
    TerminateFields(info);
    return info;
}

bool IsVersionReply(std::string_view reply)
{
    return std::count(reply.begin(), reply.end(), '\n') >= 2;
}

bool UnitIsNotOlder(const VersionInfo& unit, const VersionInfo& image)
{
    // char_traits<char>::compare orders bytes as unsigned char, like memcmp.
    return FieldText(unit.Version).compare(FieldText(image.Version)) >= 0;
}

std::string_view TitleType(const VersionInfo& image)
{
    const std::string_view type = FieldText(image.Type);
    return type == "K64_r0" ? std::string_view("K64") : type;
}

std::string_view ShownType(const VersionInfo& unit)
{
    const std::string_view type = FieldText(unit.Type);
    return type == "TB_r2" ? std::string_view("K73 (r2)") : type;
}

}  // namespace k64::update
