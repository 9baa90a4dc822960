#pragma once
// The unit's settings as the tool knows them: enumerations, groups and parameters read from the
// embedded XML list, and every parameter's current value as text.
//
// Every string here is a Windows-1251 byte string taken byte for byte from the list or from a
// settings text; compare and store bytes, convert only for display. Nothing here throws or shows
// a message except the constructors, which report an unparsable document.
//
// Settings text: lines "key=value". WriteText ends every line with one LF; ReadText accepts any
// mix of CR and LF, skips blank lines and lines without "=", splits at the first "=" without
// trimming, and stops at a zero byte.
//
// Decisions for records the list does not fill in completely (the embedded list fills all):
// - a `parameter` without `type`, or with a type other than "number", "enum" or "string", is a
//   String parameter (any text is a valid value, so nothing is lost or misread);
// - `min`, `max` or an item's `value` that is absent or not a whole number (ParseWholeNumber)
//   reads as 0; the record is kept and loading never fails on it;
// - other absent attributes give empty texts;
// - a document nested more than kMaxXmlDepth elements deep is refused like a parse error, since
//   the parser descends recursively and such a document could exhaust the stack.
// Value look-ups that have no answer give an empty text (DisplayText of an unknown key, an index
// out of range, TextOfValue of a text that is not a number), except that an Enum parameter whose
// enumeration is missing shows its stored value unchanged, so the user still sees something.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k64 {

class MessageInterface;

enum class ParameterType : int { Number = 1, Enum = 2, String = 3 };

struct EnumItem {
    std::int32_t value = 0;
    std::string text;
};

struct EnumValueList {
    std::vector<EnumItem> items;
    std::string name;

    int Count() const;
    // Null when `index` is negative or not below Count().
    const EnumItem* ItemAt(int index) const;
    // The text of the first item whose value equals `valueText` read as a whole number; empty
    // when no item matches or the text is no number.
    std::string TextOfValue(const std::string& valueText) const;
};

struct ParameterGroup {
    std::string name;
    std::string after;  // kept as read; groups are shown in document order regardless
};

struct ParameterStruct {
    std::string key;
    ParameterType type = ParameterType::String;
    std::string enumName;
    std::string value;
    std::string defaultValue;
    std::int32_t min = 0;  // Number: bounds of the value; String: bounds of its length
    std::int32_t max = 0;
    std::string name;
    std::string description;
    std::string groupName;
};

struct Parameter : ParameterStruct {
    Parameter(std::string key, ParameterType type, std::string enumName, std::string value,
              std::string defaultValue, std::int32_t min, std::int32_t max, std::string name,
              std::string description, std::string groupName);

    void ResetToDefault() { value = defaultValue; }
    bool IsDefault() const { return value == defaultValue; }
};

// Replaces every backslash-"n" by a line feed, then removes every backslash-CR-LF (also those
// that the removal itself brings together), so a description written over several source lines
// ending in backslash-n-backslash becomes lines separated by single line feeds.
std::string UnfoldDescription(std::string text);

inline constexpr int kMaxXmlDepth = 64;

class ParameterList {
public:
    // Built from the embedded "parameter_list" resource. A parse error is reported through
    // `messages` (or the ownerless receiver when null) and leaves the list empty.
    explicit ParameterList(MessageInterface* messages = nullptr);
    // Built from the given document bytes, which need not be zero-terminated; a zero byte ends
    // the document.
    static ParameterList FromXml(std::string_view xml, MessageInterface* messages = nullptr);

    // In this order; edited in place by the settings operations and by the editor.
    std::vector<ParameterGroup> groups;
    std::vector<EnumValueList> enums;
    std::vector<Parameter> parameters;

    // The report shown when the document could not be parsed (UTF-8), empty otherwise.
    const std::string& LoadError() const { return loadError_; }

    // Copies of the parameters of the named group, in list order.
    std::vector<Parameter> ParametersOfGroup(const std::string& groupName) const;
    // The first enumeration of that name, or null. The pointer lives as long as `enums` is not
    // resized.
    const EnumValueList* FindEnum(const std::string& enumName) const;

    void ResetToDefaults();
    // Index in `parameters` of the first parameter with that key, or -1.
    int IndexOfKey(const std::string& key) const;
    // Index in `parameters` of the `position`-th parameter (from 0, in list order) of the named
    // group, or -1: the parameter the editor's tree shows at that place.
    int IndexInGroup(const std::string& groupName, int position) const;
    // Stores `valueText` unchecked when the key is known; does nothing otherwise.
    void SetValue(const std::string& key, const std::string& valueText);
    // Restores every default, then applies the settings text line by line.
    void ReadText(std::string text);
    // The settings text of every parameter (includeAll) or of those that differ from their
    // default; each line ends with LF, and no line at all gives an empty text.
    std::string WriteText(bool includeAll) const;
    // A parameter's value as the user sees it: the item text for an Enum parameter.
    std::string DisplayText(const std::string& key) const;
    std::string DisplayTextAt(int index) const;

private:
    struct FromBytes {};
    ParameterList(FromBytes, std::string_view xml, MessageInterface* messages);
    void Load(std::string_view xml, MessageInterface* messages);

    std::string loadError_;
};

}  // namespace k64
