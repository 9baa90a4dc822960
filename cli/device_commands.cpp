#include "device_commands.h"

#include "common/cp1251.h"
#include "common/error_reason.h"
#include "common/shared_texts.h"
#include "device/device.h"
#include "json_output.h"
#include "parameters/parameter_list.h"
#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "platform/port_catalog.h"
#include "platform/port_name_store.h"
#include "service/diagnostic_reader.h"
#include "service/diagnostic_recording.h"
#include "session.h"
#include "settings_commands.h"
#include "stop_signal.h"
#include "terminal_output.h"
#include "update/version_check.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace k64::cli {

int RunFind(TerminalMessages& messages)
{
    SystemPortNameStore store;
    SystemPortCatalog catalog;
    TDevice device(store, catalog);
    // The search reports found or not found itself and stores the port it finds.
    if (!device.FindPort(&messages))
        return kExitFailure;
    if (JsonMode()) {
        std::uint32_t id = 0;
        std::string text;
        VersionInfo info{};
        const bool identified = Succeeded(device.GetId(&id));
        if (Answered(device.GetVersion(&text)))
            device.ParseVersion(&info, text);
        SetJsonResult({{"port", device.PortName()},
                       {"serial", identified ? Json(UnitSerial(id)) : Json(nullptr)},
                       {"type", JsonText(update::FieldText(info.Type))},
                       {"version", JsonText(update::FieldText(info.Version))}});
    }
    return kExitSuccess;
}

int RunId(const CommandLine& line, TerminalMessages& messages)
{
    Session session(line);
    std::uint32_t id = 0;
    if (!Succeeded(session.Device().GetId(&id))) {
        ShowMessage(&messages, texts::kDeviceBusyStop, texts::kLoadImpossible);
        return kExitFailure;
    }
    if (JsonMode())
        SetJsonResult({{"port", session.Device().PortName()}, {"serial", UnitSerial(id)}});
    // Shown signed, as the desktop program logs it: ids from 2^31 up come out negative.
    PrintLine("Серийный номер устройства " + std::to_string(static_cast<std::int32_t>(id)));
    return kExitSuccess;
}

int RunVersion(const CommandLine& line, TerminalMessages& messages)
{
    Session session(line);
    std::string text;
    if (!Answered(session.Device().GetVersion(&text))) {
        ShowMessage(&messages, texts::kDeviceBusy, texts::kError);
        return kExitFailure;
    }
    VersionInfo info{};
    session.Device().ParseVersion(&info, text);
    if (JsonMode()) {
        SetJsonResult({{"port", session.Device().PortName()},
                       {"type", JsonText(update::FieldText(info.Type))},
                       {"shown_type", JsonText(update::ShownType(info))},
                       {"version", JsonText(update::FieldText(info.Version))},
                       {"build_date", JsonText(update::FieldText(info.BuildDate))}});
    }
    // The window's log keeps its labels as they have always been; here the colons line up.
    PrintLine("Тип устройства  : " + ForTerminal(update::ShownType(info)));
    PrintLine("Версия прошивки : " + ForTerminal(update::FieldText(info.Version)));
    return kExitSuccess;
}

int RunReadSettings(const CommandLine& line, TerminalMessages& messages)
{
    ParameterList list(&messages);
    if (!list.LoadError().empty())
        return kExitFailure;
    Session session(line);
    std::uint32_t id = 0;
    std::string text;
    // The serial number only for the document: plain text output stays one exchange.
    if ((JsonMode() && !Succeeded(session.Device().GetId(&id))) ||
        !Succeeded(session.Device().ReadSettings(&text))) {
        ShowMessage(&messages, texts::kDeviceBusyStop, texts::kLoadImpossible);
        return kExitFailure;
    }
    list.ReadText(std::move(text));
    if (JsonMode()) {
        Json settings = Json::object();
        for (const Parameter& p : list.parameters)
            settings[Cp1251ToUtf8(p.key)] = JsonText(p.value);
        SetJsonResult({{"port", session.Device().PortName()},
                       {"serial", UnitSerial(id)},
                       {"settings", std::move(settings)}});
    }
    if (line.output)
        return SaveSettingsTo(*line.output, list, messages) ? kExitSuccess : kExitFailure;
    if (!JsonMode()) {
        for (const Parameter& p : list.parameters)
            PrintLine(ForTerminal(p.key) + "=" + ForTerminal(p.value));
    }
    return kExitSuccess;
}

