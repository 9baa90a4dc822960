// Settings text: applying it to the embedded list, producing it, and showing values.

#include "common/cp1251.h"
#include "parameters/parameter_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace k64 {
namespace {

std::string W(const std::string& utf8) { return Utf8ToCp1251(utf8).value(); }

// The values that differ from their defaults.
std::map<std::string, std::string> Changed(const ParameterList& list)
{
    std::map<std::string, std::string> changed;
    for (const Parameter& p : list.parameters)
        if (!p.IsDefault())
            changed[p.key] = p.value;
    return changed;
}

struct ReadCase {
    const char* what;
    std::string text;
    std::map<std::string, std::string> changed;
};

const std::vector<ReadCase> kReadCases = {
    {"empty text", "", {}},
    {"blank lines only", "\r\n\n\r\r\r\n", {}},
    {"last of a repeated key wins", "MicLevel=10\r\nMicLevel=11", {{"MicLevel", "11"}}},
    {"keys are case- and blank-sensitive", "micLevel=10\nMicLevel =10\n MicLevel=10", {}},
    {"value keeps its leading blank", "MicLevel= 10", {{"MicLevel", " 10"}}},
    {"split at the first =", "Balans=*100#=1", {{"Balans", "*100#=1"}}},
    {"line without = skipped", "CanMode\nMicLevel=3", {{"MicLevel", "3"}}},
    {"empty value stored", "MicLevel=", {{"MicLevel", ""}}},
    {"value stored as written", "MicLevel=08", {{"MicLevel", "08"}}},
    {"unchecked values",
     "MicLevel=99\nCanMode=abc\nNoteKick=-1",
     {{"MicLevel", "99"}, {"CanMode", "abc"}, {"NoteKick", "-1"}}},
    {"CR alone separates lines",
     "MicLevel=10\rNoteKick=4",
     {{"MicLevel", "10"}, {"NoteKick", "4"}}},
    {"LF CR separates lines", "MicLevel=10\n\rNoteKick=4", {{"MicLevel", "10"}, {"NoteKick", "4"}}},
    {"a zero byte ends the text",
     std::string("MicLevel=10\n\0NoteKick=4", 24),
     {{"MicLevel", "10"}}},
    {"zero byte inside a line",
     std::string("MicLevel=1\0"
                 "0",
                 12),
     {{"MicLevel", "1"}}},
    {"unknown keys and empty key skipped", "Unknown=1\n=5\nPinCod=1234", {{"PinCod", "1234"}}},
    {"trailing blank kept", "PinCod=1234 \n", {{"PinCod", "1234 "}}},
    {"default value written back is no change", "MicLevel=8\nCanMode=1", {}},
    {"Windows-1251 bytes pass through", "Balans=" + W("Баланс"), {{"Balans", W("Баланс")}}},
};

TEST(ReadText, CasesTable)
{
    ParameterList list;
    for (const ReadCase& c : kReadCases) {
        list.SetValue("AccLow", "1");  // whatever an earlier read left must not survive
        list.ReadText(c.text);
        EXPECT_EQ(Changed(list), c.changed) << c.what;
    }
}

// Whatever a read leaves, writing only the changed values and reading them back restores it.
TEST(ReadText, WriteTextRoundTripTable)
{
    ParameterList list;
    ParameterList copy;
    for (const ReadCase& c : kReadCases) {
        list.ReadText(c.text);
        const std::string written = list.WriteText(false);
        copy.ReadText(written);
        for (std::size_t i = 0; i < list.parameters.size(); ++i)
            EXPECT_EQ(copy.parameters[i].value, list.parameters[i].value) << c.what;
        EXPECT_EQ(written.find('\r'), std::string::npos) << c.what;
        EXPECT_TRUE(written.empty() || written.back() == '\n') << c.what;
    }
}

TEST(WriteText, WorkedExample)
{
    ParameterList list;
    list.ReadText("");
    list.SetValue("MicLevel", "10");
    list.SetValue("NoteKick", std::to_string(list.FindEnum("note_value")->ItemAt(4)->value));
    const std::string text = list.WriteText(false);
    const unsigned char expected[] = {0x4D, 0x69, 0x63, 0x4C, 0x65, 0x76, 0x65, 0x6C,
                                      0x3D, 0x31, 0x30, 0x0A, 0x4E, 0x6F, 0x74, 0x65,
                                      0x4B, 0x69, 0x63, 0x6B, 0x3D, 0x34, 0x0A};
    EXPECT_EQ(text, std::string(reinterpret_cast<const char*>(expected), sizeof expected));

    ParameterList back;
    back.ReadText(text);
    EXPECT_EQ(Changed(back),
              (std::map<std::string, std::string>{{"MicLevel", "10"}, {"NoteKick", "4"}}));
    back.ReadText("MicLevel=10\r\nNoteKick=4\r\n");
    EXPECT_EQ(Changed(back).size(), 2u);
}

TEST(WriteText, IncludeAllWritesEveryParameterInListOrder)
{
    ParameterList list;
    list.ResetToDefaults();
    const std::string text = list.WriteText(true);
    EXPECT_TRUE(text.starts_with("PinCod=\nBalans=\n"));
    EXPECT_TRUE(text.ends_with("DoorDelay=0\nStoper=0\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 23);
}

TEST(WriteText, BeforeAnyReadEveryNonEmptyDefaultIsWritten)
{
    const ParameterList list;
    const std::string text = list.WriteText(false);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines.front(), "MicLevel=");
    EXPECT_EQ(lines.back(), "Stoper=");
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.ends_with("=")) << line;
        EXPECT_EQ(line.find("PinCod"), std::string::npos);
        EXPECT_EQ(line.find("UserNumber"), std::string::npos);
    }
}

