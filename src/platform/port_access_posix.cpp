#include "platform/port_access.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace k64 {
namespace {
namespace fs = std::filesystem;

// A process name is at most 15 bytes; a udev record a few kilobytes.
constexpr std::size_t kMaxName = 64;
constexpr std::size_t kMaxUdevRecord = 64 * 1024;
// No user belongs to more groups than this in practice; the kernel allows 65536.
constexpr int kMaxGroups = 1024;

std::string ReadBounded(const fs::path& file, std::size_t limit)
{
    std::ifstream in(file, std::ios::binary);
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// The numeric entries of /proc: one per process.
std::vector<int> ProcessIds(const fs::path& proc)
{
    std::vector<int> pids;
    std::error_code error;
    for (fs::directory_iterator it(proc, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.size() > 9 || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        pids.push_back(std::stoi(name));
    }
    return pids;
}
}  // namespace

DeviceNode InspectDeviceNode(const std::string& port)
{
    DeviceNode node;
    struct stat info {};
    if (::stat(port.c_str(), &info) != 0)
        return node;
    node.exists = true;
    std::error_code error;
    node.name = fs::canonical(port, error).filename().string();
    node.characterDevice = S_ISCHR(info.st_mode);
    node.mode = info.st_mode & 07777;
    node.ownerId = info.st_uid;
    node.groupId = info.st_gid;
    if (const group* g = ::getgrgid(info.st_gid))
        node.groupName = g->gr_name;
    node.major = ::major(info.st_rdev);
    node.minor = ::minor(info.st_rdev);
    return node;
}

UserGroups CurrentUserGroups()
{
    UserGroups user;
    user.userId = ::getuid();
    std::vector<gid_t> ids(kMaxGroups);
    const int count = ::getgroups(kMaxGroups, ids.data());
    for (int i = 0; i < count; ++i)
        user.session.push_back(ids[static_cast<std::size_t>(i)]);
    user.session.push_back(::getgid());
    const passwd* account = ::getpwuid(user.userId);
    if (account == nullptr)
        return user;
    user.userName = account->pw_name;
    int listed = kMaxGroups;
    if (::getgrouplist(account->pw_name, account->pw_gid, ids.data(), &listed) >= 0) {
        for (int i = 0; i < listed; ++i)
            user.listed.push_back(ids[static_cast<std::size_t>(i)]);
    }
    return user;
}

std::string ProcessName(int pid, const fs::path& proc)
{
    std::string name = ReadBounded(proc / std::to_string(pid) / "comm", kMaxName);
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

std::vector<ProcessInfo> ProcessesWithOpen(const DeviceNode& node, const fs::path& proc)
{
    std::vector<ProcessInfo> holders;
    const int self = ::getpid();
    for (const int pid : ProcessIds(proc)) {
        if (pid == self)
            continue;
        std::error_code error;
        for (fs::directory_iterator it(proc / std::to_string(pid) / "fd", error), end;
             !error && it != end; it.increment(error)) {
            struct stat info {};
            if (::stat(it->path().c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
                ::major(info.st_rdev) == node.major && ::minor(info.st_rdev) == node.minor) {
                holders.push_back({pid, ProcessName(pid, proc)});
                break;
            }
        }
    }
    return holders;
}

std::vector<ProcessInfo> ProcessesNamed(const std::vector<std::string>& names, const fs::path& proc)
{
    std::vector<ProcessInfo> found;
    for (const int pid : ProcessIds(proc)) {
        const std::string name = ProcessName(pid, proc);
        if (std::find(names.begin(), names.end(), name) != names.end())
            found.push_back({pid, name});
    }
    return found;
}

std::map<std::string, std::string> UdevProperties(const DeviceNode& node, const fs::path& data)
{
    std::map<std::string, std::string> properties;
    const std::string record =
        ReadBounded(data / ("c" + std::to_string(node.major) + ":" + std::to_string(node.minor)),
                    kMaxUdevRecord);
    std::size_t start = 0;
    while (start < record.size()) {
        std::size_t end = record.find('\n', start);
        if (end == std::string::npos)
            end = record.size();
        const std::string_view line(record.data() + start, end - start);
        const std::size_t equals = line.find('=');
        if (line.starts_with("E:") && equals != std::string_view::npos)
            properties[std::string(line.substr(2, equals - 2))] =
                std::string(line.substr(equals + 1));
        start = end + 1;
    }
    return properties;
}

}  // namespace k64
