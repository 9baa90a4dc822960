#include "command_line.h"

#include "common/version.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace k64::cli {
namespace {

enum OptionBit : unsigned { kPort = 1, kOutput = 2, kForce = 4, kYes = 8, kSeconds = 16 };

struct OptionInfo {
    OptionBit bit;
    const char* names;    // as CLI11 takes them
    const char* name;     // in messages
    const char* shown;    // in the help
    const char* missing;  // the value is missing; null for a flag
    const char* help;     // "%" stands for the default port
};

constexpr OptionInfo kOptions[] = {
    {kPort, "--port", "--port", "--port ПОРТ", "после --port нужно имя порта",
     "порт только для этого вызова (не запоминается) для команд,\n"
     "обращающихся к устройству, кроме find. Без него берётся порт, найденный\n"
     "командой find, а если его нет — %."},
    {kOutput, "--output", "--output", "--output ФАЙЛ", "после --output нужно имя файла",
     "сохранить настройки в файл настроек, а не выводить их"},
    {kForce, "--force", "--force", "--force", nullptr, "не проверять пределы значений"},
    {kYes, "-y,--yes", "--yes", "-y, --yes", nullptr, "отвечать на вопросы «да»"},
    {kSeconds, "--seconds", "--seconds", "--seconds N", "после --seconds нужно число секунд",
     "показывать N секунд (не больше 86400); без него — до Ctrl-C"},
};

struct CommandInfo {
    const char* name;
    const char* synopsis;  // in the list of commands
    const char* summary;
    unsigned options;      // OptionBit set
    bool takesFile = false;
};

// find probes the catalog's ports and stores the one it finds, so a port of this call only has
// no meaning there, nor for commands that do not talk to the unit.
constexpr CommandInfo kCommands[] = {
    {"ports", "ports", "порты, на которых ищется устройство, по одному в строке", 0},
    {"find", "find", "найти устройство; найденный порт запоминается", 0},
    {"id", "id", "серийный номер устройства", kPort},
    {"version", "version", "тип устройства и версия прошивки", kPort},
    {"params", "params", "список параметров настройки с их пределами", 0},
    {"read-settings", "read-settings [--output ФАЙЛ]",
     "прочитать настройки устройства (key=value)\nили сохранить их в файл настроек",
     kPort | kOutput},
    {"write-settings", "write-settings ФАЙЛ [--force]",
     "записать настройки из файла в устройство;\n--force пропускает проверку пределов",
     kPort | kForce, true},
    {"update-firmware", "update-firmware [--yes]", "обновить прошивку встроенным образом",
     kPort | kYes},
    {"update-sound", "update-sound [--yes]",
     "заменить звуковые данные встроенными;\n--yes отвечает на вопросы «да»", kPort | kYes},
    {"diag", "diag [--seconds N]",
     "диагностика: оси акселерометра и строки устройства\nN секунд или до Ctrl-C",
     kPort | kSeconds},
    {"doctor", "doctor", "почему блок недоступен: порт, права, другие программы\n"
     "на порту, ModemManager, ответ блока; для каждой неполадки — как её исправить",
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

// `term` padded to `width` columns, then `text` whose further lines are indented to match.
std::string Entry(std::string_view term, std::size_t width, std::string_view text)
{
    std::string out = "  " + std::string(term);
    out.append(width > Columns(term) ? width - Columns(term) : 1, ' ');
    for (const char c : text) {
        out += c;
        if (c == '\n')
            out.append(width + 2, ' ');
    }
    return out + '\n';
}

std::string OptionHelp(const OptionInfo& option, const std::string& defaultPort)
{
    std::string text = option.help;
    if (const std::size_t at = text.find('%'); at != std::string::npos)
        text.replace(at, 1, defaultPort);
    return Entry(option.shown, kOptionWidth, text);
}

std::string HelpLine() { return Entry("-h, --help", kOptionWidth, "эта справка"); }

std::string UsageText(const std::string& defaultPort)
{
    std::string text = "Использование: k64ctl [--port ПОРТ] КОМАНДА [АРГУМЕНТЫ]\n"
                       "\n"
                       "Команды:\n";
    for (const CommandInfo& command : kCommands)
        text += Entry(command.synopsis, 31, command.summary);
    text += "\nПараметры:\n" + OptionHelp(kOptions[0], defaultPort) + HelpLine() +
            Entry("--version", kOptionWidth, "версия программы") +
            "\n"
            "Переменная окружения K64_EXTRA_PORTS: дополнительные порты для ports и find\n"
            "через двоеточие (например, псевдотерминал симулятора).\n"
            "\n"
            "Коды завершения: 0 успех; 1 устройство не ответило или файл недоступен;\n"
            "2 ошибка в командной строке или недопустимое значение в файле настроек.\n"
            "\n"
            "Справка по команде: k64ctl КОМАНДА --help\n";
    return text;
}

std::string CommandHelp(const CommandInfo& command, const std::string& defaultPort)
{
    std::string usage = std::string("Использование: k64ctl ") + command.name;
    if (command.takesFile)
        usage += " ФАЙЛ";
    std::string options;
    for (const OptionInfo& option : kOptions) {
        if (command.options & option.bit) {
            usage += std::string(" [") + option.name + (option.missing ? std::strchr(option.shown, ' ') : "") + "]";
            options += OptionHelp(option, defaultPort);
        }
    }
    return usage + "\n\n" + command.summary + "\n\nПараметры:\n" + options + HelpLine();
}

const OptionInfo* FindOption(std::string_view argument)
{
    const std::string_view name = argument.substr(0, argument.find('='));
    for (const OptionInfo& option : kOptions)
        if (name == option.name || (name == "-y" && option.bit == kYes))
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
    if (option.missing)
        app.add_option(option.names)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    else
        app.add_flag(option.names);
}

// Arguments CLI11 found no place for, without the "--" that ends the options.
std::vector<std::string> Extras(const CLI::App& app)
{
    std::vector<std::string> extras = app.remaining();
    std::erase(extras, "--");
    return extras;
}

bool LooksLikeOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

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
    if (const std::vector<std::string> after = Extras(*chosen); !after.empty()) {
        const std::string& extra = after.front();
        if (!LooksLikeOption(extra))
            return "лишний аргумент команды " + line.command + ": " + extra;
        if (const OptionInfo* option = FindOption(extra))
            return std::string(option->name) + " не относится к команде " + line.command;
        return "неизвестный параметр " + extra;
    }
    if (command->takesFile) {
        const CLI::Option* file = chosen->get_option("file");
        if (file->count() == 0)
            return "команде " + line.command + " нужно имя файла";
        line.operands.push_back(file->results().front());
    }
    for (const OptionInfo& option : kOptions) {
        const Given given = Collect(app, *chosen, option);
        if (given.count == 0)
            continue;
        if (!(command->options & option.bit))
            return std::string(option.name) + " не относится к команде " + line.command;
        if (option.missing && given.count > 1)
            return std::string(option.name) + " указан дважды";
        switch (option.bit) {
        case kPort:
            if (given.value.empty())
                return "пустое имя порта";
            line.port = given.value;
            break;
        case kOutput:
            if (given.value.empty())
                return option.missing;
            line.output = given.value;
            break;
        case kForce: line.force = true; break;
        case kYes: line.yes = true; break;
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
    return option != nullptr && option->missing ? option->missing : std::string(what);
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments, const std::string& defaultPort)
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
        if (command.takesFile)
            sub->add_option("file");
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

} // namespace k64::cli