TEST(ValueStore, IndexOfKeyAndSetValue)
{
    ParameterList list;
    EXPECT_EQ(list.IndexOfKey("PinCod"), 0);
    EXPECT_EQ(list.IndexOfKey("Stoper"), 22);
    EXPECT_EQ(list.IndexOfKey("stoper"), -1);
    EXPECT_EQ(list.IndexOfKey(""), -1);
    list.SetValue("nothing", "1");
    EXPECT_EQ(list.WriteText(true).find("nothing"), std::string::npos);
    list.SetValue("Balans", "x=y");
    EXPECT_EQ(list.parameters[1].value, "x=y");
    list.ResetToDefaults();
    EXPECT_TRUE(list.WriteText(false).empty());
}

TEST(DisplayText, CasesTable)
{
    ParameterList list;
    struct Case {
        const char* key;
        std::string value;
        std::string shown;
    } cases[] = {
        {"NoteKick", "3", W("SMS и вызов активному абоненту")},
        {"NoteKick", "9", ""},
        {"NoteKick", "", ""},
        {"NoteKick", "abc", ""},
        {"NoteKick", " 4", W("SMS всем абонентам")},  // same reading of numbers as the editor
        {"NoteKick", "$6", W("SMS и вызов всем абонентаму")},
        {"CanMode", "0", W("CAN выключен")},
        {"Stoper", "1", W("Включено")},
        {"PinCod", "5739", "5739"},
        {"PinCod", "", ""},
        {"MicLevel", "08", "08"},
    };
    for (const Case& c : cases) {
        list.SetValue(c.key, c.value);
        EXPECT_EQ(list.DisplayText(c.key), c.shown) << c.key << "=" << c.value;
    }
    EXPECT_EQ(list.DisplayText("NoSuchKey"), "");
    EXPECT_EQ(list.DisplayTextAt(-1), "");
    EXPECT_EQ(list.DisplayTextAt(23), "");
}

TEST(DisplayText, EnumWithoutItsEnumerationShowsTheStoredValue)
{
    ParameterList list = ParameterList::FromXml(
        "<resources><parameters><group name='g'><parameter key='k' type='enum' enum='missing'/>"
        "</group></parameters></resources>");
    list.SetValue("k", "2");
    EXPECT_EQ(list.DisplayText("k"), "2");
}

TEST(EnumValueList, TextOfValueTakesTheFirstMatch)
{
    EnumValueList e;
    e.items = {{1, "one"}, {2, "two"}, {1, "again"}};
    EXPECT_EQ(e.TextOfValue("1"), "one");
    EXPECT_EQ(e.TextOfValue("0x2"), "two");
    EXPECT_EQ(e.TextOfValue("1 "), "");
    EXPECT_EQ(e.TextOfValue("99999999999"), "");
}

}  // namespace
}  // namespace k64
