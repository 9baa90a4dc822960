#include "update_command.h"

#include "command_line.h"
#include "common/shared_texts.h"
#include "fleet_output.h"
#include "json_output.h"
#include "platform/history_folder.h"
#include "service/firmware_workflow.h"
#include "session.h"
#include "stop_signal.h"
#include "terminal.h"
#include "terminal_output.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/timer_pump.h"
#include "update/update_constants.h"
#include "update/update_view.h"
#include "workflow_output.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace k64::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kFirmwareCommand = "update-firmware";
constexpr std::string_view kSoundCommand = "update-sound";

// Redrawing the progress line more often than this only costs CPU; nobody reads faster.
constexpr std::chrono::milliseconds kRedrawInterval{100};

// --yes: every question is shown and answered with its first button; plain boxes go on to the
// terminal.
class AnsweringMessages final : public MessageInterface {
public:
    explicit AnsweringMessages(TerminalMessages& terminal) : terminal_(terminal) {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override
    {
        if (buttons == MessageButtons::Ok)
            return terminal_.ShowMessage(text, caption, buttons);
        const MessageAnswer answer = GoAnswer(buttons);
        const std::string line =
            caption + ": " + text + (answer == MessageAnswer::Ok ? " -> ОК\n" : " -> Да\n");
        std::fputs(line.c_str(), ErrorStream());
        std::fflush(ErrorStream());
        return answer;
    }

private:
    TerminalMessages& terminal_;
};

// The window of the transfers on a terminal: timers are flags that the pump reads, the
// progress bar becomes one redrawn line on standard error.
class TerminalUpdateView final : public UpdateView {
public:
    // The progress line goes to standard error when that is a terminal.
    explicit TerminalUpdateView(MessageInterface& messages)
        : messages_(messages), drawProgress_(IsTerminal(ErrorStream())),
          escapes_(TakesEscapes(ErrorStream()))
    {
    }

    // Where the bytes figure of the progress line comes from: sent so far, and in all.
    std::function<std::int64_t()> bytesSent;
    std::int64_t bytesTotal = 0;
    bool timer1 = false;
    bool timer2 = false;

    MessageInterface* MessageOwner() override
    {
        ClearProgressLine();
        return &messages_;
    }
    void AppendLog(const std::string& line) override
    {
        if (UnitStatus* status = CurrentUnitStatus())
            status->Stage(line);
        ClearProgressLine();
        PrintLine(line);
        std::fflush(TextStream());
    }
    void SetTitle(const std::string&) override {}
    void SetProgressMin(int min) override { min_ = min; }
    void SetProgressMax(int max) override { max_ = max; }
    void SetProgressStep(int step) override { step_ = step; }
    void SetProgressPosition(int position) override { position_ = position; }
    void StepProgress() override
    {
        position_ += step_;
        if (UnitStatus* status = CurrentUnitStatus())
            status->Progress(position_ - min_, max_ - min_);
        const Clock::time_point now = Clock::now();
        if (position_ >= max_ || now - drawn_ >= kRedrawInterval)
            Draw(now);
    }
    void SetBlowButtonCaption(const std::string&) override {}
    void SetBlowButtonEnabled(bool) override {}
    void FocusBlowButton() override {}
    void SetWaveButtonCaption(const std::string&) override {}
    void SetTimer1Enabled(bool enabled) override
    {
        timer1 = enabled;
        Arm(enabled);
    }
    void SetTimer2Enabled(bool enabled) override
    {
        timer2 = enabled;
        Arm(enabled);
    }

    void Finish() { ClearProgressLine(); }

private:
    // The rate counts from the first block on, not from the prepare request before it.
    void Arm(bool enabled)
    {
        if (enabled && position_ == min_)
            started_ = Clock::now();
    }
    void Draw(Clock::time_point now)
    {
        if (!drawProgress_)
            return;
        drawn_ = now;
        const double seconds = std::chrono::duration<double>(now - started_).count();
        const std::int64_t sent = bytesSent ? bytesSent() : 0;
        const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0;
        const long left = rate > 0 ? static_cast<long>((bytesTotal - sent) / rate + 0.5) : 0;
        char line[160];
        std::snprintf(line, sizeof line,
                      "%d/%d блоков  %lld/%lld байт  %.1f КБ/с  осталось %ld:%02ld",
                      position_ - min_, max_ - min_, static_cast<long long>(sent),
                      static_cast<long long>(bytesTotal), rate / 1024, left / 60, left % 60);
        Overwrite(line);
        lineShown_ = true;
    }
    void ClearProgressLine()
    {
        if (!lineShown_)
            return;
        Overwrite("");
        std::fputs("\r", ErrorStream());
        std::fflush(ErrorStream());
        lineShown_ = false;
    }
    // `text` in place of the line shown: the rest erased with an escape sequence, or on a
    // console that takes none with blanks over what the longer line before left.
    void Overwrite(const std::string& text)
    {
        std::size_t columns = 0;
        for (const char c : text)
            columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        std::string out = "\r" + text;
        if (escapes_)
            out += "\033[K";
        else if (columns < shownColumns_)
            out.append(shownColumns_ - columns, ' ');
        shownColumns_ = columns;
        std::fputs(out.c_str(), ErrorStream());
        std::fflush(ErrorStream());
    }

