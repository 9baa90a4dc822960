// File names in the settings history folder: any name is judged without fault, and one taken as
// an entry gives back its parts in the shapes the listing relies on.

#include "parameters/settings_history.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    k64::HistoryEntry entry;
    if (k64::ParseHistoryName(name, &entry) &&
        (entry.time.size() != 19 || entry.serial.empty() || entry.sequence < 1 ||
         name.find(entry.serial) == std::string::npos))
        std::abort();
    return 0;
}
