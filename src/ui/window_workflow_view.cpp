#include "ui/window_workflow_view.h"

#include "ui/display_text.h"
#include "ui/ui_texts.h"

#include <QString>

namespace k64::ui {
std::string ShownPath(const std::filesystem::path& path)
{
    return QString::fromStdU16String(path.u16string()).toStdString();
}

void WindowWorkflowView::SettingsKept(const std::string&, const std::filesystem::path& entry)
{
    Log(text::kLogSettingsKept + ShownPath(entry));
}

void WindowWorkflowView::ShowDifferences(const std::vector<SettingDifference>& differences)
{
    for (const SettingDifference& difference : differences)
        Log(FromCp1251(DifferenceLine(difference)).toStdString());
}

bool WindowWorkflowView::OfferRestore(std::size_t changed, const std::filesystem::path& entry)
{
    const std::string question = texts::ChangedValues(changed) + "\n" + text::kRestoreQuestion;
    if (owner_.ShowMessage(question, text::kUpdateCaption, MessageButtons::YesNo) ==
        MessageAnswer::Yes)
        return true;
    Log(text::kLogOldSettingsAt + ShownPath(entry));
    return false;
}

bool WindowWorkflowView::ContinueWithoutBackup(const std::string& why)
{
    return owner_.ShowMessage(why + "\n" + texts::kContinueWithoutBackup, texts::kAttention,
                              MessageButtons::YesNoDefaultNo) == MessageAnswer::Yes;
}

void WindowWorkflowView::ReadBack(const std::vector<std::string>& differing)
{
    if (differing.empty())
        Log(texts::kVerified);
    for (const std::string& line : differing)
        Log(line);
}

}  // namespace k64::ui
