// The parameter list as loaded from the embedded document and from hand-written documents.

#include "common/cp1251.h"
#include "parameters/parameter_list.h"
#include "resources/resources.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64 {
namespace {

// Windows-1251 bytes of a UTF-8 literal, the form every list string has.
std::string W(const std::string& utf8) { return Utf8ToCp1251(utf8).value(); }

std::string Sensitivity(const std::string& what)
{
    return "Чувствительность датчика " + what +
           ":\n1 - минимальная\n9 - максимальная\n0 - выключен";
}

std::string Note(const std::string& name)
{
    return "Параметры оповещения при событии \"" + name + "\"";
}

struct Expected {
    const char* group;
    const char* key;
    ParameterType type;
    const char* enumName;
    const char* defaultValue;
    int min, max;
    std::string name;
    std::string description;  // after unfolding
};

const std::string kUser = "\nВ международном формате (+7 и еще 10 цифр)";
const std::string kLink = "Настройки связи", kNotes = "Оповещения", kSensors = "Датчики и уставки",
                  kArming = "Постановка и снятие";
using T = ParameterType;

const std::vector<Expected> kEmbedded = {
    {"Настройки связи", "PinCod", T::String, "", "", 4, 4, "Пин код ",
     "Пароль, он же PIN для SIM.\nЧетыре цифры, 5739 по умолчаню"},
    {"Настройки связи", "Balans", T::String, "", "", 5, 8, "Запрос баланса",
     "Содержимое USSD для запроса баланса\nНапример *100#"},
    {"Настройки связи", "UserNumber1", T::String, "", "", 12, 16, "Пользователь 1",
     "Сотовый номер первого пользователя." + kUser},
    {"Настройки связи", "UserNumber2", T::String, "", "", 12, 16, "Пользователь 2",
     "Сотовый номер второго пользователя." + kUser},
    {"Настройки связи", "UserNumber3", T::String, "", "", 12, 16, "Пользователь 3",
     "Сотовый номер третьего пользователя." + kUser},
    {"Настройки связи", "UserNumber4", T::String, "", "", 12, 16, "Пользователь 4",
     "Сотовый номер четвертого пользователя." + kUser},
    {"Настройки связи", "MicLevel", T::Number, "", "8", 1, 14, "Чувствительность микрофона",
     "Чувствительность микрофона.(1-14)"},
    {"Настройки связи", "CanMode", T::Enum, "can_mode", "1", 0, 1, "Режим CAN",
     "Hомер протокола CAN"},  // Latin H
    {"Оповещения", "NoteSecurityOn", T::Enum, "note_value", "0", 0, 6, "Включение охраны",
     Note("Включение охраны")},
    {"Оповещения", "NoteSecurityOff", T::Enum, "note_value", "0", 0, 6, "Отключение охраны",
     Note("Отключение охраны")},
    {"Оповещения", "NoteKick", T::Enum, "note_value", "3", 0, 6, "Сработал датчик удара",
     Note("Сработал датчик удара")},
    {"Оповещения", "NoteMove", T::Enum, "note_value", "3", 0, 6, "Сработал датчик движения",
     Note("Сработал датчик движения")},
    {"Оповещения", "NoteSlope", T::Enum, "note_value", "3", 0, 6, "Сработал датчик наклона",
     Note("Сработал датчик наклона")},
    {"Оповещения", "NoteBackDoor", T::Enum, "note_value", "3", 0, 6, "Открыт багажник",
     Note("Открыт багажник")},
    {"Оповещения", "NoteHood", T::Enum, "note_value", "3", 0, 6, "Открыт капот",
     Note("Открыт капот")},
    {"Оповещения", "NoteDoor", T::Enum, "note_value", "3", 0, 6, "Открыта дверь",
     Note("Открыта дверь")},
    {"Оповещения", "NoteAccLow", T::Enum, "note_value", "1", 0, 6, "Аккумулятор разряжен",
     Note("Аккумулятор разряжен")},
    {"Датчики и уставки", "KickSens", T::Number, "", "7", 0, 9, "Чувствительность датчика удара",
     Sensitivity("удара")},
    {"Датчики и уставки", "MoveSens", T::Number, "", "7", 0, 9, "Чувствительность датчика движения",
     Sensitivity("движения")},
    {"Датчики и уставки", "SlopeSens", T::Number, "", "7", 0, 9, "Чувствительность датчика наклона",
     Sensitivity("наклона")},
    {"Датчики и уставки", "AccLow", T::Number, "", "10700", 10500, 12500,
     "Напряжение разряда аккумулятора",
     "Напряжение аккумулятора при котором он считается разряженным, мВ"},
    {"Постановка и снятие", "DoorDelay", T::Number, "", "0", 0, 100, "Обход зоны дверей",
     "Обход зоны дверей на заданное время при включении охраны (0-100с).\nНапример при "
     "подключения входа дверей к цепи салонного света"},
    {"Постановка и снятие", "Stoper", T::Enum, "on_off_value", "0", 0, 1, "Блокировка двигателя",
     "Состояние блокировщика двигателя"},
};

TEST(EmbeddedList, EveryParameterAsTabled)
{
    test::RecordingMessages messages;
    const ParameterList list(&messages);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(list.LoadError().empty());
    ASSERT_EQ(list.parameters.size(), kEmbedded.size());
    for (std::size_t i = 0; i < kEmbedded.size(); ++i) {
        const Expected& e = kEmbedded[i];
        const Parameter& p = list.parameters[i];
        SCOPED_TRACE(e.key);
        EXPECT_EQ(p.key, e.key);
        EXPECT_EQ(p.type, e.type);
        EXPECT_EQ(p.enumName, e.enumName);
        EXPECT_EQ(p.defaultValue, e.defaultValue);
        EXPECT_EQ(p.min, e.min);
        EXPECT_EQ(p.max, e.max);
        EXPECT_EQ(p.name, W(e.name));
        EXPECT_EQ(p.description, W(e.description));
        EXPECT_EQ(p.groupName, W(e.group));
        EXPECT_EQ(p.value, "") << "values stay empty until the first read";
    }
    EXPECT_EQ(list.parameters[7].description[0], '\x48');
}

TEST(EmbeddedList, GroupsAndEnumerationsInDocumentOrder)
{
    const ParameterList list;
    ASSERT_EQ(list.groups.size(), 4u);
    const std::vector<std::string> groups = {kLink, kNotes, kSensors, kArming};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        EXPECT_EQ(list.groups[i].name, W(groups[i]));
        EXPECT_EQ(list.groups[i].after, "");
    }

