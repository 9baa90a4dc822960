#include "platform_help.h"

namespace k64::cli {

// Windows ports are numbered (COM2..COM254), so there are no extra ones to name.
const char* const kEnvironmentHelp =
    "Переменная окружения K64_HISTORY_DIR: папка истории настроек вместо\n"
    "%LOCALAPPDATA%\\k64\\history.\n";

}  // namespace k64::cli
