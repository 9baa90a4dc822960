#include "parameters/settings_history.h"

#include "common/error_reason.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fstream>
#include <optional>
#include <system_error>

namespace k64 {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kStampLength = 19;  // "YYYY-MM-DD_HH-MM-SS"
constexpr const char* kReservationSuffix = ".reserved";
// Far longer than a store takes between listing the folder and taking its number.
constexpr std::chrono::minutes kReservationLifetime{10};
// Each attempt finds one more number taken; a folder where every one is refused is not usable.
constexpr unsigned kMaxStoreAttempts = 1000;

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits)
{
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// "YYYY-MM-DD_HH-MM-SS" with digits where the digits go, naming a day of the calendar and a time
// of that day (a leap second included).
bool IsStamp(std::string_view stamp)
{
    static constexpr std::string_view kShape = "0000-00-00_00-00-00";
    if (stamp.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == '0' ? !AllDigits(stamp.substr(i, 1)) : stamp[i] != kShape[i])
            return false;
    }
    const int year = Number(stamp.substr(0, 4));
    const int month = Number(stamp.substr(5, 2));
    const int day = Number(stamp.substr(8, 2));
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap))
        return false;
    return Number(stamp.substr(11, 2)) <= 23 && Number(stamp.substr(14, 2)) <= 59 &&
           Number(stamp.substr(17, 2)) <= 60;
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

// A path as the user reads it: UTF-8 on every platform.
std::string Shown(const fs::path& path)
{
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

// Why `folder` cannot serve as a folder, in the user's words: a link that leads nowhere and a
// file in its place are named as what they are, anything else by the system's reason.
std::string FolderReason(const fs::path& folder, int error)
{
    std::error_code ownError, followed;
    const fs::file_status own = fs::symlink_status(folder, ownError);
    const fs::file_status target = fs::status(folder, followed);
    if (fs::is_symlink(own) && followed == std::errc::no_such_file_or_directory)
        return "это ссылка, которая никуда не ведет";
    if (fs::exists(target) && !fs::is_directory(target))
        return "это не папка";
    return ErrorReason(error);
}

// The file that reserves number `order` in the folder: created by one program only, and left a
// while, so that a program which listed the folder before the entry appeared cannot take it too.
fs::path Reservation(const fs::path& folder, std::uint64_t order)
{
    return folder / (".n" + std::to_string(order) + kReservationSuffix);
}

bool Taken(const SettingsFileResult& result)
{
    return result.status == SettingsFileStatus::WriteFailed && result.error == EEXIST;
}

// Removes the reservations of numbers below `newest` that are older than any listing still in
// use can be.
void SweepReservations(const fs::path& folder, std::uint64_t newest)
{
    const auto now = fs::file_time_type::clock::now();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string file = it->path().filename().string();
        std::string_view name = file;
        if (!name.starts_with(".n") || !name.ends_with(kReservationSuffix))
            continue;
        name = name.substr(2, name.size() - 2 - std::string_view(kReservationSuffix).size());
        std::uint64_t order = 0;
        const auto [stop, failed] = std::from_chars(name.data(), name.data() + name.size(), order);
        std::error_code ignored;
        const auto written = fs::last_write_time(it->path(), ignored);
        if (failed == std::errc() && stop == name.data() + name.size() && order < newest &&
            !ignored && now - written > kReservationLifetime)
            fs::remove(it->path(), ignored);
    }
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
    std::uint64_t order = 0;
    if (const std::size_t cut = rest.find('_'); cut != std::string_view::npos) {
        std::string_view number = rest.substr(cut + 1);
        const bool numbered = number.starts_with('n');
        if (numbered)
            number.remove_prefix(1);
        const auto [end, error] =
            numbered ? std::from_chars(number.data(), number.data() + number.size(), order)
                     : std::from_chars(number.data(), number.data() + number.size(), sequence);
        if (error != std::errc() || end != number.data() + number.size() || !AllDigits(number) ||
            (numbered ? order < 1 : sequence < 2))
            return false;
        rest = rest.substr(0, cut);
    }
    if (!IsSerial(rest))
        return false;
    entry->serial = std::string(rest);
    entry->order = order;
    entry->sequence = sequence;
    entry->time = std::string(stamp);
    entry->time[10] = ' ';
    entry->time[13] = ':';
    entry->time[16] = ':';
    return true;
}

std::vector<HistoryEntry> ListHistory(const fs::path& folder, const std::string& serial,
                                      int* failure)
{
    std::vector<HistoryEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (failure != nullptr)
        *failure = error && error != std::errc::no_such_file_or_directory ? error.value() : 0;
    for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
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
        if (a.order != b.order)
            return a.order > b.order;
        return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
    });
    return entries;
}

std::string DescribeHistoryFolderFailure(const fs::path& folder, int error)
{
    return "Не удалось открыть папку истории настроек " + Shown(folder) + " (" +
           FolderReason(folder, error) + ")";
}

StoredEntry StoreHistoryEntry(const fs::path& folder, const std::string& serial,
                              const ParameterList& list, std::time_t when)
{
    StoredEntry stored;
    const std::string bytes = SettingsFileText(list);
    const std::vector<HistoryEntry> all = ListHistory(folder);
    const auto previous = std::find_if(all.begin(), all.end(),
                                       [&](const HistoryEntry& e) { return e.serial == serial; });
    if (previous != all.end() && Contents(previous->path) == bytes) {
        stored.path = previous->path;
        return stored;
    }
    const auto folderFailed = [&](int error) {
        stored.result = SettingsFileResult::Failed(SettingsFileStatus::WriteFailed, error);
        stored.path = folder;
        stored.folderFailed = true;
        return stored;
    };
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error && !fs::is_directory(folder, error))
        error = std::make_error_code(std::errc::not_a_directory);
    if (error)
        return folderFailed(error.value());
    // One more than the last stored, unless another program has reserved it meanwhile.
    const std::string base = Stamp(when) + "_" + serial + "_n";
    std::uint64_t order = all.empty() ? 1 : all.front().order + 1;
    for (unsigned attempt = 0; attempt < kMaxStoreAttempts; ++attempt, ++order) {
        const SettingsFileResult reserved = CreateFileAtomically(Reservation(folder, order), {});
        if (Taken(reserved)) {
            ++stored.passedOver;
            continue;
        }
        if (!reserved.Ok())
            return folderFailed(reserved.error);
        stored.path = folder / (base + std::to_string(order) + ".txt");
        stored.result = CreateFileAtomically(stored.path, bytes);
        // Only a program that reserves no numbers can have taken the name.
        if (Taken(stored.result)) {
            ++stored.passedOver;
            continue;
        }
        stored.written = stored.result.Ok();
        SweepReservations(folder, order);
        return stored;
    }
    return folderFailed(EEXIST);
}

std::string DescribeStoreFailure(const StoredEntry& stored)
{
    if (!stored.folderFailed)
        return DescribeSettingsFileResult(stored.result, stored.path);
    std::error_code ignored;
    return (fs::is_directory(stored.path, ignored) ? "Не удалось записать в папку истории настроек "
                                                   : "Не удалось создать папку истории настроек ") +
           Shown(stored.path) + " (" + FolderReason(stored.path, stored.result.error) + ")";
}

}  // namespace k64