    struct EnumCase {
        const char* name;
        std::vector<std::string> texts;  // item i has value i
    };
    const std::vector<EnumCase> enums = {
        {"can_mode", {"CAN выключен", "LADA Калина, Гранта", "Vesta", "XRay", "S500", "C250"}},
        {"note_value",
         {"Не оповещать", "SMS активному абоненту", "Вызов активному абоненту",
          "SMS и вызов активному абоненту", "SMS всем абонентам", "Вызов всем абонентам",
          "SMS и вызов всем абонентаму"}},
        {"on_off_value", {"Отключено", "Включено"}},
    };
    ASSERT_EQ(list.enums.size(), enums.size());
    for (std::size_t i = 0; i < enums.size(); ++i) {
        const EnumValueList& e = list.enums[i];
        EXPECT_EQ(e.name, enums[i].name);
        ASSERT_EQ(e.Count(), static_cast<int>(enums[i].texts.size()));
        for (int k = 0; k < e.Count(); ++k) {
            EXPECT_EQ(e.ItemAt(k)->value, k);
            EXPECT_EQ(e.ItemAt(k)->text, W(enums[i].texts[static_cast<std::size_t>(k)]));
        }
        EXPECT_EQ(e.ItemAt(e.Count()), nullptr);
        EXPECT_EQ(e.ItemAt(-1), nullptr);
        EXPECT_EQ(list.FindEnum(e.name), &e);
    }
    EXPECT_EQ(list.FindEnum("Can_mode"), nullptr);
}

