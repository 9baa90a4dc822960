#include "command_line.h"

#include "device_commands.h"
#include "listing_commands.h"
#include "platform/port_catalog.h"
#include "platform_help.h"
#include "service/about.h"
#include "session.h"
#include "settings_commands.h"
#include "station_command.h"
#include "update_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string_view>

namespace k64::cli {
namespace {

constexpr const char* kHelpNames = "-h,--help";
constexpr std::size_t kOptionWidth = 17;  // the longest option with its value, and a gap
constexpr std::size_t kCommandWidth = 31;

// --------------------------------------------------------------------------------------------
// Validators: their texts follow the option's name in the one line of a usage error.

CLI::Validator NonEmpty(const char* what)
{
    return CLI::Validator(
        [what](std::string& value) { return value.empty() ? std::string(what) : std::string(); },
        "");
}

// A count (`whole`) or seconds; `min` itself only for a count.
CLI::Validator NumberIn(double min, double max, bool whole, const char* what)
{
    return CLI::Validator(
        [=](std::string& value) {
            char* end = nullptr;
            const double number = std::strtod(value.c_str(), &end);
            // "nan" and "inf" fail the range test.
            const bool inRange = (whole ? number >= min : number > min) && number <= max;
            const bool digits = value.find_first_not_of("0123456789") == std::string::npos;
            if (value.empty() || *end != '\0' || !inRange || (whole && !digits))
                return std::string(what) + ", а не " + value;
            return std::string();
        },
        "");
}

CLI::Validator Folder()
{
    return CLI::Validator(
        [](std::string& value) {
            std::error_code error;
            return std::filesystem::is_directory(PathFromArgument(value), error)
                       ? std::string()
                       : "нет такой папки: " + value;
        },
        "");
}

// --------------------------------------------------------------------------------------------
// The commands. Each binds its operands and options to the fields of the line.

using Define = void (*)(CLI::App&, CommandLine&);

CLI::Option* Operand(CLI::App& command, CommandLine& line, const char* name)
{
    return command.add_option_function<std::string>(
        name, [&line](const std::string& value) { line.operands.push_back(value); });
}

void DefineNothing(CLI::App&, CommandLine&) {}

void DefineOutput(CLI::App& command, CommandLine& line)
{
    command.add_option("--output", line.output, "сохранить настройки в этот файл настроек")
        ->type_name("ФАЙЛ")
        ->check(NonEmpty("нужно имя файла"));
}

void DefineReadSettings(CLI::App& command, CommandLine& line)
{
    DefineOutput(command, line);
    command
        .add_option("--output-dir", line.outputDir,
                    "с --ports или --all: настройки каждого устройства\nв файл ПАПКА/НОМЕР.txt")
        ->type_name("ПАПКА")
        ->check(Folder());
}

void DefineForce(CLI::App& command, CommandLine& line)
{
    command.add_flag("--force", line.force, "не проверять пределы значений");
}

void DefineNoBackup(CLI::App& command, CommandLine& line)
{
    command.add_flag("--no-backup", line.noBackup,
                     "не сохранять текущие настройки устройства в истории");
}

void DefineYes(CLI::App& command, CommandLine& line)
{
    command.add_flag("-y,--yes", line.yes, "отвечать на вопросы «да»");
}

void DefineMerge(CLI::App& command, CommandLine& line)
{
    command.add_flag("--merge", line.merge,
                     "записать только параметры из файла, остальные\nоставить, как в устройстве");
}

void DefineNoVerify(CLI::App& command, CommandLine& line)
{
    command.add_flag("--no-verify", line.noVerify, "не читать настройки после записи для проверки");
}

void DefineWriteSettings(CLI::App& command, CommandLine& line)
{
    Operand(command, line, "file")->required();
    DefineForce(command, line);
    DefineNoBackup(command, line);
    DefineMerge(command, line);
    DefineNoVerify(command, line);
}

void DefineRestore(CLI::App& command, CommandLine& line)
{
    Operand(command, line, "source");
    DefineForce(command, line);
    DefineNoBackup(command, line);
    DefineMerge(command, line);
    DefineNoVerify(command, line);
}

void DefineStation(CLI::App& command, CommandLine& line)
{
    command.add_flag("--update-firmware", line.updateFirmware,
                     "обновить прошивку, если в устройстве она старее");
    command.add_flag("--force-firmware", line.forceFirmware,
                     "с --update-firmware: обновлять и равную или более новую");
    command.add_flag("--update-sound", line.updateSound, "заменить звуковые данные");
    command.add_option("--settings", line.settings, "записать настройки из файла")
        ->type_name("ФАЙЛ")
        ->check(NonEmpty("нужно имя файла"));
    DefineMerge(command, line);
    DefineNoBackup(command, line);
    DefineNoVerify(command, line);
    command
        .add_option("--watch", line.watch,
                    "следить и за этой папкой: терминалы и ссылки на них\n"
                    "(/dev/serial/by-id); можно указать несколько раз")
        ->type_name("ПАПКА")
        ->expected(1)
        ->check(Folder());
    command.add_flag("--include-present", line.includePresent,
                     "взять и устройства, подключенные до запуска");
    command.add_option("--count", line.count, "закончить, когда обслужено N устройств")
        ->type_name("N")
        ->check(NumberIn(1, 1000000, true, "нужно число от 1 до 1000000"));
    command
        .add_option("--log", line.log, "дописывать итог каждого устройства в ФАЙЛ\n(JSON Lines)")
        ->type_name("ФАЙЛ")
        ->check(NonEmpty("нужно имя файла"));
}

void DefineHistory(CLI::App& command, CommandLine& line)
{
    command.add_option("--unit", line.unit, "только записи устройства с этим серийным номером")
        ->type_name("НОМЕР")
        ->check(NonEmpty("нужен серийный номер"));
}

void DefineDiff(CLI::App& command, CommandLine& line)
{
    Operand(command, line, "a")->required();
    Operand(command, line, "b");
}

void DefineUpdateFirmware(CLI::App& command, CommandLine& line)
{
    DefineYes(command, line);
    DefineNoBackup(command, line);
    command.add_flag("--restore-settings", line.restoreSettings,
                     "вернуть настройки, если обновление их сбросило");
}

void DefineDiag(CLI::App& command, CommandLine& line)
{
    command
        .add_option("--seconds", line.seconds,
                    "показывать N секунд (не больше 86400); без него — до Ctrl-C")
        ->type_name("N")
        ->check(NumberIn(0, 86400, false, "нужно число секунд от 0 до 86400"));
    command
        .add_option("--csv", line.csv, "сохранить запись в ФАЙЛ (CSV: время, тег, x, y, z, текст)")
        ->type_name("ФАЙЛ")
        ->check(NonEmpty("нужно имя файла"));
    command
        .add_option("--csv-dir", line.csvDir,
                    "с --ports или --all: запись каждого устройства\nв файл ПАПКА/НОМЕР.csv")
        ->type_name("ПАПКА")
        ->check(Folder());
}

int RunUpdate(const CommandLine& line, TerminalMessages& messages)
{
    return RunUpdateCommand(line, messages);
}

int RunDoctorCommand(const CommandLine& line, TerminalMessages&) { return RunDoctor(line); }

int RunFindCommand(const CommandLine&, TerminalMessages& messages) { return RunFind(messages); }

struct Command {
    const char* name;
    const char* operands;  // as the help shows them; empty for none
    const char* summary;
    Define define;
    CommandHandler run;
    bool fleet;  // may run on many units at once (--ports, --all)
    // The questions the command asks, in the one question that answers them for a run on many
    // units; null for a command that asks none. A terminal or --yes has to answer them.
    const char* asks;
};

// In the order of the help. find probes the catalog's ports one at a time and stores the one it
// finds, so a port of this call has no meaning there.
const Command kCommands[] = {
    {"ports", "", "порты, на которых ищется устройство, по одному в строке", DefineNothing,
     RunPorts, false, nullptr},
    {"find", "", "найти устройство; найденный порт запоминается", DefineNothing, RunFindCommand,
     false, nullptr},
    {"id", "", "серийный номер устройства", DefineNothing, RunId, true, nullptr},
    {"version", "", "тип устройства и версия прошивки", DefineNothing, RunVersion, true, nullptr},
    {"params", "", "список параметров настройки с их пределами", DefineNothing, RunParams, false,
     nullptr},
    {"read-settings", "",
     "прочитать настройки устройства (key=value)\nили сохранить их в файл настроек",
     DefineReadSettings, RunReadSettings, true, nullptr},
    {"write-settings", "ФАЙЛ",
     "записать настройки из файла в устройство;\n--force пропускает проверку пределов",
     DefineWriteSettings, RunWriteSettings, true, nullptr},
    {"backup", "", "сохранить настройки устройства в истории", DefineOutput, RunBackup, true,
     nullptr},
    {"history", "", "записи истории, новые первыми", DefineHistory, RunHistory, false, nullptr},
    {"diff", "A [B]",
     "различия настроек; A и B — файл, unit (устройство)\n"
     "или latest (последняя запись истории устройства);\nB по умолчанию unit",
     DefineDiff, RunDiff, false, nullptr},
    {"restore", "[ФАЙЛ|latest]",
     "записать в устройство настройки из файла\nили последней записи истории", DefineRestore,
     RunRestore, true, nullptr},
    {"update-firmware", "",
     "обновить прошивку встроенным образом;\n--restore-settings возвращает настройки,\n"
     "если обновление их сбросило",
     DefineUpdateFirmware, RunUpdate, true, "Обновить прошивку"},
    {"update-sound", "", "заменить звуковые данные встроенными;\n--yes отвечает на вопросы «да»",
     DefineYes, RunUpdate, true, "Заменить звуковые данные"},
    {"diag", "",
     "диагностика: оси акселерометра и строки устройства\nN секунд или до Ctrl-C; --csv сохраняет "
     "их запись\nв ФАЙЛ (CSV: время, тег, x, y, z, текст)",
     DefineDiag, RunDiag, true, nullptr},
    {"doctor", "",
     "почему блок недоступен: порт, права, другие программы\n"
     "на порту, ModemManager (Linux), ответ блока; для\nкаждой неполадки — как ее исправить",
     DefineNothing, RunDoctorCommand, false, nullptr},
    {"station", "",
     "станция: ждать устройства и выполнять работу на каждом\n"
     "подключенном, пока не нажат Ctrl-C (или --count N)",
     DefineStation, RunStation, false, nullptr},
};

// The global options, taken before or after the command name by every command.
void DefineGlobal(CLI::App& app, CommandLine& line, const std::string& defaultPort)
{
    app.add_option("--port", line.port,
                   "порт только для этого вызова (не запоминается). Без него\n"
                   "берется порт, найденный командой find, а если его нет —\n" +
                       defaultPort + ". Команды без устройства его не смотрят")
        ->type_name("ПОРТ")
        ->check(NonEmpty("пустое имя порта"));
    app.add_flag("--json", line.json,
                 "результат одним документом JSON на стандартном выводе;\n"
                 "сообщения и ход работы — на стандартном потоке ошибок");
    // Split here rather than by the parser, which would drop an empty name silently.
    app.add_option_function<std::string>(
           "--ports",
           [&line](const std::string& list) {
               for (std::size_t at = 0;;) {
                   const std::size_t comma = std::min(list.find(',', at), list.size());
                   line.ports.push_back(list.substr(at, comma - at));
                   if (comma == list.size())
                       break;
                   at = comma + 1;
               }
           },
           "несколько устройств сразу: эти порты через запятую,\nпо потоку на порт")
        ->type_name("П1,П2,...");
    app.add_flag("--all", line.all,
                 "несколько устройств сразу: все порты команды ports,\n"
                 "на которых отвечает устройство (опрашиваются одновременно)");
    app.add_option("--jobs", line.jobs,
                   "с --ports или --all: не больше N устройств одновременно\n"
                   "(по умолчанию все)")
        ->type_name("N")
        ->check(NumberIn(1, 1000, true, "нужно число от 1 до 1000"));
}

// --------------------------------------------------------------------------------------------
// Help, made from the parser itself.

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

bool IsFlag(const CLI::Option& option) { return option.get_type_name().empty(); }

// "--port ПОРТ", "-y, --yes".
std::string OptionTerm(const CLI::Option& option)
{
    std::string names;
    for (const std::string& s : option.get_snames())
        names += "-" + s + ", ";
    names += "--" + option.get_lnames().front();
    return IsFlag(option) ? names : names + " " + option.get_type_name();
}

// Named options only: operands are shown by the command's synopsis.
std::vector<const CLI::Option*> NamedOptions(const CLI::App& app)
{
    std::vector<const CLI::Option*> options;
    for (const CLI::Option* option : app.get_options()) {
        const std::vector<std::string>& names = option->get_lnames();
        // Help and version are shown apart, in the program's words.
        if (!names.empty() && names.front() != "help" && names.front() != "version")
            options.push_back(option);
    }
    return options;
}

std::string OptionsHelp(const CLI::App& app)
{
    std::string text;
    for (const CLI::Option* option : NamedOptions(app))
        text += Entry(OptionTerm(*option), kOptionWidth, option->get_description());
    return text;
}

std::string HelpLine() { return Entry("-h, --help", kOptionWidth, "эта справка"); }

// "write-settings ФАЙЛ [--force] [--no-backup]", starting at column `column`; one too long for
// the line goes on under it, indented by four.
std::string Synopsis(const Command& command, const CLI::App& sub, std::size_t column)
{
    constexpr std::size_t kLineEnd = 79;
    constexpr std::size_t kIndent = 4;
    std::string synopsis = command.name;
    column += Columns(synopsis);
    const auto add = [&](const std::string& word) {
        if (column + 1 + Columns(word) > kLineEnd) {
            synopsis += "\n" + std::string(kIndent, ' ') + word;
            column = kIndent + Columns(word);
        } else {
            synopsis += " " + word;
            column += 1 + Columns(word);
        }
    };
    if (*command.operands != '\0')
        add(command.operands);
    for (const CLI::Option* option : NamedOptions(sub)) {
        add("[--" + option->get_lnames().front() +
            (IsFlag(*option) ? "" : " " + option->get_type_name()) + "]");
    }
    return synopsis;
}

constexpr const char* kExitText =
    "Коды завершения: 0 успех (с --ports и --all: у каждого устройства);\n"
    "1 устройство не ответило или файл недоступен; 2 ошибка в командной строке\n"
    "или недопустимое значение в файле настроек; 130 прервано Ctrl-C,\n"
    "143 прервано сигналом SIGTERM (129 SIGHUP). Передача останавливается между\n"
    "блоками, ничего не записав, и сообщает «Обновление отменено.»; diag без\n"
    "--seconds кончается по Ctrl-C с кодом 0.\n";

std::string UsageText(const CLI::App& app)
{
    std::string text = "Использование: k64ctl [ОБЩИЕ ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]\n"
                       "\n"
                       "Команды:\n";
    for (const Command& command : kCommands)
        text += Entry(Synopsis(command, *app.get_subcommand(command.name), 2), kCommandWidth,
                      command.summary);
    text += "\nОбщие параметры (у любой команды, до или после ее имени):\n" + OptionsHelp(app) +
            HelpLine() + Entry("--version", kOptionWidth, "версия программы") +
            "\n"
            "С --ports и --all работают id, version, read-settings --output-dir,\n"
            "write-settings, backup, restore, update-firmware, update-sound и diag;\n"
            "вопросы задаются один раз для всех устройств, в конце — таблица итогов.\n"
            "\n"
            "Перед записью настроек и обновлением прошивки текущие настройки устройства\n"
            "сохраняются в истории (--no-backup отменяет это).\n"
            "\n" +
            kEnvironmentHelp + "\n" + kExitText +
            "\n"
            "Справка по команде: k64ctl КОМАНДА --help\n";
    return text;
}

std::string CommandHelp(const Command& command, const CLI::App& app)
{
    const CLI::App& sub = *app.get_subcommand(command.name);
    const std::string usage = "Использование: k64ctl [ОБЩИЕ ПАРАМЕТРЫ] ";
    return usage + Synopsis(command, sub, Columns(usage)) + "\n\n" + command.summary +
           "\n\nПараметры:\n" + OptionsHelp(sub) + HelpLine() + "\nОбщие параметры:\n" +
           OptionsHelp(app) + "\n" + kExitText;
}

// --------------------------------------------------------------------------------------------
// Usage errors in one line each.

bool LooksLikeOption(std::string_view argument)
{
    return argument.size() > 1 && argument[0] == '-';
}

// The option named at the start of a CLI11 message, as the user wrote it ("--port").
std::string NamedOption(std::string_view what)
{
    const std::string_view name = what.substr(0, what.find_first_of(": "));
    return std::string(name);
}

struct Parser {
    CLI::App app{"", "k64ctl"};
    CommandLine line;
    std::vector<std::pair<const Command*, CLI::App*>> commands;

