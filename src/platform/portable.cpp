#include "platform/portable.h"

#include "common/ini_text.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <system_error>

namespace k64 {
namespace {

// The file holds a few lines; a larger one is not ours and is neither read nor rewritten.
constexpr std::uintmax_t kMaxFileSize = 64 * 1024;

std::optional<std::string> ReadWhole(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileSize)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::optional<std::filesystem::path> PortableSettingsFile()
{
    const std::filesystem::path file = ProgramFolder() / kPortableFileName;
    std::error_code error;
    if (ProgramFolder().empty() || !std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    return file;
}

std::string ReadPortableValue(const std::filesystem::path& file, const char* key)
{
    const std::optional<std::string> text = ReadWhole(file);
    return text ? IniValue(*text, kPortableSection, key).value_or(std::string()) : std::string();
}

bool WritePortableValue(const std::filesystem::path& file, const char* key,
                        const std::string& value)
{
    const std::optional<std::string> text = ReadWhole(file);
    if (!text)
        return false;
    if (IniValue(*text, kPortableSection, key) == value)
        return true;  // a stick may be write-protected; an unchanged value needs no write
    const std::string updated = WithIniValue(*text, kPortableSection, key, value);
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (!error)
        return true;
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace k64