TEST(EmbeddedList, ParametersOfGroup)
{
    const ParameterList list;
    const std::vector<Parameter> notes = list.ParametersOfGroup(W(kNotes));
    ASSERT_EQ(notes.size(), 9u);
    EXPECT_EQ(notes.front().key, "NoteSecurityOn");
    EXPECT_EQ(notes.back().key, "NoteAccLow");
    EXPECT_EQ(list.ParametersOfGroup(W(kSensors)).size(), 4u);
    EXPECT_TRUE(list.ParametersOfGroup("").empty());
    EXPECT_TRUE(list.ParametersOfGroup(W("Оповещения ")).empty());
}

// The resource itself: Windows-1251 with CR LF only, continuation lines kept in the source.
TEST(EmbeddedList, DocumentBytes)
{
    const auto bytes = resources::Find("parameter_list");
    ASSERT_TRUE(bytes.has_value());
    const std::string doc(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    EXPECT_TRUE(doc.starts_with("<?xml version=\"1.0\" encoding=\"ANSI\"?>\r\n"));
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\n') {
            ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    EXPECT_NE(doc.find(W("удара:\\n\\\r\n1 - минимальная\\n\\\r\n9 - максимальная\\n\\\r\n0 - "
                         "выключен\"")),
              std::string::npos);
    EXPECT_NE(doc.find(W("description='Параметры оповещения при событии \"Открыт капот\"'")),
              std::string::npos);
    EXPECT_NE(doc.find('\t'), std::string::npos);
}

TEST(UnfoldDescription, Cases)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a\\nb", "a\nb"},        {"a\\n\\\r\nb", "a\nb"}, {"a\\\r\nb", "ab"}, {"a\r\nb", "a\r\nb"},
        {"a\\\\nb", "a\\\nb"},     // the second backslash pairs with n
        {"a\\\\\r\n\r\nb", "ab"},  // a removal that brings a new triple together
        {"\\n\\n", "\n\n"},       {"a\\", "a\\"},          {"a\\\r", "a\\\r"}, {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnfoldDescription(c.in), c.out) << c.in;
}

// Documents that load; each row checks what the list holds afterwards.
struct LoadCase {
    const char* what;
    std::string xml;
    std::size_t enums, groups, parameters;
};

std::string Wrap(const std::string& inner)
{
    return "<?xml version=\"1.0\" encoding=\"ANSI\"?>\r\n<resources><parameters>" + inner +
           "</parameters></resources>";
}

TEST(ListFromXml, StructureTable)
{
    const LoadCase cases[] = {
        {"empty text", "", 0, 0, 0},
        {"no resources", "<other><parameters><group name='g'/></parameters></other>", 0, 0, 0},
        {"no parameters", "<resources><params><group name='g'/></params></resources>", 0, 0, 0},
        {"enum without name skipped with its items",
         Wrap("<enum><item value='1' text='a'/></enum><enum name='e'/>"), 1, 0, 0},
        {"parameter directly under parameters ignored",
         Wrap("<parameter key='k' type='number'/><group name='g'/>"), 0, 1, 0},
        {"enum inside a group ignored", Wrap("<group name='g'><enum name='e'/></group>"), 0, 1, 0},
        {"element names are case-sensitive",
         Wrap("<Group name='g'><parameter key='k'/></Group><group name='h'><Parameter key='k'/>"
              "</group>"),
         0, 1, 0},
        {"comments, text and other elements ignored",
         Wrap("<!-- <group name='x'/> -->text<note/><group name='g'>t<parameter key='k'/></group>"),
         0, 1, 1},
        {"only the first resources and parameters count",
         "<resources><parameters><group name='a'/></parameters><parameters><group name='b'/>"
         "</parameters></resources><resources><parameters><group/></parameters></resources>",
         0, 1, 0},
    };
    for (const LoadCase& c : cases) {
        test::RecordingMessages messages;
        const ParameterList list = ParameterList::FromXml(c.xml, &messages);
        EXPECT_TRUE(messages.shown.empty()) << c.what;
        EXPECT_EQ(list.enums.size(), c.enums) << c.what;
        EXPECT_EQ(list.groups.size(), c.groups) << c.what;
        EXPECT_EQ(list.parameters.size(), c.parameters) << c.what;
    }
}

