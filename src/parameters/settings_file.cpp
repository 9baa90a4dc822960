#include "parameters/settings_file.h"

#include "common/error_reason.h"

#include <algorithm>

namespace k64 {

std::string SettingsFileText(const ParameterList& list)
{
    const std::string text = list.WriteText(false);
    std::string file;
    file.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n')
            file += '\r';
        file += c;
    }
    return file;
}

SettingsFileResult WriteSettingsFile(const std::filesystem::path& path, const ParameterList& list)
{
    return SaveFileAtomically(path, SettingsFileText(list));
}

SettingsFileResult CheckSettingsText(std::string_view text, const ParameterList& list)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\r' && c != '\n' && c != '\t') || byte == 0x7F)
            return SettingsFileResult::Failed(SettingsFileStatus::ControlBytes);
    }
    SettingsFileResult result;
    bool named = false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && list.IndexOfKey(std::string(line.substr(0, eq))) >= 0) {
            named = true;
            continue;
        }
        if (result.skipped.size() < kMaxListedSkipped)
            result.skipped.emplace_back(line);
        ++result.skippedCount;
    }
    if (!named && result.skippedCount > 0)
        return SettingsFileResult::Failed(SettingsFileStatus::NoKnownKey);
    return result;
}

std::string DescribeSettingsFileResult(const SettingsFileResult& result,
                                       const std::filesystem::path& path)
{
    std::string what;
    switch (result.status) {
    case SettingsFileStatus::Ok: return {};
    case SettingsFileStatus::CannotOpen: what = "Не удалось открыть файл настроек "; break;
    case SettingsFileStatus::NotAFile: what = "Не является файлом настроек: "; break;
    case SettingsFileStatus::TooLarge: what = "Файл настроек больше 1 МБ: "; break;
    case SettingsFileStatus::ReadFailed: what = "Не удалось прочитать файл настроек "; break;
    case SettingsFileStatus::WriteFailed: what = "Не удалось записать файл настроек "; break;
    case SettingsFileStatus::ControlBytes:
        what = "Файл содержит управляющие байты и не может быть файлом настроек: ";
        break;
    case SettingsFileStatus::NoKnownKey:
        what = "В файле нет ни одной строки \"параметр=значение\" с известным параметром: ";
        break;
    }
    // UTF-8 like every text shown; string() would give Windows' ANSI code page.
    const std::u8string name = path.u8string();
    what.append(name.begin(), name.end());
    if (result.error != 0) {
        what += " (";
        what += ErrorReason(result.error);
        what += ")";
    }
    return what;
}

}  // namespace k64
