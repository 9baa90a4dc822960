// The connection check looks at what Linux decides about a port (device node, groups, udev,
// ModemManager); none of it exists on Windows.

#include "connection_check.h"

namespace k64::service {

bool ConnectionCheckAvailable() { return false; }

ConnectionReport CheckConnection(TDevice&)
{
    return {{"Проверка подключения (doctor) есть только в Linux."}, 1};
}

}  // namespace k64::service