    MessageInterface& messages_;
    bool drawProgress_;
    bool escapes_;
    bool lineShown_ = false;
    std::size_t shownColumns_ = 0;
    int min_ = 0, max_ = 100, step_ = 10, position_ = 0;
    Clock::time_point started_ = Clock::now();
    Clock::time_point drawn_{};
};

// An update stopped by a signal ends as shells expect of one (130 for Ctrl-C, 143 for SIGTERM);
// one that committed before the signal came still succeeded.
int ExitStatus(UpdateOutcome outcome)
{
    if (outcome == UpdateOutcome::Committed)
        return kExitSuccess;
    if (stopRequested == 0)
        return kExitFailure;
    NoteError(update::text::kLogCancelled);
    return 128 + stopRequested;
}

int RunFirmware(DeviceInterface& device, TerminalUpdateView& view, FirmwareUpdate& firmware,
                service::FirmwareSafetyNet* net)
{
    if (!firmware.LoadFirmwareImage()) {
        PrintError("встроенная прошивка недоступна");
        return kExitFailure;
    }
    view.bytesTotal = std::int64_t{firmware.BlowSize} + update::kHeadSize;
    view.bytesSent = [&firmware] { return std::int64_t{firmware.BlowSendPos}; };
    const ScopedStopSignal stop;
    firmware.BlowUpdateButtonClick(&device);
    update::PumpTimer(
        update::kTimer1Interval,
        [&] {
            if (stopRequested != 0)
                firmware.Stop();
            return view.timer1;
        },
        [&] { firmware.Timer1Timer(&device); });
    view.Finish();
    const int status = ExitStatus(firmware.Outcome());
    const std::optional<service::AfterUpdate> after = net ? net->AfterTick(device) : std::nullopt;
    if (!after)
        return status;
    switch (*after) {
    case service::AfterUpdate::NotRead:
        std::fputs(
            "k64ctl: настройки после обновления не прочитаны; прежние: k64ctl restore latest\n",
            ErrorStream());
        return status;
    case service::AfterUpdate::Restored:
        ShowMessage(view.MessageOwner(), texts::kSettingsRestored, texts::kMessage);
        return status;
    case service::AfterUpdate::RestoreFailed: return kExitFailure;
    case service::AfterUpdate::Unchanged:
    case service::AfterUpdate::Declined: return status;
    }
    return status;
}

int RunSound(DeviceInterface& device, TerminalUpdateView& view)
{
    SoundUpdate sound(view);
    if (!sound.LoadSoundData()) {
        PrintError("встроенные звуковые данные недоступны");
        return kExitFailure;
    }
    view.bytesTotal = static_cast<std::int64_t>(sound.ContainerSize());
    view.bytesSent = [&sound] { return std::int64_t{sound.WaveSent}; };
    // A stop signal during a sound transfer ends it between two blocks, as "Стоп" answered Yes.
    const ScopedStopSignal stop;
    sound.WaveUpdateButtonClick(&device);
    update::PumpTimer(
        update::kTimer2Interval,
        [&] {
            if (stopRequested != 0)
                sound.Stop();
            return view.timer2;
        },
        [&] { sound.Timer2Timer(&device); });
    view.Finish();
    return ExitStatus(sound.Outcome());
}

}  // namespace

int RunUpdateCommand(const CommandLine& line, TerminalMessages& messages)
{
    if (line.command != kFirmwareCommand && line.command != kSoundCommand)
        return kExitUsage;
    Session session(line);
    TDevice& device = session.Device();
    AnsweringMessages answering(messages);
    MessageInterface& owner = line.yes ? static_cast<MessageInterface&>(answering) : messages;
    TerminalUpdateView view(owner);
    if (line.command == kSoundCommand)
        return RunSound(device, view);

    FirmwareUpdate firmware(view);
    if (line.noBackup)
        return RunFirmware(device, view, firmware, nullptr);
    ParameterList schema(&messages);
    if (!schema.LoadError().empty())
        return kExitFailure;
    TerminalWorkflowView workflow(owner, line.restoreSettings);
    service::FirmwareSafetyNet net(firmware, schema, HistoryFolder(), workflow);
    return RunFirmware(device, view, firmware, &net);
}

}  // namespace k64::cli
