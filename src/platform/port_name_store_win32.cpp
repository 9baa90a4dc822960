// The stored port name on Windows: one machine-wide registry value, with a per-user copy for
// users who may not write the machine's part of the registry.

#include "platform/port_name_store_win32.h"

#include "platform/portable.h"

namespace k64 {
namespace {

constexpr const wchar_t* kKey = L"SOFTWARE\\QF\\TB_USB_PORT";
constexpr const wchar_t* kValue = L"Port";
// Port names are short; a longer value is not one of ours and is read as none.
constexpr DWORD kMaxChars = 256;

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                          nullptr, nullptr);
    return utf8;
}

// The value under `root`; nullopt-like false when the key or value is missing or not a name.
bool Read(HKEY root, std::wstring* name)
{
    // The size given counts the terminator RegGetValueW adds, so the whole buffer is offered.
    wchar_t buffer[kMaxChars + 1] = {};
    DWORD bytes = sizeof buffer;
    if (::RegGetValueW(root, kKey, kValue, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return false;
    *name = buffer;  // RegGetValueW terminates the text it returns
    return true;
}

bool Write(HKEY root, const std::wstring& name)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = ::RegSetValueExW(key, kValue, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(name.c_str()), bytes);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

std::string RegistryPortNameStore::Load()
{
    // The user's copy exists only when the machine's value could not be written, so it is the
    // newer of the two.
    std::wstring name;
    if (Read(user_, &name) || Read(machine_, &name))
        return Utf8(name);
    return {};
}

void RegistryPortNameStore::Save(const std::string& name)
{
    const std::wstring wide = Wide(name);
    if (Write(machine_, wide)) {
        // An older per-user copy would hide the value just written.
        ::RegDeleteKeyValueW(user_, kKey, kValue);
        return;
    }
    Write(user_, wide);
}

std::string SystemPortNameStore::Load()
{
    if (const auto portable = PortableSettingsFile())
        return ReadPortableValue(*portable, kPortableKey);
    return RegistryPortNameStore(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER).Load();
}

void SystemPortNameStore::Save(const std::string& name)
{
    if (const auto portable = PortableSettingsFile())
        WritePortableValue(*portable, kPortableKey, name);
    else
        RegistryPortNameStore(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER).Save(name);
}

}  // namespace k64
