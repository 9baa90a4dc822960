#include "parameters/settings_file.h"

#include "common/cp1251.h"
#include "common/error_reason.h"

#include <algorithm>

namespace k64 {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A file in UTF-8 becomes the Windows-1251 text every settings file is inside; a character that
// has no place there is refused rather than replaced, as a replaced PIN or phone number would
// reach the unit wrong.
SettingsFileResult ToCp1251(std::string& bytes)
{
    const bool marked = bytes.starts_with(kUtf8Mark);
    if (marked)
        bytes.erase(0, kUtf8Mark.size());
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || (!marked && !IsUtf8(bytes)))
        return {};
    std::size_t failedAt = 0;
    if (std::optional<std::string> converted = Utf8ToCp1251(bytes, &failedAt)) {
        bytes = std::move(*converted);
        return {};
    }
    SettingsFileResult result = SettingsFileResult::Failed(SettingsFileStatus::NotCp1251);
    // Lines as ReadText cuts them: CR LF is one break, CR and LF alone are one each.
    result.line = 1;
    for (std::size_t i = 0; i < failedAt; ++i)
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++result.line;
    result.character = DescribeUtf8At(bytes, failedAt);
    return result;
}

bool IsControlByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

// Settings keys are Latin letters, so UTF-16 shows in its byte-order mark or in the zero byte
// beside every letter (those of one parity, not the other).
bool LooksLikeUtf16(std::string_view text)
{
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return true;
    constexpr std::size_t kLooked = 512;
    const std::size_t size = std::min(text.size(), kLooked) & ~std::size_t{1};
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < size; ++i)
        zeros[i % 2] += text[i] == '\0';
    const std::size_t many = std::max(zeros[0], zeros[1]), few = std::min(zeros[0], zeros[1]);
    return size >= 4 && many * 4 >= size && few * 8 <= many;
}

}  // namespace

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
    if (LooksLikeUtf16(text))
        return SettingsFileResult::Failed(SettingsFileStatus::Utf16);
    // The unit's text ends at a zero byte, so no value holds one.
    if (text.find('\0') != std::string_view::npos)
        return SettingsFileResult::Failed(SettingsFileStatus::Binary);
    SettingsFileResult result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        const std::size_t eq = line.find('=');
        if (const std::string key(line.substr(0, std::min(eq, line.size())));
            eq != std::string_view::npos && list.IndexOfKey(key) >= 0) {
            if (std::find(result.keys.begin(), result.keys.end(), key) == result.keys.end())
                result.keys.push_back(key);
            continue;
        }
        // A value may hold any byte the unit keeps; a line that is no setting may not.
        if (std::any_of(line.begin(), line.end(), IsControlByte))
            return SettingsFileResult::Failed(SettingsFileStatus::Binary);
        if (result.skipped.size() < kMaxListedSkipped)
            result.skipped.emplace_back(line);
        ++result.skippedCount;
    }
    if (result.keys.empty() && result.skippedCount > 0)
        return SettingsFileResult::Failed(SettingsFileStatus::NoKnownKey);
    return result;
}

SettingsFileResult ApplySettingsFile(std::string bytes, ParameterList& list)
{
    if (SettingsFileResult decoded = ToCp1251(bytes); !decoded.Ok())
        return decoded;
    SettingsFileResult checked = CheckSettingsText(bytes, list);
    if (!checked.Ok())
        return checked;
    // ReadText takes CR, LF and CR LF alike, so the file's lines need no rejoining first.
    list.ReadText(std::move(bytes));
    return checked;
}

std::string DescribeSettingsFileResult(const SettingsFileResult& result,
                                       const std::filesystem::path& path)
{
    if (result.status == SettingsFileStatus::NotCp1251) {
        return "Файл настроек " + path.string() + ", строка " + std::to_string(result.line) +
               (result.character.starts_with('"')
                    ? ": символа " + result.character + " нет в кодировке Windows-1251"
                    : ": байт " + result.character + " не является началом символа UTF-8");
    }
    std::string what;
    std::string reason = result.error != 0 ? ErrorReason(result.error) : std::string();
    switch (result.status) {
    case SettingsFileStatus::Ok: return {};
    case SettingsFileStatus::CannotOpen: what = "Не удалось открыть файл настроек "; break;
    case SettingsFileStatus::NotAFile: what = "Не является файлом настроек: "; break;
    case SettingsFileStatus::TooLarge: what = "Файл настроек больше 1 МБ: "; break;
    case SettingsFileStatus::ReadFailed: what = "Не удалось прочитать файл настроек "; break;
    case SettingsFileStatus::WriteFailed: what = "Не удалось записать файл настроек "; break;
    case SettingsFileStatus::Binary:
        what = "Не является файлом настроек: ";
        reason = "двоичные данные";
        break;
    case SettingsFileStatus::Utf16:
        what = "Не является файлом настроек: ";
        reason = "файл в кодировке UTF-16; сохраните его в UTF-8 или Windows-1251";
        break;
    case SettingsFileStatus::NoKnownKey:
        what = "В файле нет ни одной строки \"параметр=значение\" с известным параметром: ";
        break;
    case SettingsFileStatus::NotCp1251: break;
    }
    // UTF-8 like every text shown; string() would give Windows' ANSI code page.
    const std::u8string name = path.u8string();
    what.append(name.begin(), name.end());
    return reason.empty() ? what : what + " (" + reason + ")";
}

}  // namespace k64
