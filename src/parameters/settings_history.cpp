#include "parameters/settings_history.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>

namespace k64 {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kStampLength = 19;  // "YYYY-MM-DD_HH-MM-SS"

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYY-MM-DD_HH-MM-SS" with digits where the digits go.
bool IsStamp(std::string_view stamp)
{
    static constexpr std::string_view kShape = "0000-00-00_00-00-00";
    if (stamp.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == '0' ? !AllDigits(stamp.substr(i, 1)) : stamp[i] != kShape[i])
            return false;
    }
    return true;
}

bool IsSerial(std::string_view serial)
{
    if (serial == kUnknownUnit)
        return true;
    return AllDigits(serial.substr(serial.starts_with('-') ? 1 : 0));
}

std::string Stamp(std::time_t when)
{
    char text[32] = {};
    const std::tm* local = std::localtime(&when);
    if (local == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", local) != kStampLength)
        return "1970-01-01_00-00-00";
    return text;
}

// The bytes of an entry; nothing for one that cannot be read or is larger than a settings file.
std::optional<std::string> Contents(const fs::path& path)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxSettingsFileSize)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    return bytes;
}

}  // namespace

std::string UnitSerial(std::uint32_t id) { return std::to_string(static_cast<std::int32_t>(id)); }

bool ParseHistoryName(const std::string& name, HistoryEntry* entry)
{
    std::string_view rest(name);
    if (!rest.ends_with(".txt") || rest.size() < kStampLength + 6 ||
        !IsStamp(rest.substr(0, kStampLength)) || rest[kStampLength] != '_')
        return false;
    const std::string_view stamp = rest.substr(0, kStampLength);
    rest = rest.substr(kStampLength + 1, rest.size() - kStampLength - 5);
    int sequence = 1;
    if (const std::size_t cut = rest.find('_'); cut != std::string_view::npos) {
        const std::string_view number = rest.substr(cut + 1);
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), sequence);
        if (error != std::errc() || end != number.data() + number.size() || sequence < 2)
            return false;
        rest = rest.substr(0, cut);
    }
    if (!IsSerial(rest))
        return false;
    entry->serial = std::string(rest);
    entry->sequence = sequence;
    entry->time = std::string(stamp);
    entry->time[10] = ' ';
    entry->time[13] = ':';
    entry->time[16] = ':';
    return true;
}

std::vector<HistoryEntry> ListHistory(const fs::path& folder, const std::string& serial)
{
    std::vector<HistoryEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        HistoryEntry entry;
        if (!it->is_regular_file(error) ||
            !ParseHistoryName(it->path().filename().string(), &entry))
            continue;
        if (!serial.empty() && entry.serial != serial)
            continue;
        entry.path = it->path();
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
        return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
    });
    return entries;
}

StoredEntry StoreHistoryEntry(const fs::path& folder, const std::string& serial,
                              const ParameterList& list, std::time_t when)
{
    StoredEntry stored;
    const std::vector<HistoryEntry> previous = ListHistory(folder, serial);
    if (!previous.empty() && Contents(previous.front().path) == SettingsFileText(list)) {
        stored.path = previous.front().path;
        return stored;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        stored.result = SettingsFileResult::Failed(SettingsFileStatus::WriteFailed, error.value());
        return stored;
    }
    const std::string base = Stamp(when) + "_" + serial;
    stored.path = folder / (base + ".txt");
    for (int sequence = 2; fs::exists(stored.path, error); ++sequence)
        stored.path = folder / (base + "_" + std::to_string(sequence) + ".txt");
    stored.result = WriteSettingsFile(stored.path, list);
    stored.written = stored.result.Ok();
    return stored;
}

}  // namespace k64
