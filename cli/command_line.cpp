#include "command_line.h"

#include "common/version.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace k64::cli {
namespace {

enum OptionBit : unsigned {
    kPort = 1 << 0,
    kOutput = 1 << 1,
    kUnit = 1 << 2,
    kForce = 1 << 3,
    kYes = 1 << 4,
    kNoBackup = 1 << 5,
    kRestoreSettings = 1 << 6,
    kSeconds = 1 << 7,
    kCsv = 1 << 8,
};

struct OptionInfo {
    OptionBit bit;
    const char* name;
    const char* shortName;  // or null
    const char* value;      // in the help; null for a flag
    const char* missing;    // the value is missing
    const char* help;       // "%" stands for the default port
};

// In the order the synopses name them.
constexpr OptionInfo kOptions[] = {
    {kPort, "--port", nullptr, "ПОРТ", "после --port нужно имя порта",
     "порт только для этого вызова (не запоминается) для команд,\n"
     "обращающихся к устройству, кроме find. Без него берётся порт, найденный\n"
     "командой find, а если его нет — %."},
    {kOutput, "--output", nullptr, "ФАЙЛ", "после --output нужно имя файла",
     "сохранить настройки в этот файл настроек"},
    {kUnit, "--unit", nullptr, "НОМЕР", "после --unit нужен серийный номер",
     "только записи устройства с этим серийным номером"},
    {kForce, "--force", nullptr, nullptr, nullptr, "не проверять пределы значений"},
    {kYes, "--yes", "-y", nullptr, nullptr, "отвечать на вопросы «да»"},
    {kNoBackup, "--no-backup", nullptr, nullptr, nullptr,
     "не сохранять текущие настройки устройства в истории"},
    {kRestoreSettings, "--restore-settings", nullptr, nullptr, nullptr,
     "вернуть настройки, если обновление их сбросило"},
    {kSeconds, "--seconds", nullptr, "N", "после --seconds нужно число секунд",
     "показывать N секунд (не больше 86400); без него — до Ctrl-C"},
    {kCsv, "--csv", nullptr, "ФАЙЛ", "после --csv нужно имя файла",
     "сохранить запись в ФАЙЛ (CSV: время, тег, x, y, z, текст)"},
};

struct CommandInfo {
    const char* name;
    const char* operands;  // as the help shows them; empty for none
    std::size_t minOperands;
    std::size_t maxOperands;
    const char* summary;
    unsigned options;  // OptionBit set
};

// find probes the catalog's ports and stores the one it finds, so a port of this call only has
// no meaning there, nor for commands that do not talk to the unit.
constexpr CommandInfo kCommands[] = {
    {"ports", "", 0, 0, "порты, на которых ищется устройство, по одному в строке", 0},
    {"find", "", 0, 0, "найти устройство; найденный порт запоминается", 0},
    {"id", "", 0, 0, "серийный номер устройства", kPort},
    {"version", "", 0, 0, "тип устройства и версия прошивки", kPort},
    {"params", "", 0, 0, "список параметров настройки с их пределами", 0},
    {"read-settings", "", 0, 0,
     "прочитать настройки устройства (key=value)\nили сохранить их в файл настроек",
     kPort | kOutput},
    {"write-settings", "ФАЙЛ", 1, 1,
     "записать настройки из файла в устройство;\n--force пропускает проверку пределов",
     kPort | kForce | kNoBackup},
    {"backup", "", 0, 0, "сохранить настройки устройства в истории", kPort | kOutput},
    {"history", "", 0, 0, "записи истории, новые первыми", kUnit},
    {"diff", "A [B]", 1, 2,
     "различия настроек; A и B — файл, unit (устройство)\n"
     "или latest (последняя запись истории устройства);\nB по умолчанию unit",
     kPort},
    {"restore", "[ФАЙЛ|latest]", 0, 1,
     "записать в устройство настройки из файла\nили последней записи истории",
     kPort | kForce | kNoBackup},
    {"update-firmware", "", 0, 0,
     "обновить прошивку встроенным образом;\n--restore-settings возвращает настройки,\n"
     "если обновление их сбросило",
     kPort | kYes | kNoBackup | kRestoreSettings},
    {"update-sound", "", 0, 0,
     "заменить звуковые данные встроенными;\n--yes отвечает на вопросы «да»", kPort | kYes},
    {"diag", "", 0, 0,
     "диагностика: оси акселерометра и строки устройства\nN секунд или до Ctrl-C; --csv сохраняет их "
     "запись\nв ФАЙЛ (CSV: время, тег, x, y, z, текст)",
     kPort | kSeconds | kCsv},
    {"doctor", "", 0, 0,
     "почему блок недоступен: порт, права, другие программы\n"
     "на порту, ModemManager, ответ блока; для каждой\nнеполадки — как её исправить",
     kPort},
};

constexpr const char* kHelpNames = "-h,--help";
constexpr std::size_t kOptionWidth = 15;  // the longest option with its value, and a gap

// Width on a terminal: UTF-8 continuation bytes take no column.
std::size_t Columns(std::string_view text)
{
    std::size_t columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

// `term` padded to `width` columns, then `text` whose further lines are indented to match; a
// term too wide for its column gets a line of its own.
std::string Entry(std::string_view term, std::size_t width, std::string_view text)
{
    std::string out = "  " + std::string(term);
    if (Columns(term) + 2 > width)
        out += '\n' + std::string(width + 2, ' ');
    else
        out.append(width - Columns(term), ' ');
    for (const char c : text) {
        out += c;
        if (c == '\n')
            out.append(width + 2, ' ');
    }
    return out + '\n';
}

// "--port ПОРТ", "-y, --yes".
std::string OptionTerm(const OptionInfo& option)
{
    if (option.shortName)
        return std::string(option.shortName) + ", " + option.name;
    return option.value ? std::string(option.name) + " " + option.value : option.name;
}

std::string OptionHelp(const OptionInfo& option, const std::string& defaultPort)
{
    std::string text = option.help;
    if (const std::size_t at = text.find('%'); at != std::string::npos)
        text.replace(at, 1, defaultPort);
    return Entry(OptionTerm(option), kOptionWidth, text);
}

std::string HelpLine() { return Entry("-h, --help", kOptionWidth, "эта справка"); }

// "write-settings ФАЙЛ [--force] [--no-backup]": the command, its operands and its options but
// the port, which every command that talks to the unit takes.
std::string Synopsis(const CommandInfo& command)
{
    std::string synopsis = command.name;
    if (*command.operands != '\0')
        synopsis += std::string(" ") + command.operands;
    for (const OptionInfo& option : kOptions) {
        if (option.bit != kPort && (command.options & option.bit))
            synopsis += " [" + std::string(option.name) +
                        (option.value ? std::string(" ") + option.value : "") + "]";
    }
    return synopsis;
}

std::string UsageText(const std::string& defaultPort)
{
    std::string text = "Использование: k64ctl [--port ПОРТ] КОМАНДА [АРГУМЕНТЫ]\n"
                       "\n"
                       "Команды:\n";
    for (const CommandInfo& command : kCommands)
        text += Entry(Synopsis(command), 31, command.summary);
    text += "\nПараметры:\n" + OptionHelp(kOptions[0], defaultPort) + HelpLine() +
            Entry("--version", kOptionWidth, "версия программы") +
            "\n"
            "Перед записью настроек и обновлением прошивки текущие настройки устройства\n"
            "сохраняются в истории (--no-backup отменяет это).\n"
            "\n"
            "Переменная окружения K64_EXTRA_PORTS: дополнительные порты для ports и find\n"
            "через двоеточие (например, псевдотерминал симулятора). K64_HISTORY_DIR: папка\n"
            "истории настроек вместо ~/.local/share/k64/history.\n"
            "\n"
            "Коды завершения: 0 успех; 1 устройство не ответило или файл недоступен;\n"
            "2 ошибка в командной строке или недопустимое значение в файле настроек.\n"
            "\n"
            "Справка по команде: k64ctl КОМАНДА --help\n";
    return text;
}

std::string CommandHelp(const CommandInfo& command, const std::string& defaultPort)
{
    std::string options;
    for (const OptionInfo& option : kOptions) {
        if (command.options & option.bit)
            options += OptionHelp(option, defaultPort);
    }
    return std::string("Использование: k64ctl ") +
           ((command.options & kPort) ? "[--port ПОРТ] " : "") + Synopsis(command) + "\n\n" +
           command.summary + "\n\nПараметры:\n" + options + HelpLine();
}

const OptionInfo* FindOption(std::string_view argument)
{
    const std::string_view name = argument.substr(0, argument.find('='));
    for (const OptionInfo& option : kOptions)
        if (name == option.name || (option.shortName && name == option.shortName))
            return &option;
    return nullptr;
}

// An option may stand before or after the command name; CLI11 counts the two places apart.
struct Given {
    std::size_t count = 0;
    std::string value;
};

Given Collect(const CLI::App& app, const CLI::App& command, const OptionInfo& option)
{
    Given given;
    for (const CLI::App* place : {&app, &command}) {
        const CLI::Option* o = place->get_option_no_throw(option.name);
        if (o != nullptr && o->count() > 0) {
            given.count += o->count();
            if (!o->results().empty())
                given.value = o->results().back();
        }
    }
    return given;
}

void AddOption(CLI::App& app, const OptionInfo& option)
{
    const std::string names =
        option.shortName ? std::string(option.shortName) + "," + option.name : option.name;
    if (option.value)
        app.add_option(names)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    else
        app.add_flag(names);
}

// Arguments CLI11 found no place for, without the "--" that ends the options.
std::vector<std::string> Extras(const CLI::App& app)
{
    std::vector<std::string> extras = app.remaining();
    std::erase(extras, "--");
    return extras;
}

std::string OperandName(std::size_t index) { return "operand" + std::to_string(index + 1); }

bool LooksLikeOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-';
}

// The error of a line that CLI11 accepted, or empty: what the command does not take, what is
// given twice, and values out of range.
std::string Check(const CLI::App& app, const CLI::App* chosen, const CommandInfo* command,
                  CommandLine& line)
{
    const std::vector<std::string> before = Extras(app);
    if (!before.empty()) {
        if (LooksLikeOption(before.front()))
            return "неизвестный параметр " + before.front();
        return "неизвестная команда " + before.front();
    }
    if (chosen == nullptr)
        return "не указана команда";
    line.command = command->name;
    // Options first, as they come; then a word too many, named as the last one.
    const std::vector<std::string> after = Extras(*chosen);
    for (const std::string& extra : after) {
        if (!LooksLikeOption(extra))
            continue;
        if (const OptionInfo* option = FindOption(extra))
            return std::string(option->name) + " не относится к команде " + line.command;
        return "неизвестный параметр " + extra;
    }
    if (!after.empty())
        return "лишний аргумент команды " + line.command + ": " + after.back();
    for (std::size_t i = 0; i < command->maxOperands; ++i) {
        const CLI::Option* operand = chosen->get_option(OperandName(i));
        if (operand->count() > 0)
            line.operands.push_back(operand->results().front());
    }
    if (line.operands.size() < command->minOperands)
        return "команде " + line.command + " нужно имя файла";
    for (const OptionInfo& option : kOptions) {
        const Given given = Collect(app, *chosen, option);
        if (given.count == 0)
            continue;
        if (!(command->options & option.bit))
            return std::string(option.name) + " не относится к команде " + line.command;
        if (option.value && given.count > 1)
            return std::string(option.name) + " указан дважды";
        if (option.value && option.bit != kSeconds && given.value.empty())
            return option.bit == kPort ? "пустое имя порта" : option.missing;
        switch (option.bit) {
        case kPort: line.port = given.value; break;
        case kOutput: line.output = given.value; break;
        case kUnit: line.unit = given.value; break;
        case kCsv: line.csv = given.value; break;
        case kForce: line.force = true; break;
        case kYes: line.yes = true; break;
        case kNoBackup: line.noBackup = true; break;
        case kRestoreSettings: line.restoreSettings = true; break;
        case kSeconds: {
            char* end = nullptr;
            const double seconds = std::strtod(given.value.c_str(), &end);
            // Up to a day; "nan" and "inf" fail the range test.
            if (given.value.empty() || *end != '\0' || !(seconds > 0 && seconds <= 86400))
                return "--seconds: нужно число секунд от 0 до 86400, а не " + given.value;
            line.seconds = seconds;
            break;
        }
        }
    }
    return {};
}

// CLI11 names the option whose value is missing at the start of its message.
std::string MissingValueText(const CLI::ArgumentMismatch& error)
{
    const std::string_view what = error.what();
    const OptionInfo* option = FindOption(what.substr(0, what.find(':')));
    return option != nullptr && option->value ? option->missing : std::string(what);
}

}  // namespace

