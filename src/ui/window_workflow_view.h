#pragma once
// The settings workflows in the windows: boxes owned by the window that runs them, the entry
// kept and the changes as lines of the main window's log when there is one.

#include "service/settings_workflows.h"

#include <functional>
#include <string>

namespace k64::ui {

// A history entry's path as the log shows it.
std::string ShownPath(const std::filesystem::path& path);

class WindowWorkflowView final : public service::WorkflowView {
public:
    using LogLine = std::function<void(const std::string&)>;
    // `log` may be empty: the editor has no log, the history keeps the entry all the same.
    WindowWorkflowView(MessageInterface& owner, LogLine log = {})
        : owner_(owner), log_(std::move(log))
    {
    }
    MessageInterface* MessageOwner() override { return &owner_; }
    void SettingsKept(const std::string& serial, const std::filesystem::path& entry) override;
    void ShowDifferences(const std::vector<SettingDifference>& differences) override;
    // A Yes/No box; No logs where the old settings are.
    bool OfferRestore(std::size_t changed, const std::filesystem::path& entry) override;
    // The reason and the question in one box, No by default.
    bool ContinueWithoutBackup(const std::string& why) override;
    // The check, or each value that differs, as lines of the log.
    void ReadBack(const std::vector<std::string>& differing) override;

private:
    void Log(const std::string& line)
    {
        if (log_)
            log_(line);
    }

    MessageInterface& owner_;
    LogLine log_;
};

}  // namespace k64::ui
