#pragma once
// The settings workflows on a terminal: the entry kept and the changes on standard output, boxes
// as the given receiver shows them.

#include "service/settings_workflows.h"

namespace k64::cli {

class TerminalWorkflowView final : public service::WorkflowView {
public:
    // `restore` answers the offer to write the old settings back after an update.
    TerminalWorkflowView(MessageInterface& messages, bool restore = false)
        : messages_(messages), restore_(restore)
    {
    }
    MessageInterface* MessageOwner() override { return &messages_; }
    void SettingsKept(const std::string& serial, const std::filesystem::path& entry) override;
    void ShowDifferences(const std::vector<SettingDifference>& differences) override;
    bool OfferRestore(std::size_t changed, const std::filesystem::path& entry) override;
    // The reason as an error box and the way round (--no-backup); nothing is changed.
    bool ContinueWithoutBackup(const std::string& why) override;
    // The check said on standard output; a difference has been said by its box.
    void ReadBack(const std::vector<std::string>& differing) override;

private:
    MessageInterface& messages_;
    bool restore_;
};

}  // namespace k64::cli