TEST(ListFromXml, EnumerationDeclaredAfterItsGroup)
{
    const ParameterList list = ParameterList::FromXml(
        Wrap("<group name='g'><parameter key='k' type='enum' enum='late' default='2'/></group>"
             "<enum name='late'><item value='2' text='two'/><item value='3'/></enum>"));
    ASSERT_EQ(list.parameters.size(), 1u);
    const EnumValueList* late = list.FindEnum(list.parameters[0].enumName);
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(late->ItemAt(1)->text, "") << "item without text";
    EXPECT_EQ(late->ItemAt(1)->value, 3);
}

TEST(ListFromXml, GroupWithAfterKeepsDocumentOrder)
{
    const ParameterList list = ParameterList::FromXml(
        Wrap("<group name='a' after='b'><parameter key='x'/></group><group name='b'>"
             "<parameter key='y'/></group><group/>"));
    ASSERT_EQ(list.groups.size(), 3u);
    EXPECT_EQ(list.groups[0].name, "a");
    EXPECT_EQ(list.groups[0].after, "b");
    EXPECT_EQ(list.groups[1].name, "b");
    EXPECT_EQ(list.groups[2].name, "");
    EXPECT_EQ(list.parameters[0].key, "x");
    EXPECT_EQ(list.parameters[1].groupName, "b");
}

// Attributes missing or unreadable: the record is kept with the documented fallbacks.
TEST(ListFromXml, AttributeFallbacksTable)
{
    struct Case {
        const char* attributes;
        ParameterType type;
        int min, max;
        const char* defaultValue;
        const char* description;
    } cases[] = {
        {"key='k' type='number' min='1' max='2'", T::Number, 1, 2, "", ""},
        {"key='k'", T::String, 0, 0, "", ""},
        {"key='k' type='Number' min='-5' max='5'", T::String, -5, 5, "", ""},
        {"key='k' type='enum' min='abc' max='1.5'", T::Enum, 0, 0, "", ""},
        {"key='k' type='number' min='$10' max=' 0x20'", T::Number, 16, 32, "", ""},
        {"key='k' type='number' min='99999999999' max='2147483647'", T::Number, 0, 2147483647, "",
         ""},
        {"key='k' type='string' type='number' default='a' default='b'", T::String, 0, 0, "a", ""},
        {"key='k' default='&lt;&amp;&gt;' description='x&quot;y\\nz'", T::String, 0, 0, "<&>",
         "x\"y\nz"},
    };
    for (const Case& c : cases) {
        const ParameterList list = ParameterList::FromXml(
            Wrap(std::string("<group name='g'><parameter ") + c.attributes + "/></group>"));
        ASSERT_EQ(list.parameters.size(), 1u) << c.attributes;
        const Parameter& p = list.parameters[0];
        EXPECT_EQ(p.type, c.type) << c.attributes;
        EXPECT_EQ(p.min, c.min) << c.attributes;
        EXPECT_EQ(p.max, c.max) << c.attributes;
        EXPECT_EQ(p.defaultValue, c.defaultValue) << c.attributes;
        EXPECT_EQ(p.description, c.description) << c.attributes;
        EXPECT_EQ(p.key, "k");
    }

    const ParameterList items =
        ParameterList::FromXml(Wrap("<enum name='e'><item text='none'/><item value='x' text='bad'/>"
                                    "<item value='-7' text='neg'/></enum>"));
    ASSERT_EQ(items.enums.size(), 1u);
    ASSERT_EQ(items.enums[0].Count(), 3);
    EXPECT_EQ(items.enums[0].ItemAt(0)->value, 0);
    EXPECT_EQ(items.enums[0].ItemAt(1)->value, 0);
    EXPECT_EQ(items.enums[0].ItemAt(2)->value, -7);
}

