// The manual pages of k64ctl are written by hand; these checks keep them level with the command
// table, in both languages.

#include "command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace k64::cli {
namespace {

struct Page {
    const char* path;  // under the source tree
    const char* commandsHeading;
    const char* optionsHeading;
};

void PrintTo(const Page& page, std::ostream* os) { *os << page.path; }

// The page's text with the font changes and escapes that split or disguise a name removed.
std::string PlainText(const std::string& path)
{
    std::ifstream in(std::string(K64_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::ostringstream raw;
    raw << in.rdbuf();
    const std::string text = raw.str();
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        switch (text[++i]) {
        case 'f': ++i; break;  // \fB, \fI, \fR: a font change
        case '-': plain += '-'; break;
        case '&': break;
        default: plain.append({'\\', text[i]});
        }
    }
    return plain;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of one section, from its heading to the next.
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& heading)
{
    std::vector<std::string> section;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line.rfind(".SH", 0) == 0) {
            std::string name = line.substr(3);
            std::erase(name, '"');
            name.erase(0, name.find_first_not_of(' '));
            inside = name == heading;
            continue;
        }
        if (inside)
            section.push_back(line);
    }
    return section;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return text;
}

// An option as a word of its own: "-y" is not found inside "--yes", nor "--csv" in "--csv-dir".
bool Mentions(const std::string& text, const std::string& option)
{
    const auto part = [](char c) {
        return c == '-' || std::isalnum(static_cast<unsigned char>(c));
    };
    for (std::size_t at = text.find(option); at != std::string::npos;
         at = text.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if ((at == 0 || !part(text[at - 1])) && (end == text.size() || !part(text[end])))
            return true;
    }
    return false;
}

// The entries of a .TP list by the first word of their tag line (the macro left out).
std::map<std::string, std::string> Entries(const std::vector<std::string>& section)
{
    std::map<std::string, std::string> entries;
    std::string* current = nullptr;
    for (std::size_t i = 0; i < section.size(); ++i) {
        if (section[i] == ".TP" && i + 1 < section.size()) {
            std::string tag = section[++i];
            if (tag.rfind('.', 0) == 0)
                tag.erase(0, tag.find(' ') + 1);
            current = &entries[tag.substr(0, tag.find(' '))];
            *current = tag + '\n';
            continue;
        }
        if (current != nullptr)
            *current += section[i] + '\n';
    }
    return entries;
}

class ManualPage : public testing::TestWithParam<Page> {};

TEST_P(ManualPage, DescribesEveryCommandAndOption)
{
    const Page& page = GetParam();
    const std::vector<std::string> lines = Lines(PlainText(page.path));
    ASSERT_FALSE(lines.empty()) << "cannot read " << page.path;
    const std::map<std::string, std::string> entries =
        Entries(Section(lines, page.commandsHeading));
    const std::string options = Joined(Section(lines, page.optionsHeading));

    const std::vector<CommandOptions> table = CommandTable();
    for (const CommandOptions& command : table) {
        const auto entry = entries.find(command.name);
        if (entry == entries.end()) {
            ADD_FAILURE() << "no entry for the command " << command.name;
            continue;
        }
        // The entry's synopsis names the long form; the options section every form.
        for (const std::string& option : command.options) {
            if (option.rfind("--", 0) == 0) {
                EXPECT_TRUE(Mentions(entry->second, option)) << command.name << ' ' << option;
            }
            EXPECT_TRUE(Mentions(options, option)) << option << " in the options";
        }
    }
    for (const std::string& option : ProgramOptions())
        EXPECT_TRUE(Mentions(options, option)) << option << " in the options";
    // A command the program no longer has must not linger in the page either.
    for (const auto& [name, text] : entries) {
        EXPECT_TRUE(std::any_of(table.begin(), table.end(),
                                [&](const CommandOptions& c) { return c.name == name; }))
            << "the page describes " << name << ", which k64ctl does not have";
    }
}

INSTANTIATE_TEST_SUITE_P(K64ctl, ManualPage,
                         testing::Values(Page{"packaging/man/k64ctl.1", "COMMANDS", "OPTIONS"},
                                         Page{"packaging/man/ru/k64ctl.1", "КОМАНДЫ",
                                              "ПАРАМЕТРЫ"}));

// man under LANG=C (ssh, cron) renders for ASCII: anything else in an English page comes out
// as garbage there.
TEST(ManualPages, EnglishPagesArePlainAscii)
{
    for (const char* path :
         {"packaging/man/k64ctl.1", "packaging/man/k64tool.1", "packaging/man/k64-sim.1"}) {
        const std::vector<std::string> lines = Lines(PlainText(path));
        ASSERT_FALSE(lines.empty()) << "cannot read " << path;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(std::all_of(lines[i].begin(), lines[i].end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                << path << ':' << i + 1 << ": " << lines[i];
        }
    }
}

}  // namespace
}  // namespace k64::cli
