#include "parameters/parameter_list.h"

#include "common/message_interface.h"
#include "common/shared_texts.h"
#include "parameters/whole_number.h"
#include "resources/resources.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace k64 {
namespace {

constexpr const char* kParseErrorPrefix = "ошибка парсера: ";

// The parser's own character classes, from its tables, so the depth walk below cannot drift
// from what the parser accepts.
using Tables = rapidxml::internal::lookup_tables<0>;
bool IsSpace(char c) { return Tables::lookup_whitespace[static_cast<unsigned char>(c)] != 0; }
bool IsNodeNameChar(char c) { return Tables::lookup_node_name[static_cast<unsigned char>(c)] != 0; }
bool IsAttributeNameChar(char c)
{
    return Tables::lookup_attribute_name[static_cast<unsigned char>(c)] != 0;
}

const char* SkipSpace(const char* p)
{
    while (IsSpace(*p))
        ++p;
    return p;
}

// Position just after `end` searched from `p`, or null when the text ends first.
const char* SkipPast(const char* p, const char* end)
{
    const char* found = std::strstr(p, end);
    return found ? found + std::strlen(end) : nullptr;
}

// Skips a DOCTYPE body up to and past its '>', brackets nested naively as the parser does.
const char* SkipDoctype(const char* p)
{
    int brackets = 0;
    for (; *p != 0; ++p) {
        if (*p == '[')
            ++brackets;
        else if (*p == ']' && brackets > 0)
            --brackets;
        else if (*p == '>' && brackets == 0)
            return p + 1;
    }
    return nullptr;
}

// Skips the attributes and the end of a start tag. Null on a malformed tag; otherwise sets
// `opens` when the element has content (">" rather than "/>").
const char* SkipStartTag(const char* p, bool& opens)
{
    p = SkipSpace(p);
    while (IsAttributeNameChar(*p)) {
        while (IsAttributeNameChar(*p))
            ++p;
        p = SkipSpace(p);
        if (*p != '=')
            return nullptr;
        p = SkipSpace(p + 1);
        const char quote = *p;
        if (quote != '\'' && quote != '"')
            return nullptr;
        p = std::strchr(p + 1, quote);
        if (p == nullptr)
            return nullptr;
        p = SkipSpace(p + 1);
    }
    opens = *p == '>';
    if (opens)
        return p + 1;
    return p[0] == '/' && p[1] == '>' ? p + 2 : nullptr;
}

// The deepest element nesting the parser would reach on this zero-terminated text. The parser
// descends recursively, one level per element, so a deep enough document would exhaust the
// stack; this walk follows the same grammar (declarations, comments, CDATA, DOCTYPE, attribute
// values, character data) without recursion. It stops where the parser would stop with an
// error, since the parser gets no deeper than that, and as soon as `limit` is passed.
int NestingDepth(const char* p, int limit)
{
    int depth = 0;
    int deepest = 0;
    if (std::strncmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    while (p != nullptr && deepest <= limit) {
        p = SkipSpace(p);
        if (*p == 0)
            break;
        if (*p != '<') {
            if (depth == 0)
                break;  // text outside any element
            while (*p != 0 && *p != '<')
                ++p;
            continue;
        }
        if (depth > 0 && p[1] == '/') {  // closing tag; its name is not compared
            p += 2;
            while (IsNodeNameChar(*p))
                ++p;
            p = SkipSpace(p);
            if (*p != '>')
                break;
            ++p;
            --depth;
            continue;
        }
        ++p;
        if (*p == '?') {
            p = SkipPast(p + 1, "?>");
        } else if (*p == '!') {
            if (p[1] == '-' && p[2] == '-')
                p = SkipPast(p + 3, "-->");
            else if (std::strncmp(p + 1, "[CDATA[", 7) == 0)
                p = SkipPast(p + 8, "]]>");
            else if (std::strncmp(p + 1, "DOCTYPE", 7) == 0 && IsSpace(p[8]))
                p = SkipDoctype(p + 9);
            else
                p = SkipPast(p + 1, ">");
        } else {
            const char* name = p;
            while (IsNodeNameChar(*p))
                ++p;
            if (p == name)
                break;
            bool opens = false;
            p = SkipStartTag(p, opens);
            if (p != nullptr && opens)
                deepest = std::max(deepest, ++depth);
        }
    }
    return deepest;
}

using Node = rapidxml::xml_node<char>;

std::string Attribute(const Node* node, const char* name)
{
    const rapidxml::xml_attribute<char>* a = node->first_attribute(name);
    return a ? std::string(a->value(), a->value_size()) : std::string();
}

std::int32_t NumberAttribute(const Node* node, const char* name)
{
    return ParseWholeNumber(Attribute(node, name)).value_or(0);
}

ParameterType TypeOf(const std::string& word)
{
    if (word == "number")
        return ParameterType::Number;
    if (word == "enum")
        return ParameterType::Enum;
    return ParameterType::String;
}

}  // namespace

int EnumValueList::Count() const
{
    return static_cast<int>(std::min<std::size_t>(items.size(), std::numeric_limits<int>::max()));
}

const EnumItem* EnumValueList::ItemAt(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &items[static_cast<std::size_t>(index)];
}

std::string EnumValueList::TextOfValue(const std::string& valueText) const
{
    const std::optional<std::int32_t> number = ParseWholeNumber(valueText);
    if (!number)
        return {};
    for (const EnumItem& item : items)
        if (item.value == *number)
            return item.text;
    return {};
}

Parameter::Parameter(std::string key, ParameterType type, std::string enumName, std::string value,
                     std::string defaultValue, std::int32_t min, std::int32_t max, std::string name,
                     std::string description, std::string groupName)
    : ParameterStruct{std::move(key),
                      type,
                      std::move(enumName),
                      std::move(value),
                      std::move(defaultValue),
                      min,
                      max,
                      std::move(name),
                      std::move(description),
                      std::move(groupName)}
{
}

std::string UnfoldDescription(std::string text)
{
    std::string pairsDone;
    pairsDone.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            pairsDone += '\n';
            ++i;
        } else {
            pairsDone += text[i];
        }
    }
    // Removing a triple can bring a backslash and a later CR LF together; checking the tail
    // after every byte removes those too, in one pass.
    std::string out;
    out.reserve(pairsDone.size());
    for (const char c : pairsDone) {
        out += c;
        if (out.size() >= 3 && out.compare(out.size() - 3, 3, "\\\r\n") == 0)
            out.resize(out.size() - 3);
    }
    return out;
}

