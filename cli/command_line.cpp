#include "command_line.h"

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace k64::cli {
namespace {
struct CommandInfo {
    std::string_view name;
    std::size_t minOperands;
    std::size_t maxOperands;
    bool takesPort;
    bool takesOutput = false;
    bool takesForce = false;
    bool takesYes = false;
    bool takesSeconds = false;
    bool takesNoBackup = false;
    bool takesRestoreSettings = false;
    bool takesUnit = false;
    bool takesCsv = false;
};

// find probes the catalog's ports and stores the one it finds, so a port of this call only has
// no meaning there, nor for commands that do not talk to the unit.
constexpr CommandInfo kCommands[] = {
    {.name = "ports", .minOperands = 0, .maxOperands = 0, .takesPort = false},
    {.name = "find", .minOperands = 0, .maxOperands = 0, .takesPort = false},
    {.name = "id", .minOperands = 0, .maxOperands = 0, .takesPort = true},
    {.name = "version", .minOperands = 0, .maxOperands = 0, .takesPort = true},
    {.name = "params", .minOperands = 0, .maxOperands = 0, .takesPort = false},
    {.name = "read-settings", .minOperands = 0, .maxOperands = 0, .takesPort = true, .takesOutput = true},
    {.name = "write-settings", .minOperands = 1, .maxOperands = 1, .takesPort = true, .takesForce = true,
     .takesNoBackup = true},
    {.name = "update-firmware", .minOperands = 0, .maxOperands = 0, .takesPort = true, .takesYes = true,
     .takesNoBackup = true, .takesRestoreSettings = true},
    {.name = "update-sound", .minOperands = 0, .maxOperands = 0, .takesPort = true, .takesYes = true},
    {.name = "diag", .minOperands = 0, .maxOperands = 0, .takesPort = true, .takesSeconds = true, .takesCsv = true},
    {.name = "backup", .minOperands = 0, .maxOperands = 0, .takesPort = true, .takesOutput = true},
    {.name = "history", .minOperands = 0, .maxOperands = 0, .takesPort = false, .takesUnit = true},
    {.name = "diff", .minOperands = 1, .maxOperands = 2, .takesPort = true},
    {.name = "restore", .minOperands = 0, .maxOperands = 1, .takesPort = true, .takesForce = true,
     .takesNoBackup = true},
};

const CommandInfo* FindCommand(std::string_view name)
{
    for (const CommandInfo& entry : kCommands)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// "--name=value" or "--name value"; false when the value is missing.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string_view option,
               std::string& value)
{
    const std::string& arg = args[i];
    if (arg.size() > option.size() && arg[option.size()] == '=') {
        value = arg.substr(option.size() + 1);
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}

bool IsOption(std::string_view arg, std::string_view option)
{
    return arg == option || (arg.size() > option.size() && arg.substr(0, option.size()) == option &&
                             arg[option.size()] == '=');
}
} // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args)
{
    ParseResult result;
    CommandLine& line = result.line;
    const auto fail = [&](std::string error) {
        result.error = std::move(error);
        return result;
    };
    bool optionsEnded = false;
    bool outputGiven = false;
    bool forceGiven = false;
    bool yesGiven = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (IsOption(arg, "--port")) {
            std::string value;
            if (!TakeValue(args, i, "--port", value))
                return fail("после --port нужно имя порта");
            if (value.empty())
                return fail("пустое имя порта");
            if (line.port)
                return fail("--port указан дважды");
            line.port = value;
        } else if (IsOption(arg, "--output")) {
            std::string value;
            if (!TakeValue(args, i, "--output", value) || value.empty())
                return fail("после --output нужно имя файла");
            if (line.output)
                return fail("--output указан дважды");
            line.output = value;
            outputGiven = true;
        } else if (arg == "--force") {
            line.force = true;
            forceGiven = true;
        } else if (IsOption(arg, "--seconds")) {
            std::string value;
            if (!TakeValue(args, i, "--seconds", value))
                return fail("после --seconds нужно число секунд");
            char* end = nullptr;
            const double seconds = std::strtod(value.c_str(), &end);
            // Up to a day; "nan" and "inf" fail the range test.
            if (value.empty() || *end != '\0' || !(seconds > 0 && seconds <= 86400))
                return fail("--seconds: нужно число секунд от 0 до 86400, а не " + value);
            if (line.seconds)
                return fail("--seconds указан дважды");
            line.seconds = seconds;
        } else if (arg == "--no-backup") {
            line.noBackup = true;
        } else if (arg == "--restore-settings") {
            line.restoreSettings = true;
        } else if (IsOption(arg, "--unit")) {
            std::string value;
            if (!TakeValue(args, i, "--unit", value) || value.empty())
                return fail("после --unit нужен серийный номер");
            line.unit = value;
        } else if (IsOption(arg, "--csv")) {
            std::string value;
            if (!TakeValue(args, i, "--csv", value) || value.empty())
                return fail("после --csv нужно имя файла");
            if (line.csv)
                return fail("--csv указан дважды");
            line.csv = value;
        } else if (arg == "--yes" || arg == "-y") {
            line.yes = true;
            yesGiven = true;
        } else {
            return fail("неизвестный параметр " + arg);
        }
    }
    if (line.help)
        return result;
    if (words.empty())
        return fail("не указана команда");
    line.command = words.front();
    line.operands.assign(words.begin() + 1, words.end());

    const CommandInfo* entry = FindCommand(line.command);
    if (entry == nullptr)
        return fail("неизвестная команда " + line.command);
    if (line.operands.size() < entry->minOperands)
        return fail("команде " + line.command + " нужно имя файла");
    if (line.operands.size() > entry->maxOperands)
        return fail("лишний аргумент команды " + line.command + ": " + line.operands.back());
    if (line.port && !entry->takesPort)
        return fail("--port не относится к команде " + line.command);
    if (outputGiven && !entry->takesOutput)
        return fail("--output не относится к команде " + line.command);
    if (forceGiven && !entry->takesForce)
        return fail("--force не относится к команде " + line.command);
    if (line.seconds && !entry->takesSeconds)
        return fail("--seconds не относится к команде " + line.command);
    if (line.csv && !entry->takesCsv)
        return fail("--csv не относится к команде " + line.command);
    if (yesGiven && !entry->takesYes)
        return fail("--yes не относится к команде " + line.command);
    if (line.noBackup && !entry->takesNoBackup)
        return fail("--no-backup не относится к команде " + line.command);
    if (line.restoreSettings && !entry->takesRestoreSettings)
        return fail("--restore-settings не относится к команде " + line.command);
    if (line.unit && !entry->takesUnit)
        return fail("--unit не относится к команде " + line.command);
    return result;
}

std::string UsageText(const std::string& defaultPort)
{
    return "Использование: k64ctl [--port ПОРТ] КОМАНДА [АРГУМЕНТЫ]\n"
           "\n"
           "Команды:\n"
           "  ports                          порты, на которых ищется устройство, по одному в строке\n"
           "  find                           найти устройство; найденный порт запоминается\n"
           "  id                             серийный номер устройства\n"
           "  version                        тип устройства и версия прошивки\n"
           "  params                         список параметров настройки с их пределами\n"
           "  read-settings [--output ФАЙЛ]  прочитать настройки устройства (key=value)\n"
           "                                 или сохранить их в файл настроек\n"
           "  write-settings ФАЙЛ [--force] [--no-backup]\n"
           "                                 записать настройки из файла в устройство;\n"
           "                                 --force пропускает проверку пределов\n"
           "  backup [--output ФАЙЛ]         сохранить настройки устройства в истории\n"
           "  history [--unit НОМЕР]         записи истории, новые первыми\n"
           "  diff A [B]                     различия настроек; A и B — файл, unit (устройство)\n"
           "                                 или latest (последняя запись истории устройства);\n"
           "                                 B по умолчанию unit\n"
           "  restore [ФАЙЛ|latest] [--force] [--no-backup]\n"
           "                                 записать в устройство настройки из файла\n"
           "                                 или последней записи истории\n"
           "  update-firmware [--yes] [--no-backup] [--restore-settings]\n"
           "                                 обновить прошивку встроенным образом;\n"
           "                                 --restore-settings возвращает настройки,\n"
           "                                 если обновление их сбросило\n"
           "  update-sound [--yes]           заменить звуковые данные встроенными;\n"
           "                                 --yes отвечает на вопросы «да»\n"
           "  diag [--seconds N] [--csv ФАЙЛ]\n"
           "                                 диагностика: оси акселерометра и строки устройства\n"
           "                                 N секунд или до Ctrl-C; --csv сохраняет их запись\n"
           "                                 в ФАЙЛ (CSV: время, тег, x, y, z, текст)\n"
           "\n"
           "Параметры:\n"
           "  --port ПОРТ   порт только для этого вызова (не запоминается) для команд,\n"
           "                обращающихся к устройству, кроме find. Без него берётся порт, найденный\n"
           "                командой find, а если его нет — " +
           defaultPort +
           ".\n"
           "  -h, --help    эта справка\n"
           "\n"
           "Перед записью настроек и обновлением прошивки текущие настройки устройства\n"
           "сохраняются в истории (--no-backup отменяет это).\n"
           "\n"
           "Переменная окружения K64_EXTRA_PORTS: дополнительные порты для ports и find\n"
           "через двоеточие (например, псевдотерминал симулятора). K64_HISTORY_DIR: папка\n"
           "истории настроек вместо ~/.local/share/k64/history.\n"
           "\n"
           "Коды завершения: 0 успех; 1 устройство не ответило или файл недоступен;\n"
           "2 ошибка в командной строке или недопустимое значение в файле настроек.\n";
}

} // namespace k64::cli
