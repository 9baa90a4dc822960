#include "workflow_output.h"

#include "display.h"

#include <cstdio>

namespace k64::cli {

void TerminalWorkflowView::SettingsKept(const std::string& serial,
                                        const std::filesystem::path& entry)
{
    PrintLine("Настройки устройства " + serial + " сохранены в истории: " + EscapedPath(entry));
}

void TerminalWorkflowView::ShowDifferences(const std::vector<SettingDifference>& differences)
{
    for (const SettingDifference& difference : differences)
        PrintLine(ForTerminal(DifferenceLine(difference)));
}

bool TerminalWorkflowView::OfferRestore(std::size_t, const std::filesystem::path&)
{
    if (!restore_)
        std::fputs(
            "k64ctl: обновление изменило настройки; вернуть прежние: k64ctl restore latest\n",
            ErrorStream());
    return restore_;
}

}  // namespace k64::cli