ParameterList::ParameterList(MessageInterface* messages)
{
    const auto bytes = resources::Find("parameter_list");
    if (bytes)
        Load(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
             messages);
}

ParameterList::ParameterList(FromBytes, std::string_view xml, MessageInterface* messages)
{
    Load(xml, messages);
}

ParameterList ParameterList::FromXml(std::string_view xml, MessageInterface* messages)
{
    return ParameterList(FromBytes{}, xml, messages);
}

void ParameterList::Load(std::string_view xml, MessageInterface* messages)
{
    // The parser works in place and needs a writable, zero-terminated buffer.
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');

    const auto report = [&](const char* what) {
        loadError_ = std::string(kParseErrorPrefix) + what;
        ShowMessage(messages, loadError_, texts::kError);
    };
    if (NestingDepth(buffer.data(), kMaxXmlDepth) > kMaxXmlDepth) {
        report("elements nested too deeply");
        return;
    }
    // The document holds a 64 KiB node pool of its own; keep it off the stack.
    auto document = std::make_unique<rapidxml::xml_document<char>>();
    try {
        document->parse<0>(buffer.data());
    } catch (const rapidxml::parse_error& error) {  // the parser reports only by throwing
        report(error.what());
        return;
    }

    const Node* resources = document->first_node("resources");
    const Node* list = resources ? resources->first_node("parameters") : nullptr;
    if (list == nullptr)
        return;

    // Every enumeration first, so a group may use one declared after it.
    for (const Node* e = list->first_node("enum"); e; e = e->next_sibling("enum")) {
        if (e->first_attribute("name") == nullptr)
            continue;
        EnumValueList values;
        values.name = Attribute(e, "name");
        for (const Node* item = e->first_node("item"); item; item = item->next_sibling("item"))
            values.items.push_back(
                EnumItem{NumberAttribute(item, "value"), Attribute(item, "text")});
        enums.push_back(std::move(values));
    }

    for (const Node* g = list->first_node("group"); g; g = g->next_sibling("group")) {
        groups.push_back(ParameterGroup{Attribute(g, "name"), Attribute(g, "after")});
        const std::string& groupName = groups.back().name;
        for (const Node* p = g->first_node("parameter"); p; p = p->next_sibling("parameter")) {
            parameters.emplace_back(Attribute(p, "key"), TypeOf(Attribute(p, "type")),
                                    Attribute(p, "enum"), std::string(), Attribute(p, "default"),
                                    NumberAttribute(p, "min"), NumberAttribute(p, "max"),
                                    Attribute(p, "name"),
                                    UnfoldDescription(Attribute(p, "description")), groupName);
        }
    }
}

std::vector<Parameter> ParameterList::ParametersOfGroup(const std::string& groupName) const
{
    std::vector<Parameter> result;
    for (const Parameter& p : parameters)
        if (p.groupName == groupName)
            result.push_back(p);
    return result;
}

const EnumValueList* ParameterList::FindEnum(const std::string& enumName) const
{
    for (const EnumValueList& e : enums)
        if (e.name == enumName)
            return &e;
    return nullptr;
}

void ParameterList::ResetToDefaults()
{
    for (Parameter& p : parameters)
        p.ResetToDefault();
}

int ParameterList::IndexInGroup(const std::string& groupName, int position) const
{
    int counted = 0;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].groupName != groupName)
            continue;
        if (counted++ == position)
            return static_cast<int>(i);
    }
    return -1;
}

int ParameterList::IndexOfKey(const std::string& key) const
{
    const std::size_t count =
        std::min<std::size_t>(parameters.size(), std::numeric_limits<int>::max());
    for (std::size_t i = 0; i < count; ++i)
        if (parameters[i].key == key)
            return static_cast<int>(i);
    return -1;
}

void ParameterList::SetValue(const std::string& key, const std::string& valueText)
{
    const int index = IndexOfKey(key);
    if (index >= 0)
        parameters[static_cast<std::size_t>(index)].value = valueText;
}

void ParameterList::ReadText(std::string text)
{
    ResetToDefaults();
    const std::string_view all(text.data(), std::strlen(text.c_str()));  // a zero byte ends it
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = all.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)  // also every empty piece between line breaks
            continue;
        SetValue(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
}

std::string ParameterList::WriteText(bool includeAll) const
{
    std::string text;
    for (const Parameter& p : parameters) {
        if (includeAll || !p.IsDefault()) {
            text += p.key;
            text += '=';
            text += p.value;
            text += '\n';
        }
    }
    return text;
}

std::string ParameterList::DisplayText(const std::string& key) const
{
    return DisplayTextAt(IndexOfKey(key));
}

std::string ParameterList::DisplayTextAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= parameters.size())
        return {};
    const Parameter& p = parameters[static_cast<std::size_t>(index)];
    if (p.type != ParameterType::Enum)
        return p.value;
    const EnumValueList* values = FindEnum(p.enumName);
    return values ? values->TextOfValue(p.value) : p.value;
}

}  // namespace k64
