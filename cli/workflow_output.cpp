#include "workflow_output.h"

#include "common/shared_texts.h"
#include "terminal_output.h"

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

bool TerminalWorkflowView::ContinueWithoutBackup(const std::string& why)
{
    ShowMessage(&messages_, why, texts::kError);
    std::fputs("k64ctl: без резервной копии: --no-backup\n", ErrorStream());
    return false;
}

void TerminalWorkflowView::ReadBack(const std::vector<std::string>& differing)
{
    if (differing.empty())
        PrintLine(texts::kVerified);
}

}  // namespace k64::cli
