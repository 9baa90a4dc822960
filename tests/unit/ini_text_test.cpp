// The portable copy's INI file: one value read, one value set with every other line of the
// user's file kept as it was.

#include "common/ini_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace k64 {
namespace {

struct ReadCase {
    const char* name;
    std::string text;
    std::optional<std::string> port;
};

TEST(IniText, ReadsTheValueOfItsSectionOnly)
{
    const ReadCase cases[] = {
        {"plain", "[k64]\nPort=COM7\n", "COM7"},
        {"as Notepad saves it", "\xEF\xBB\xBF[K64]\r\n  port = COM7 \r\n", "COM7"},
        {"another section's", "[other]\nPort=COM1\n[k64]\nFolder=x\n", std::nullopt},
        {"a comment", "[k64]\n;Port=COM1\n#Port=COM2\n", std::nullopt},
        {"the first of two", "[k64]\nPort=COM3\nPort=COM4\n", "COM3"},
        {"empty", "[k64]\nPort=\n", ""},
        {"no file yet", "", std::nullopt},
    };
    for (const ReadCase& c : cases)
        EXPECT_EQ(IniValue(c.text, "k64", "Port"), c.port) << c.name;
}

struct WriteCase {
    const char* name;
    std::string before;
    std::string value;
    std::string after;
};

TEST(IniText, SetsTheValueAndKeepsTheRest)
{
    const WriteCase cases[] = {
        {"an empty file", "", "COM7", "[k64]\r\nPort=COM7\r\n"},
        {"the key replaced, the rest kept", "; mine\n[k64]\nport=COM1\nFolder=x\n[other]\na=b\n",
         "COM7", "; mine\n[k64]\nPort=COM7\nFolder=x\n[other]\na=b\n"},
        {"added to its section", "\xEF\xBB\xBF[k64]\r\nFolder=x\r\n\r\n[other]\r\na=b", "COM7",
         "\xEF\xBB\xBF[k64]\r\nFolder=x\r\nPort=COM7\r\n\r\n[other]\r\na=b"},
        {"a section added after a last line without its end", "[other]\na=b", "COM7",
         "[other]\na=b\n[k64]\nPort=COM7\n"},
        {"a line break in the value left out", "[k64]\n", "CO\r\nM7", "[k64]\nPort=COM7\n"},
    };
    for (const WriteCase& c : cases) {
        const std::string after = WithIniValue(c.before, "k64", "Port", c.value);
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_EQ(IniValue(after, "k64", "Port"), "COM7") << c.name;
    }
}

}  // namespace
}  // namespace k64
