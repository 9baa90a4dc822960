// k64ctl's parser: what it refuses (in one line, with the command's help named) and what it
// binds from the lines it takes.
#include "command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace k64::cli {
namespace {

using Args = std::vector<std::string>;

ParseResult Parse(const Args& args) { return ParseCommandLine(args, "/dev/ttyACM0"); }

TEST(CliCommandLine, UsageErrorsSayWhatIsWrongInOneLine)
{
    const std::string folder = std::filesystem::temp_directory_path().string();
    struct Case {
        Args args;
        std::string error;  // exactly
        std::string hint;   // the command whose help is named, "КОМАНДА" when none is known
    };
    const Case cases[] = {
        {{}, "не указана команда", "КОМАНДА"},
        {{"bogus"}, "неизвестная команда bogus", "КОМАНДА"},
        {{"--frobnicate", "id"}, "неизвестный параметр --frobnicate", "id"},
        {{"id", "extra"}, "лишний аргумент команды id: extra", "id"},
        {{"write-settings", "a", "b"},
         "лишний аргумент команды write-settings: b",
         "write-settings"},
        {{"write-settings"}, "команде write-settings нужен аргумент ФАЙЛ", "write-settings"},
        {{"diff"}, "команде diff нужен аргумент A [B]", "diff"},
        {{"--port"}, "после --port нужно значение", "КОМАНДА"},
        {{"read-settings", "--output"}, "после --output нужно значение", "read-settings"},
        {{"--port", "a", "--port", "b", "id"}, "--port указан дважды", "id"},
        {{"id", "--port", ""}, "--port: пустое имя порта", "id"},
        {{"--port=", "id"}, "--port: пустое имя порта", "id"},
        {{"read-settings", "--force"},
         "--force не относится к команде read-settings",
         "read-settings"},
        {{"id", "--output", "x.txt"}, "--output не относится к команде id", "id"},
        {{"version", "--yes"}, "--yes не относится к команде version", "version"},
        {{"id", "--seconds", "1"}, "--seconds не относится к команде id", "id"},
        {{"diag", "--seconds", "0"}, "--seconds: нужно число секунд от 0 до 86400, а не 0", "diag"},
        {{"diag", "--seconds", "nan"},
         "--seconds: нужно число секунд от 0 до 86400, а не nan",
         "diag"},
        {{"diag", "--seconds", "2x"},
         "--seconds: нужно число секунд от 0 до 86400, а не 2x",
         "diag"},
        {{"diag", "--seconds", "86401"},
         "--seconds: нужно число секунд от 0 до 86400, а не 86401",
         "diag"},
        // Many units at once.
        {{"--ports", "a,,b", "id"}, "--ports: пустое имя порта в списке", "id"},
        {{"--ports", "a", "--ports", "b", "id"}, "--ports указан дважды", "id"},
        {{"--ports", "a,b,a", "id"}, "--ports: порт указан дважды", "id"},
        {{"--all", "--ports", "a", "id"}, "--all и --ports не указываются вместе", "id"},
        {{"--all", "--port", "a", "id"}, "--port не указывается вместе с --ports и --all", "id"},
        {{"--all", "--jobs", "0", "id"}, "--jobs: нужно число от 1 до 1000, а не 0", "id"},
        {{"--all", "--jobs", "1.5", "id"}, "--jobs: нужно число от 1 до 1000, а не 1.5", "id"},
        {{"--jobs", "2", "id"}, "--jobs указывается только с --ports или --all", "id"},
        {{"--all", "params"}, "команда params не работает с --ports и --all", "params"},
        {{"--all", "find"}, "команда find не работает с --ports и --all", "find"},
        {{"--all", "read-settings"},
         "с --ports и --all команде read-settings нужен --output-dir",
         "read-settings"},
        {{"--all", "read-settings", "--output", "x", "--output-dir", folder},
         "--output с --ports и --all не указывается: у каждого устройства свой файл",
         "read-settings"},
        {{"read-settings", "--output-dir", folder},
         "--output-dir указывается только с --ports или --all",
         "read-settings"},
        {{"--all", "read-settings", "--output-dir", "/nonexistent/k64"},
         "--output-dir: нет такой папки: /nonexistent/k64",
         "read-settings"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& arg : c.args)
            line += "[" + arg + "]";
        const ParseResult r = Parse(c.args);
        EXPECT_EQ(r.error, c.error) << line;
        EXPECT_EQ(r.helpHint, "Справка: k64ctl " + c.hint + " --help") << line;
        EXPECT_EQ(r.run, nullptr) << line;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << line;
    }
}

TEST(CliCommandLine, GlobalOptionsBindWhereverTheyStand)
{
    struct Case {
        Args args;
        std::string command;
        std::optional<std::string> port;
        bool json;
        std::vector<std::string> ports;
        unsigned jobs;
        std::vector<std::string> operands;
    };
    const Case cases[] = {
        // Commands that do not reach a unit take the global options and ignore them.
        {{"--port", "X", "history"}, "history", "X", false, {}, 0, {}},
        {{"ports", "--port", "X", "--json"}, "ports", "X", true, {}, 0, {}},
        {{"find", "--port=/dev/x"}, "find", "/dev/x", false, {}, 0, {}},
        {{"--json", "diff", "a", "b"}, "diff", std::nullopt, true, {}, 0, {"a", "b"}},
        {{"restore", "latest", "--port", "P"}, "restore", "P", false, {}, 0, {"latest"}},
        {{"--ports", "a,b", "--jobs", "1", "update-sound", "-y"},
         "update-sound",
         std::nullopt,
         false,
         {"a", "b"},
         1,
         {}},
        {{"write-settings", "f.txt", "--ports=a,b"},
         "write-settings",
         std::nullopt,
         false,
         {"a", "b"},
         0,
         {"f.txt"}},
    };
    for (const Case& c : cases) {
        const ParseResult r = Parse(c.args);
        ASSERT_EQ(r.error, "") << c.args[0];
        ASSERT_NE(r.run, nullptr) << c.args[0];
        EXPECT_EQ(r.line.command, c.command);
        EXPECT_EQ(r.line.port, c.port) << c.command;
        EXPECT_EQ(r.line.json, c.json) << c.command;
        EXPECT_EQ(r.line.ports, c.ports) << c.command;
        EXPECT_EQ(r.line.jobs, c.jobs) << c.command;
        EXPECT_EQ(r.line.operands, c.operands) << c.command;
    }
}

TEST(CliCommandLine, HelpAndTheCommandListComeFromTheSameTable)
{
    const ParseResult usage = Parse({"--help"});
    ASSERT_TRUE(usage.text);
    for (const std::string& option : ProgramOptions())
        EXPECT_NE(usage.text->find(option), std::string::npos) << option;
    for (const CommandOptions& command : CommandTable()) {
        EXPECT_NE(usage.text->find("  " + command.name), std::string::npos) << command.name;
        const ParseResult help = Parse({command.name, "--help"});
        ASSERT_TRUE(help.text) << command.name;
        EXPECT_EQ(help.text->rfind("Использование: k64ctl", 0), 0u);
        for (const std::string& option : command.options)
            EXPECT_NE(help.text->find(option), std::string::npos) << command.name << option;
        // The global options and what Ctrl-C and SIGTERM end with are told in every help.
        for (const char* text : {"--port", "--json", "--ports", "130", "143"})
            EXPECT_NE(help.text->find(text), std::string::npos) << command.name << text;
    }
}

}  // namespace
}  // namespace k64::cli