int RunDiag(const CommandLine& line, TerminalMessages& messages)
{
    using Clock = std::chrono::steady_clock;
    // A wait is cut into slices so that Ctrl-C and the end of the run are noticed promptly.
    constexpr auto kSlice = std::chrono::milliseconds(100);

    // A file that cannot be written is told before the unit is asked for anything.
    std::unique_ptr<service::DiagnosticRecording> recording;
    if (line.csv) {
        recording = std::make_unique<service::DiagnosticRecording>(
            AppendFile::Create(PathFromArgument(*line.csv)));
        if (const std::optional<std::string> failure = recording->NewFailure()) {
            ShowMessage(&messages, *failure, texts::kError);
            return kExitFailure;
        }
    }
    Session session(line);
    TDevice& device = session.Device();
    if (!Answered(device.EnableDiagnosticMode())) {
        ShowMessage(&messages, texts::kDeviceBusy, texts::kError);
        return kExitFailure;
    }
    const ScopedStopSignal stop;
    service::DiagnosticReader reader;
    reader.Start(std::move(recording));
    const bool forever = !line.seconds;
    const Clock::time_point end =
        Clock::now() +
        std::chrono::milliseconds(static_cast<long long>(line.seconds.value_or(0) * 1000));

    // What the window's three labels show; printed when it changes, as the labels would.
    std::array<std::string, 3> axes;
    int status = kExitSuccess;
    bool ended = false;
    // The recording has the rows already; a failure of it ends the run.
    const auto recorded = [&](const service::DiagnosticChunk& chunk) {
        if (!chunk.recordingFailure)
            return;
        ShowMessage(&messages, *chunk.recordingFailure, texts::kError);
        status = kExitFailure;
        ended = true;
    };
    const auto show = [&](const std::vector<DiagnosticEvent>& events) {
        static constexpr const char* kAxisNames[] = {"X = ", "Y = ", "Z = "};
        for (const DiagnosticEvent& e : events) {
            if (e.kind == DiagnosticEvent::Kind::Line) {
                PrintLine(ForTerminal(e.line));
                continue;
            }
            std::string text = kAxisNames[e.axis] + std::to_string(e.value);
            if (text != axes[e.axis]) {
                axes[e.axis] = text;
                PrintLine(text);
            }
        }
        if (std::fflush(TextStream()) == 0)
            return;
        // The reader went away (diag --csv x.csv | head -1): nothing to say, nobody to say it
        // to; the run ends as if its time were up.
        if (errno != EPIPE) {
            PrintError(ErrorReason(errno));
            status = kExitFailure;
        }
        ended = true;
    };
    while (stopRequested == 0 && !ended) {
        const auto now = Clock::now();
        if (!forever && now >= end)
            break;
        const auto slice =
            forever ? kSlice
                    : std::min<std::chrono::milliseconds>(
                          kSlice, std::chrono::ceil<std::chrono::milliseconds>(end - now));
        const service::DiagnosticChunk chunk = reader.Read(device, slice);
        if (chunk.hungUp) {
            ShowMessage(&messages, texts::kDeviceBusy, texts::kError);
            status = kExitFailure;
            break;
        }
        recorded(chunk);
        if (chunk.received)
            show(chunk.events);
    }
    recorded(reader.Finish());
    device.ClosePort();
    return status;
}

}  // namespace k64::cli
