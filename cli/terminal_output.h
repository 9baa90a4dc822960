#pragma once
// Windows-1251 data shown on the terminal.

#include "service/shown_text.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace k64::cli {

// Where the command's text goes: standard output, or standard error under --json.
std::FILE* TextStream();
// Where its warnings and errors go: standard error.
std::FILE* ErrorStream();

// While one lives, TextStream() and ErrorStream() of this thread are `out`: a unit of many
// running at once collects its output to show it whole.
class ScopedUnitOutput {
public:
    explicit ScopedUnitOutput(std::FILE* out);
    ~ScopedUnitOutput();
    ScopedUnitOutput(const ScopedUnitOutput&) = delete;
    ScopedUnitOutput& operator=(const ScopedUnitOutput&) = delete;
};

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
// Writes `line` and a line feed to TextStream().
void PrintLine(const std::string& line);
// Writes "k64ctl: ", `text` and a line feed to ErrorStream(): why the command failed, which is
// also the message of the --json failure document.
void PrintError(const std::string& text);

// Shared with the window's log.
using service::EscapedName;
using service::EscapedPath;
using service::ForTerminal;

// A port as `ports` lists it: its name, and for a USB device, tab-separated, vendor:product ids,
// manufacturer, product and serial number, each escaped like a name. The name stays the first
// column for scripts.
std::string PortLine(const std::string& name);

}  // namespace k64::cli