    explicit Parser(const std::string& defaultPort)
    {
        app.set_help_flag(kHelpNames);
        // The same as the window's "О программе": the images it would write, too.
        std::string about = service::AboutText("k64ctl");
        about.pop_back();  // the line feed comes with the printing
        app.set_version_flag("--version", about);
        app.require_subcommand(1, 1);
        app.fallthrough();
        DefineGlobal(app, line, defaultPort);
        for (const Command& command : kCommands) {
            CLI::App* sub = app.add_subcommand(command.name, command.summary);
            command.define(*sub, line);
            commands.emplace_back(&command, sub);
        }
    }

    const Command* Chosen() const
    {
        for (const auto& [command, sub] : commands)
            if (sub->parsed())
                return command;
        return nullptr;
    }

    // Options of other commands are named as such; words and unknown options as what they are.
    std::string Extra(const std::string& argument, const Command* command) const
    {
        if (!LooksLikeOption(argument)) {
            return command
                       ? "лишний аргумент команды " + std::string(command->name) + ": " + argument
                       : "неизвестная команда " + argument;
        }
        const std::string name = argument.substr(0, argument.find('='));
        if (command != nullptr) {
            for (const auto& entry : commands) {
                if (entry.second->get_option_no_throw(name) != nullptr)
                    return name + " не относится к команде " + command->name;
            }
        }
        return "неизвестный параметр " + name;
    }

