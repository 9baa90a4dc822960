// Parameter list documents: any bytes must load (or be reported) without fault, and every
// operation on what was loaded must hold up.

#include "common/message_interface.h"
#include "parameters/parameter_list.h"
#include "parameters/validate_value.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class Silent : public k64::MessageInterface {
public:
    k64::MessageAnswer ShowMessage(const std::string&, const std::string&,
                                   k64::MessageButtons) override
    {
        return k64::MessageAnswer::Ok;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Silent silent;
    k64::ParameterList list = k64::ParameterList::FromXml(
        std::string_view(reinterpret_cast<const char*>(data), size), &silent);
    if (!list.LoadError().empty() && !list.parameters.empty())
        std::abort();

    for (const k64::ParameterGroup& group : list.groups)
        (void)list.ParametersOfGroup(group.name);
    for (int i = 0; i < static_cast<int>(list.parameters.size()); ++i) {
        const k64::Parameter& p = list.parameters[static_cast<std::size_t>(i)];
        if (const k64::EnumValueList* values = list.FindEnum(p.enumName))
            (void)values->ItemAt(values->Count() - 1);
        (void)k64::ValidateValue(p, p.defaultValue);
        (void)list.DisplayTextAt(i);
    }
    list.ReadText(list.WriteText(true));
    return 0;
}
