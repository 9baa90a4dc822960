#include "platform_help.h"

namespace k64::cli {

const char* const kEnvironmentHelp =
    "Переменная окружения K64_EXTRA_PORTS: дополнительные порты для ports, find\n"
    "и --all через двоеточие (например, псевдотерминал симулятора).\n"
    "K64_HISTORY_DIR: папка истории настроек вместо ~/.local/share/k64/history.\n";

}  // namespace k64::cli
