#pragma once
// The output of one unit of a run on many: each unit's thread collects its text to show it whole,
// and tells its live line how far it has come.

#include <cstdio>
#include <string>

namespace k64::cli {

// While one lives, TextStream() and ErrorStream() of this thread are `out`: a unit of many
// running at once collects its output to show it whole.
class ScopedUnitOutput {
public:
    explicit ScopedUnitOutput(std::FILE* out);
    ~ScopedUnitOutput();
    ScopedUnitOutput(const ScopedUnitOutput&) = delete;
    ScopedUnitOutput& operator=(const ScopedUnitOutput&) = delete;
};
// This thread's `out`, null outside a ScopedUnitOutput.
std::FILE* UnitOutput();

// How far this thread's unit has come, for its live line: what it does and how many of its
// blocks are through. The update view reports here instead of drawing its own progress line.
class UnitStatus {
public:
    virtual ~UnitStatus() = default;
    virtual void Stage(const std::string& text) = 0;
    virtual void Progress(int done, int total) = 0;
};
UnitStatus* CurrentUnitStatus();
class ScopedUnitStatus {
public:
    explicit ScopedUnitStatus(UnitStatus* status);
    ~ScopedUnitStatus();
    ScopedUnitStatus(const ScopedUnitStatus&) = delete;
    ScopedUnitStatus& operator=(const ScopedUnitStatus&) = delete;
};

}  // namespace k64::cli
