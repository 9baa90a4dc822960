#include "platform/history_folder.h"

#include "platform/portable.h"

#include <cstdlib>

namespace k64 {

std::filesystem::path HistoryFolder()
{
    if (const wchar_t* chosen = ::_wgetenv(L"K64_HISTORY_DIR");
        chosen != nullptr && *chosen != L'\0')
        return chosen;
    if (PortableSettingsFile())
        return ProgramFolder() / L"history";
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    return std::filesystem::path(local != nullptr ? local : L".") / L"k64" / L"history";
}

}  // namespace k64
