#include "parameters/settings_file.h"

#include "common/error_reason.h"

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
    }
    what += path.string();
    if (result.error != 0) {
        what += " (";
        what += ErrorReason(result.error);
        what += ")";
    }
    return what;
}

} // namespace k64
