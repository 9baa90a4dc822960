// The INI file beside a portable copy is the user's: any bytes. A value set is the value read.
#include "common/ini_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)k64::IniValue(text, "k64", "Port");
    if (k64::IniValue(k64::WithIniValue(text, "k64", "Port", "COM7"), "k64", "Port") != "COM7")
        std::abort();
    return 0;
}