std::string Nested(int depth)
{
    std::string xml = "<resources><parameters><group name='g'><parameter key='k'/></group>";
    for (int i = 2; i < depth; ++i)
        xml += "<a>";
    for (int i = 2; i < depth; ++i)
        xml += "</a>";
    return xml + "</parameters></resources>";
}

// Documents the parser refuses: an empty list and one report.
TEST(ListFromXml, ParseErrorsTable)
{
    struct Case {
        const char* what;
        std::string xml;
        std::string report;
    } cases[] = {
        {"ends inside an element", "<resources><parameters><group name='g'>",
         "ошибка парсера: unexpected end of data"},
        {"ends inside an attribute value", "<resources><parameters><group name='g",
         "ошибка парсера: expected ' or \""},
        {"text before the root", "x<resources/>", "ошибка парсера: expected <"},
        {"attribute without quotes", Wrap("<group name=g/>"), "ошибка парсера: expected ' or \""},
        {"unterminated comment", Wrap("<!-- "), "ошибка парсера: unexpected end of data"},
        {"very deep nesting", Nested(100000), "ошибка парсера: elements nested too deeply"},
        {"one level too deep", Nested(kMaxXmlDepth + 1),
         "ошибка парсера: elements nested too deeply"},
    };
    for (const Case& c : cases) {
        test::RecordingMessages messages;
        const ParameterList list = ParameterList::FromXml(c.xml, &messages);
        EXPECT_TRUE(list.groups.empty() && list.enums.empty() && list.parameters.empty()) << c.what;
        ASSERT_EQ(messages.shown.size(), 1u) << c.what;
        EXPECT_EQ(messages.shown[0].text, c.report) << c.what;
        EXPECT_EQ(messages.shown[0].caption, "Ошибка");
        EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(list.LoadError(), c.report);
    }
}

// Markup inside comments, CDATA, declarations and attribute values is not nesting.
TEST(ListFromXml, DepthLimitCountsOnlyElements)
{
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "<a>";
    const std::string cases[] = {
        Nested(kMaxXmlDepth),
        Wrap("<!--" + many + "--><![CDATA[" + many + "]]><?pi " + many + "?><group name='" + many +
             "'><parameter key='k'/></group>"),
        "<!DOCTYPE r [" + many + "]>" + Wrap("<group><parameter key='k'/></group>"),
    };
    for (const std::string& xml : cases) {
        test::RecordingMessages messages;
        const ParameterList list = ParameterList::FromXml(xml, &messages);
        EXPECT_TRUE(messages.shown.empty()) << xml.substr(0, 80);
        EXPECT_EQ(list.parameters.size(), 1u) << xml.substr(0, 80);
    }
}

TEST(ListFromXml, ReportGoesToOwnerlessReceiverWithoutOwner)
{
    test::ScopedOwnerlessRecorder ownerless;
    const ParameterList list = ParameterList::FromXml("<resources>");
    ASSERT_EQ(ownerless.recorder.shown.size(), 1u);
    EXPECT_TRUE(ownerless.recorder.shown[0].text.starts_with("ошибка парсера: "));
}

TEST(ListFromXml, ZeroByteEndsTheDocument)
{
    const std::string xml = Wrap("<group name='g'/>") + std::string(1, '\0') + "garbage<";
    test::RecordingMessages messages;
    const ParameterList list = ParameterList::FromXml(xml, &messages);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(list.groups.size(), 1u);
}

}  // namespace
}  // namespace k64
