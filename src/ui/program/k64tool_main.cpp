// k64tool: the desktop service tool.

#include "common/message_interface.h"
#include "platform/history_folder.h"
#include "platform/port_catalog.h"
#include "platform/port_name_store.h"
#include "service/about.h"
#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"
#include "ui/program_help.h"
#include "ui/running_mark.h"
#include "ui/screenshot.h"
#include "ui/settings_dialogs.h"
#include "ui/stop_signals.h"
#include "ui/widget_messages.h"

#include <QApplication>
#include <QEvent>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

// For the start-up benchmark: tells standard output when the main window has painted for the
// first time, and optionally ends the program right there.
class FirstPaintReport final : public QObject {
public:
    explicit FirstPaintReport(bool quit) : quit_(quit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Paint) {
            done_ = true;
            // After this paint has gone to the screen.
            QTimer::singleShot(0, [quit = quit_] {
                std::puts("painted");
                std::fflush(stdout);
                if (quit)
                    QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool quit_;
    bool done_ = false;
};

// --yes (for the end-to-end tests and the benchmark): every box is answered with its first
// button and written to standard error, as k64ctl --yes does.
class AnsweringMessages final : public k64::MessageInterface {
public:
    k64::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                   k64::MessageButtons buttons) override
    {
        const k64::MessageAnswer answer = k64::GoAnswer(buttons);
        std::fprintf(stderr, "%s: %s -> %s\n", caption.c_str(), text.c_str(),
                     answer == k64::MessageAnswer::Ok ? "ОК" : "Да");
        std::fflush(stderr);
        return answer;
    }
};

// --help and --version answer before the application starts, so that they work without a
// display.
std::optional<std::string> TerminalAnswer(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version")
            return k64::service::AboutText("k64tool");
        if (argument == "--help" || argument == "-h")
            return k64::ui::kProgramHelp;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<std::string> answer = TerminalAnswer(argc, argv)) {
        k64::ui::PrintProgramAnswer(*answer);
        return 0;
    }
    QApplication app(argc, argv);
    k64::ui::InstallRussianStandardTexts();
    const k64::ui::RunningMark running;

    // Hidden option for the documentation: --screenshot DIR.
    QString screenshotDirectory;
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype at = arguments.indexOf("--screenshot");
        at >= 0 && at + 1 < arguments.size())
        screenshotDirectory = arguments[at + 1];

    // Hidden options for the benchmark: --report-paint, --quit-after-paint, --show-diagnostic
    // (opens the diagnostic window as a double click on the log would).
    const bool quitAfterPaint = arguments.contains("--quit-after-paint");
    const bool reportPaint = quitAfterPaint || arguments.contains("--report-paint");
    const bool showDiagnostic = arguments.contains("--show-diagnostic");
    // --start-update firmware|sound presses that update button once the window is shown.
    QString startUpdate;
    if (const qsizetype at = arguments.indexOf("--start-update");
        at >= 0 && at + 1 < arguments.size())
        startUpdate = arguments[at + 1];
    AnsweringMessages answering;
    const bool answerYes = arguments.contains("--yes");

    // The serial port's own failures belong to no window.
    k64::ui::WidgetMessages ownerless;
    k64::SetOwnerlessMessages(&ownerless);

    k64::SystemPortNameStore store;
    k64::SystemPortCatalog catalog;
    k64::ui::TMainForm MainForm(k64::ui::MainFormPlatform{
        store, catalog, &k64::WindowPortList, k64::DefaultPortName(), nullptr, &k64::PresentPorts,
        k64::PortFolders(), k64::HistoryFolder()});
    k64::ui::TParametersEditForm ParametersEditForm(MainForm.ActiveDevice(), &MainForm);
    k64::ui::TDiagnosticForm DiagnosticForm(MainForm.ActiveDevice(), &MainForm);
    MainForm.SetForms(&ParametersEditForm, &DiagnosticForm);
    if (answerYes) {
        MainForm.SetMessageReceiver(&answering);
        ParametersEditForm.SetMessageReceiver(&answering);
    }
    // A logout or shutdown stops a running transfer at a block boundary instead of cutting it.
    k64::ui::StopSignals stopSignals([&MainForm] { MainForm.StopTransferThenQuit(); });

    int status = 0;
    if (!screenshotDirectory.isEmpty()) {
        status = k64::ui::TakeScreenshots(MainForm, ParametersEditForm, DiagnosticForm,
                                          screenshotDirectory);
    } else {
        FirstPaintReport paintReport(quitAfterPaint);
        if (reportPaint)
            MainForm.installEventFilter(&paintReport);
        MainForm.show();
        if (showDiagnostic)
            QTimer::singleShot(0, &MainForm, [&MainForm] { MainForm.Memo1DblClick(); });
        if (startUpdate == "firmware")
            QTimer::singleShot(0, &MainForm, [&MainForm] { MainForm.BlowUpdateButtonClick(); });
        else if (startUpdate == "sound")
            QTimer::singleShot(0, &MainForm, [&MainForm] { MainForm.WaveUpdateButtonClick(); });
        status = QApplication::exec();
    }
    k64::SetOwnerlessMessages(nullptr);
    return status;
}