    // What is wrong with a line the parser refused.
    std::string Describe(const CLI::ParseError& error) const
    {
        const Command* command = Chosen();
        const std::string what = error.what();
        if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
            const CLI::App* place = app.get_subcommands().empty() ? &app : app.get_subcommands()[0];
            std::vector<std::string> extras = place->remaining();
            if (extras.empty())
                extras = app.remaining();
            return extras.empty() ? what : Extra(extras.front(), command);
        }
        if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
            if (command == nullptr) {
                const std::vector<std::string> extras = app.remaining();
                return extras.empty() ? "не указана команда" : Extra(extras.front(), nullptr);
            }
            return std::string("команде ") + command->name + " нужен аргумент " + command->operands;
        }
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
            const std::string name = NamedOption(what);
            if (what.find("At Most") != std::string::npos)
                return name + " указан дважды";
            return "после " + name + " нужно значение";
        }
        return what;  // validators say it in the user's words, after the option's name
    }

    // The checks across options that the parser cannot make.
    std::string Check(const Command& command) const
    {
        const CommandLine& l = line;
        if (l.all && !l.ports.empty())
            return "--all и --ports не указываются вместе";
        if (l.Fleet() && l.port)
            return "--port не указывается вместе с --ports и --all";
        if (std::find(l.ports.begin(), l.ports.end(), std::string()) != l.ports.end())
            return "--ports: пустое имя порта в списке";
        if (std::set<std::string>(l.ports.begin(), l.ports.end()).size() != l.ports.size())
            return "--ports: порт указан дважды";
        if (command.name == std::string_view("station")) {
            if (!l.updateFirmware && !l.updateSound && !l.settings)
                return "станции нужна работа: --update-firmware, --update-sound или --settings";
            if (l.forceFirmware && !l.updateFirmware)
                return "--force-firmware указывается только с --update-firmware";
            if (l.merge && !l.settings)
                return "--merge указывается только с --settings";
            if (!l.watch.empty() && PortFolders().empty())
                return "--watch: здесь порты не появляются в папках, за ними следит система";
        }
        if (!l.Fleet()) {
            if (l.jobs != 0)
                return "--jobs указывается только с --ports или --all";
            if (l.outputDir)
                return "--output-dir указывается только с --ports или --all";
            if (l.csvDir)
                return "--csv-dir указывается только с --ports или --all";
            return {};
        }
        if (!command.fleet)
            return std::string("команда ") + command.name + " не работает с --ports и --all";
        if (l.output || l.csv)
            return std::string(l.output ? "--output" : "--csv") +
                   " с --ports и --all не указывается: у каждого устройства свой файл";
        if (command.name == std::string_view("read-settings") && !l.outputDir)
            return "с --ports и --all команде read-settings нужен --output-dir";
        return {};
    }
};

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments,
                             const std::string& defaultPort)
{
    ParseResult result;
    // The options refer to the parser's line, so it keeps its place until the result is made.
    const auto parser = std::make_unique<Parser>(defaultPort);
    result.helpHint = "Справка: k64ctl КОМАНДА --help";
    const auto hintFor = [&](const Command* command) {
        if (command != nullptr)
            result.helpHint = std::string("Справка: k64ctl ") + command->name + " --help";
    };
    // CLI11 wants the arguments last first. It would read "--port=" as "--port" and take the next
    // argument for its value, so an empty value after "=" is handed on as one ("--port" "")
    // and meets the option's own check.
    std::vector<std::string> split;
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (*it == "--") {
            split.insert(split.end(), it, arguments.end());
            break;
        }
        if (it->size() > 3 && it->starts_with("--") && it->find('=') == it->size() - 1) {
            split.push_back(it->substr(0, it->size() - 1));
            split.emplace_back();
        } else {
            split.push_back(*it);
        }
    }
    // A script that asked for JSON gets its failure as JSON, however broken the rest of the line.
    const auto operands = std::find(arguments.begin(), arguments.end(), "--");
    result.line.json = std::find(arguments.begin(), operands, "--json") != operands;
    std::vector<std::string> reversed(split.rbegin(), split.rend());
    try {
        parser->app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const Command* command = parser->Chosen();
        result.text =
            command != nullptr ? CommandHelp(*command, parser->app) : UsageText(parser->app);
        return result;
    } catch (const CLI::CallForVersion& version) {
        result.text = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::ParseError& error) {
        result.error = parser->Describe(error);
        hintFor(parser->Chosen());
        return result;
    }
    const Command* command = parser->Chosen();
    hintFor(command);
    result.error = parser->Check(*command);
    if (!result.error.empty())
        return result;
    result.line = std::move(parser->line);
    result.line.command = command->name;
    result.run = command->run;
    result.asks = command->asks;
    return result;
}

namespace {

// "-y", "--yes" for each named option of `app`.
std::vector<std::string> OptionNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : NamedOptions(app)) {
        for (const std::string& s : option->get_snames())
            names.push_back("-" + s);
        for (const std::string& l : option->get_lnames())
            names.push_back("--" + l);
    }
    return names;
}

}  // namespace

std::vector<CommandOptions> CommandTable()
{
    const Parser parser("");
    std::vector<CommandOptions> table;
    for (const auto& [command, sub] : parser.commands)
        table.push_back({command->name, OptionNames(*sub)});
    return table;
}

std::vector<std::string> ProgramOptions()
{
    std::vector<std::string> names = OptionNames(Parser("").app);
    names.insert(names.end(), {"-h", "--help", "--version"});
    return names;
}

}  // namespace k64::cli
