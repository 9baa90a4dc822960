// The registry store on scratch keys of the real registry: which root a name goes to, which copy
// is read back, and which values read as none. The machine root refuses writes by being volatile,
// since no lasting key may be made below a volatile one; a read-only handle would not do, as Wine
// lets keys be created through it.

#include "platform/port_name_store_win32.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace k64 {
namespace {

constexpr const wchar_t* kScratch = L"Software\\K64Test";
constexpr const wchar_t* kKey = L"SOFTWARE\\QF\\TB_USB_PORT";
constexpr const wchar_t* kValue = L"Port";

struct Stored {
    DWORD type;
    std::wstring text;  // for REG_DWORD, a number is stored instead
};

struct StoreCase {
    const char* name;
    bool machineRefuses;
    std::optional<Stored> machineBefore, userBefore;
    std::optional<std::string> save;
    std::optional<std::wstring> machineAfter, userAfter;  // checked only after a save
    std::string loaded;
};

void PrintTo(const StoreCase& c, std::ostream* os) { *os << c.name; }

HKEY Scratch(const wchar_t* name, DWORD options)
{
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kScratch) + L"\\" + name;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void Put(HKEY root, const Stored& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 5;
    const auto* data = value.type == REG_DWORD ? reinterpret_cast<const BYTE*>(&number)
                                               : reinterpret_cast<const BYTE*>(value.text.c_str());
    const auto bytes = value.type == REG_DWORD
                           ? DWORD{sizeof number}
                           : static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key, kValue, 0, value.type, data, bytes), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

std::optional<std::wstring> Text(HKEY root)
{
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    if (::RegGetValueW(root, kKey, kValue, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

class RegistryStore : public testing::TestWithParam<StoreCase> {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        // The user root first: a volatile machine root made first would make the common parent
        // volatile too.
        user_ = Scratch(L"User", 0);
        machine_ = Scratch(L"Machine", GetParam().machineRefuses ? REG_OPTION_VOLATILE : 0);
        ASSERT_NE(machine_, nullptr);
        ASSERT_NE(user_, nullptr);
    }
    void TearDown() override
    {
        ::RegCloseKey(machine_);
        ::RegCloseKey(user_);
        EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
    }

    HKEY machine_ = nullptr;
    HKEY user_ = nullptr;
};

TEST_P(RegistryStore, SavesAndLoads)
{
    const StoreCase& c = GetParam();
    if (c.machineBefore)
        Put(machine_, *c.machineBefore);
    if (c.userBefore)
        Put(user_, *c.userBefore);
    RegistryPortNameStore store(machine_, user_);
    if (c.save) {
        store.Save(*c.save);
        EXPECT_EQ(Text(machine_), c.machineAfter);
        EXPECT_EQ(Text(user_), c.userAfter);
    }
    EXPECT_EQ(store.Load(), c.loaded);
}

const std::wstring kLongest(256, L'C');

INSTANTIATE_TEST_SUITE_P(
    Roots, RegistryStore,
    testing::Values(
        StoreCase{"machine writable: no user copy, an old one removed",
                  false,
                  {},
                  Stored{REG_SZ, L"COM3"},
                  "COM7",
                  L"COM7",
                  {},
                  "COM7"},
        StoreCase{"machine refused: the user's copy",
                  true,
                  {},
                  {},
                  "COM порт",
                  {},
                  L"COM порт",
                  "COM порт"},
        StoreCase{"user copy read first",
                  false,
                  Stored{REG_SZ, L"COM4"},
                  Stored{REG_SZ, L"COM9"},
                  {},
                  {},
                  {},
                  "COM9"},
        StoreCase{"nothing stored", false, {}, {}, {}, {}, {}, ""},
        StoreCase{
            "longest name", false, Stored{REG_SZ, kLongest}, {}, {}, {}, {}, std::string(256, 'C')},
        StoreCase{"too long: read as none",
                  false,
                  Stored{REG_SZ, L"COM4"},
                  Stored{REG_SZ, kLongest + L"C"},
                  {},
                  {},
                  {},
                  "COM4"},
        StoreCase{"not text: read as none", false, {}, Stored{REG_DWORD, L""}, {}, {}, {}, ""}));

}  // namespace
}  // namespace k64
