#pragma once
// While one lives, other programs can tell that k64tool runs: on Windows a named mutex that the
// installer and the uninstaller look for before they replace or remove the program's files.
// Nothing elsewhere, where a running program's files may be replaced.

namespace k64::ui {

class RunningMark {
public:
    RunningMark();
    ~RunningMark();
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    void* handle_ = nullptr;
};

}  // namespace k64::ui
