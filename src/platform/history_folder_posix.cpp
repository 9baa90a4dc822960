#include "platform/history_folder.h"

#include "platform/portable.h"

#include <cstdlib>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace k64 {
namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::filesystem::path HistoryFolder()
{
    if (const std::string chosen = Variable(kHistoryFolderVariable); !chosen.empty())
        return chosen;
    if (PortableSettingsFile())
        return ProgramFolder() / "history";
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    std::string data = Variable("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') {
        std::string home = Variable("HOME");
        if (home.empty()) {
            const passwd* user = ::getpwuid(::getuid());
            home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
        }
        data = home + "/.local/share";
    }
    return std::filesystem::path(data) / "k64" / "history";
}

}  // namespace k64
