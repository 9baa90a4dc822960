#pragma once
// What decides whether this user can reach a serial port: its device node, the user's groups,
// the processes that have it open, and what udev recorded about it. Read for the connection
// check of k64ctl; nothing here changes anything or needs root. The roots of /proc and of the
// udev database can be pointed elsewhere.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace k64 {

struct DeviceNode {
    std::string name;  // the node's own name after links ("ttyACM0" for a by-id link)
    bool exists = false;
    bool characterDevice = false;
    unsigned mode = 0;  // permission bits
    unsigned ownerId = 0;
    unsigned groupId = 0;
    std::string groupName;  // empty when the group database does not know the id
    unsigned major = 0;
    unsigned minor = 0;
};

// The node a port name leads to (links followed).
DeviceNode InspectDeviceNode(const std::string& port);

struct UserGroups {
    unsigned userId = 0;
    std::string userName;
    std::vector<unsigned> session;  // the groups this process has, fixed at login
    std::vector<unsigned> listed;   // the groups the database lists the user in now
};

UserGroups CurrentUserGroups();

struct ProcessInfo {
    int pid = 0;
    std::string name;  // as the process set it; escape it for display

    bool operator==(const ProcessInfo&) const = default;
};

// The name of a process, empty when it is gone.
std::string ProcessName(int pid, const std::filesystem::path& proc = "/proc");

// Other processes that have `node` open. Without root only this user's processes can be seen.
std::vector<ProcessInfo> ProcessesWithOpen(const DeviceNode& node,
                                           const std::filesystem::path& proc = "/proc");

// Running processes whose name is one of `names`.
std::vector<ProcessInfo> ProcessesNamed(const std::vector<std::string>& names,
                                        const std::filesystem::path& proc = "/proc");

// The properties ("E:" lines) udev recorded for the character device; empty when none.
std::map<std::string, std::string>
UdevProperties(const DeviceNode& node, const std::filesystem::path& data = "/run/udev/data");

}  // namespace k64
