#include "ui/running_mark.h"

#include <windows.h>

namespace k64::ui {

// In the global namespace, so that an installer run in another session sees it too. The name is
// the one packaging/windows/installer.nsi looks for.
RunningMark::RunningMark() : handle_(::CreateMutexW(nullptr, FALSE, L"Global\\K64ToolRunning")) {}

RunningMark::~RunningMark()
{
    if (handle_ != nullptr)
        ::CloseHandle(handle_);
}

}  // namespace k64::ui
