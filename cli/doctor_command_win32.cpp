// k64ctl doctor on Windows: the check looks at what Linux decides about a port (device node,
// groups, udev, ModemManager); none of it exists here.

#include "device_commands.h"

#include <cstdio>

namespace k64::cli {

int RunDoctor(const CommandLine&)
{
    std::fputs("Проверка подключения (doctor) есть только в Linux.\n", stderr);
    return kExitFailure;
}

}  // namespace k64::cli
