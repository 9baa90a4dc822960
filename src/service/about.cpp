#include "service/about.h"

#include "common/cp1251.h"
#include "common/version.h"
#include "resources/resources.h"
#include "update/update_constants.h"
#include "update/version_check.h"

#include <cstdint>
#include <cstdio>
#include <span>

namespace k64::service {
namespace {

std::uint32_t LittleEndian32(std::span<const unsigned char> bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::string AboutText(const std::string& program)
{
    std::string text = program + " " + kVersion + "\n";
    if (const auto image = resources::Find("blow")) {
        const VersionInfo info = update::ReadVersionRecord(*image, update::kImageVersionOffset);
        const std::string date = Cp1251ToUtf8(update::FieldText(info.BuildDate));
        text += "Прошивка в программе: " + Cp1251ToUtf8(update::TitleType(info)) + " " +
                Cp1251ToUtf8(update::FieldText(info.Version)) +
                (date.empty() ? "" : " от " + date) + ", " + std::to_string(image->size()) +
                " байт\n";
    }
    // The head of the sound container: the data's length and checksum, as the unit is told.
    if (const auto sound = resources::Find("wave_list");
        sound && sound->size() >= static_cast<std::size_t>(update::kHeadSize)) {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", LittleEndian32(sound->subspan(4)));
        const std::uint32_t length = LittleEndian32(*sound);
        text += "Голосовые сообщения в программе: " + std::to_string(length) +
                " байт, контрольная сумма " + crc + "\n";
    }
    text += std::string(kLicenseNote) + "\n";
    text += std::string("Исходные тексты: ") + kHomepage + "\n";
    return text;
}

}  // namespace k64::service
