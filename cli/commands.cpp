#include "commands.h"

#include "device_commands.h"
#include "display.h"
#include "parameters/parameter_list.h"
#include "settings_commands.h"
#include "platform/port_catalog.h"
#include "update_command.h"

#include <cstdio>
#include <string>

namespace k64::cli {
namespace {

int RunPorts()
{
    for (const std::string& name : PresentPorts())
        PrintLine(PortLine(name));
    return kExitSuccess;
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

// One line per parameter, tab-separated: key, group, type (enum:NAME for an enumeration), default,
// min, max (of the length for a string), display name. An enumeration's items follow their
// parameter as lines that start with a tab: item value, tab, item text.
int RunParams(TerminalMessages& messages)
{
    const ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
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

}  // namespace

int RunCommand(const CommandLine& line, TerminalMessages& messages)
{
    if (line.command == "ports")
        return RunPorts();
    if (line.command == "params")
        return RunParams(messages);
    if (line.command == "find")
        return RunFind(messages);
    if (line.command == "id")
        return RunId(line, messages);
    if (line.command == "version")
        return RunVersion(line, messages);
    if (line.command == "read-settings")
        return RunReadSettings(line, messages);
    if (line.command == "diag")
        return RunDiag(line, messages);
    if (line.command == "write-settings")
        return RunWriteSettings(line, messages);
    if (line.command == "doctor")
        return RunDoctor(line);
    if (line.command == "restore")
        return RunRestore(line, messages);
    if (line.command == "backup")
        return RunBackup(line, messages);
    if (line.command == "history")
        return RunHistory(line, messages);
    if (line.command == "diff")
        return RunDiff(line, messages);
    if (IsUpdateCommand(line.command))
        return RunUpdateCommand(line, messages);
    std::fprintf(stderr, "k64ctl: команда %s пока не поддерживается\n", line.command.c_str());
    return kExitUsage;
}

}  // namespace k64::cli