std::vector<CommandOptions> CommandTable()
{
    std::vector<CommandOptions> table;
    for (const CommandInfo& command : kCommands) {
        CommandOptions& entry = table.emplace_back(CommandOptions{command.name, {}});
        // The port is the program's option; a command only says whether it uses it.
        for (const OptionInfo& option : kOptions) {
            if (option.bit == kPort || !(command.options & option.bit))
                continue;
            entry.options.emplace_back(option.name);
            if (option.shortName)
                entry.options.emplace_back(option.shortName);
        }
    }
    return table;
}

std::vector<std::string> ProgramOptions()
{
    return {kOptions[0].name, "-h", "--help", "--version"};
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& defaultPort)
{
    ParseResult result;
    result.usage = UsageText(defaultPort);

    CLI::App app("", "k64ctl");
    app.set_help_flag(kHelpNames);
    app.set_version_flag("--version", std::string("k64ctl ") + kVersion);
    app.allow_extras();
    app.require_subcommand(0, 1);
    for (const OptionInfo& option : kOptions)
        AddOption(app, option);
    for (const CommandInfo& command : kCommands) {
        CLI::App* sub = app.add_subcommand(command.name);
        // One positional per operand: CLI11 fills them in order and leaves the rest as extras.
        for (std::size_t i = 0; i < command.maxOperands; ++i)
            sub->add_option(OperandName(i));
        for (const OptionInfo& option : kOptions)
            if (command.options & option.bit)
                AddOption(*sub, option);
    }

    const auto chosenCommand = [&]() -> const CommandInfo* {
        for (const CommandInfo& command : kCommands)
            if (app.got_subcommand(command.name))
                return &command;
        return nullptr;
    };
    // CLI11 wants the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const CommandInfo* command = chosenCommand();
        result.text = command != nullptr ? CommandHelp(*command, defaultPort) : result.usage;
        return result;
    } catch (const CLI::CallForVersion& version) {
        result.text = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::ArgumentMismatch& error) {
        result.error = MissingValueText(error);
        return result;
    } catch (const CLI::ParseError& error) {
        result.error = error.what();
        return result;
    }
    const CommandInfo* command = chosenCommand();
    result.error = Check(app, command != nullptr ? app.get_subcommand(command->name) : nullptr,
                         command, result.line);
    return result;
}

}  // namespace k64::cli
