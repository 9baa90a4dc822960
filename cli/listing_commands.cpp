#include "listing_commands.h"

#include "json_output.h"
#include "parameters/parameter_list.h"
#include "platform/port_catalog.h"
#include "platform/usb_details.h"
#include "terminal_output.h"

#include <cstdio>
#include <string>

namespace k64::cli {
namespace {

// A port as `ports` lists it: its name, and for a USB device, tab-separated, vendor:product ids,
// manufacturer, product and serial number, each escaped like a name. The name stays the first
// column for scripts.
std::string PortLine(const std::string& name)
{
    std::string line = EscapedName(name);
    if (const std::optional<UsbDetails> usb = ReadUsbDetails(name)) {
        line += '\t' + usb->vendorId + ':' + usb->productId;
        for (const std::string* text : {&usb->manufacturer, &usb->product, &usb->serial})
            line += '\t' + EscapedName(*text);
    }
    return line;
}

const char* TypeName(ParameterType type)
{
    switch (type) {
    case ParameterType::Number: return "number";
    case ParameterType::Enum: return "enum";
    case ParameterType::String: return "string";
    }
    return "string";
}

Json ParamsDocument(const ParameterList& list)
{
    Json document = Json::array();
    for (const Parameter& p : list.parameters) {
        Json items = nullptr;
        if (const EnumValueList* values =
                p.type == ParameterType::Enum ? list.FindEnum(p.enumName) : nullptr) {
            items = Json::array();
            for (const EnumItem& item : values->items)
                items.push_back({{"value", item.value}, {"text", JsonText(item.text)}});
        }
        document.push_back({{"key", JsonText(p.key)},
                            {"name", JsonText(p.name)},
                            {"group", JsonText(p.groupName)},
                            {"type", TypeName(p.type)},
                            {"min", p.min},
                            {"max", p.max},
                            {"default", JsonText(p.defaultValue)},
                            {"items", items}});
    }
    return document;
}

}  // namespace

int RunPorts(const CommandLine&, TerminalMessages&)
{
    Json document = Json::array();
    for (const std::string& name : PresentPorts()) {
        if (!JsonMode()) {
            PrintLine(PortLine(name));
            continue;
        }
        const std::optional<UsbDetails> usb = ReadUsbDetails(name);
        const auto field = [&](std::string UsbDetails::*member) {
            return usb ? JsonOrNull((*usb).*member) : Json(nullptr);
        };
        document.push_back({{"port", name},
                            {"vendor_id", field(&UsbDetails::vendorId)},
                            {"product_id", field(&UsbDetails::productId)},
                            {"manufacturer", field(&UsbDetails::manufacturer)},
                            {"product", field(&UsbDetails::product)},
                            {"serial", field(&UsbDetails::serial)}});
    }
    if (JsonMode())
        SetJsonResult(std::move(document));
    return kExitSuccess;
}

// One line per parameter, tab-separated: key, group, type (enum:NAME for an enumeration), default,
// min, max (of the length for a string), display name. An enumeration's items follow their
// parameter as lines that start with a tab: item value, tab, item text.
int RunParams(const CommandLine&, TerminalMessages& messages)
{
    const ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    if (JsonMode()) {
        SetJsonResult(ParamsDocument(list));
        return kExitSuccess;
    }
    for (const Parameter& p : list.parameters) {
        std::string type = TypeName(p.type);
        if (p.type == ParameterType::Enum)
            type += ":" + ForTerminal(p.enumName);
        PrintLine(ForTerminal(p.key) + '\t' + ForTerminal(p.groupName) + '\t' + type + '\t' +
                  ForTerminal(p.defaultValue) + '\t' + std::to_string(p.min) + '\t' +
                  std::to_string(p.max) + '\t' + ForTerminal(p.name));
        if (p.type != ParameterType::Enum)
            continue;
        if (const EnumValueList* items = list.FindEnum(p.enumName)) {
            for (const EnumItem& item : items->items)
                PrintLine('\t' + std::to_string(item.value) + '\t' + ForTerminal(item.text));
        }
    }
    return kExitSuccess;
}

}  // namespace k64::cli
