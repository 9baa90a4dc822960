#pragma once
// The device object of one k64ctl call, on the port given for this call, else on the stored
// one, else on the platform's default port. Nothing is stored here.

#include "command_line.h"
#include "device/device.h"
#include "json_output.h"
#include "platform/port_catalog.h"
#include "platform/port_name_store.h"
#include "service/port_failure_text.h"
#include "terminal_output.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace k64::cli {

// A reason line of the service layer with where k64ctl looks next.
inline std::string WithDoctorHint(const std::string& fact)
{
    return fact + "; выполните k64ctl doctor";
}

class Session {
public:
    explicit Session(const CommandLine& line) : device_(store_, catalog_)
    {
        if (line.port)
            device_.SetPortName(*line.port);
        else if (store_.Load().empty())
            device_.SetPortName(DefaultPortName());
    }
    // A command that could not get the port, or whose unit fell silent, has printed its own
    // message by now; the reason and the way out follow it, and are what a --json document or a
    // run on many units reports.
    ~Session()
    {
        std::string line = service::PortFailureLine(device_.PortName(), device_.TakePortFailure());
        if (line.empty())
            line = service::SilenceLine(device_.TakeSilence());
        if (line.empty())
            return;
        line = WithDoctorHint(line);
        NoteError(line);
        std::fprintf(ErrorStream(), "%s\n", line.c_str());
        std::fflush(ErrorStream());
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    TDevice& Device() { return device_; }

private:
    SystemPortNameStore store_;
    SystemPortCatalog catalog_;
    TDevice device_;  // after the two it refers to
};

// Command-line text is UTF-8 on every platform; the path type would read a plain string in the
// Windows code page.
inline std::filesystem::path PathFromArgument(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace k64::cli
