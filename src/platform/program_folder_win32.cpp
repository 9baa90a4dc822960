#include "platform/portable.h"

#include <string>

#include <windows.h>

namespace k64 {

std::filesystem::path ProgramFolder()
{
    // The path may be longer than MAX_PATH; the buffer grows until the whole name fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

}  // namespace k64
