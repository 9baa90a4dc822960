#include "sim/state_store.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace k64::sim {
namespace {

constexpr const char* kIdFile = "id";
constexpr const char* kSettingsFile = "settings.txt";
constexpr const char* kFirmwareFile = "firmware.bin";  // version record, then u32 size, u32 crc
constexpr const char* kSoundFile = "sound.bin";
constexpr std::size_t kFirmwareFileSize = kVersionRecordSize + 8;

// Reads at most `limit` bytes; nullopt when the file is missing or longer than that.
std::optional<std::string> ReadBounded(const std::string& path, std::size_t limit, bool& tooBig)
{
    tooBig = false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > limit) {
        tooBig = true;
        return std::nullopt;
    }
    return bytes;
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

StateStore::StateStore(std::string directory) : directory_(std::move(directory)) {}

bool StateStore::Load(UnitState& state, std::vector<std::string>& warnings)
{
    if (::mkdir(directory_.c_str(), 0777) != 0 && errno != EEXIST) {
        warnings.push_back(ErrnoText("cannot create " + directory_));
        return false;
    }
    bool tooBig = false;
    auto path = [&](const char* name) { return directory_ + "/" + name; };
    auto complain = [&](const char* name, const char* why) {
        warnings.push_back(path(name) + ": " + why + ", ignored");
    };

    if (auto text = ReadBounded(path(kIdFile), 16, tooBig)) {
        std::uint32_t id = 0;
        while (!text->empty() && (text->back() == '\n' || text->back() == '\r'))
            text->pop_back();
        const char* first = text->data();
        const char* last = first + text->size();
        auto [end, ec] = std::from_chars(first, last, id);
        if (ec == std::errc{} && end == last && first != last)
            state.id = id;
        else
            complain(kIdFile, "not a number");
    } else if (tooBig) {
        complain(kIdFile, "too long");
    }

    if (auto text = ReadBounded(path(kSettingsFile), kMaxSettingsText, tooBig)) {
        // The text travels zero-terminated, so it cannot hold a zero itself.
        text->resize(std::strlen(text->c_str()));
        state.settings = std::move(*text);
    } else if (tooBig) {
        complain(kSettingsFile, "too long");
    }

    if (auto bytes = ReadBounded(path(kFirmwareFile), kFirmwareFileSize, tooBig)) {
        if (bytes->size() == kFirmwareFileSize) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(bytes->data());
            state.firmware = VersionRecord::Decode(p);
            state.firmwareSize = ReadU32(p + kVersionRecordSize);
            state.firmwareCrc = ReadU32(p + kVersionRecordSize + 4);
        } else {
            complain(kFirmwareFile, "wrong size");
        }
    } else if (tooBig) {
        complain(kFirmwareFile, "wrong size");
    }

    if (auto bytes = ReadBounded(path(kSoundFile), kMaxTransferSize, tooBig)) {
        state.sound.assign(bytes->begin(), bytes->end());
    } else if (tooBig) {
        complain(kSoundFile, "too long");
    }

    saved_ = state;
    haveSaved_ = true;
    return true;
}

bool StateStore::WriteFile(const std::string& name, const std::string& bytes, std::string& error)
{
    const std::string finalPath = directory_ + "/" + name;
    const std::string tempPath = finalPath + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = ErrnoText("cannot write " + tempPath);
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (ok)
        error.clear();
    else
        error = ErrnoText("cannot write " + tempPath);
    ::close(fd);
    if (ok && ::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
        error = ErrnoText("cannot replace " + finalPath);
        ok = false;
    }
    if (!ok)
        ::unlink(tempPath.c_str());
    return ok;
}

bool StateStore::Save(const UnitState& state, std::string& error)
{
    if (::mkdir(directory_.c_str(), 0777) != 0 && errno != EEXIST) {
        error = ErrnoText("cannot create " + directory_);
        return false;
    }
    bool ok = true;
    auto write = [&](const char* name, const std::string& bytes) {
        std::string why;
        if (!WriteFile(name, bytes, why)) {
            ok = false;
            error = why;
        }
    };
    const bool all = !haveSaved_;
    if (all || state.id != saved_.id)
        write(kIdFile, std::to_string(state.id) + "\n");
    if (all || state.settings != saved_.settings)
        write(kSettingsFile, state.settings);
    if (all || state.firmware.Text() != saved_.firmware.Text() ||
        state.firmwareSize != saved_.firmwareSize || state.firmwareCrc != saved_.firmwareCrc) {
        std::vector<std::uint8_t> bytes = state.firmware.Encode();
        AppendU32(bytes, state.firmwareSize);
        AppendU32(bytes, state.firmwareCrc);
        write(kFirmwareFile, std::string(bytes.begin(), bytes.end()));
    }
    if (all || state.sound != saved_.sound)
        write(kSoundFile, std::string(state.sound.begin(), state.sound.end()));
    if (ok) {
        saved_ = state;
        haveSaved_ = true;
    }
    return ok;
}

}  // namespace k64::sim
