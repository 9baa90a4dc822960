#include "platform_help.h"

namespace k64::cli {

const char* const kEnvironmentHelp =
    "Переменная окружения K64_EXTRA_PORTS: дополнительные порты для ports и find\n"
    "через двоеточие (например, псевдотерминал симулятора). K64_HISTORY_DIR: папка\n"
    "истории настроек вместо ~/.local/share/k64/history.\n";

bool CommandAvailable(std::string_view) { return true; }

}  // namespace k64::cli
