#include "ui/Diagnostic.h"

#include "platform/portable.h"
#include "ui/accel_plot.h"
#include "ui/display_text.h"
#include "ui/form_fonts.h"
#include "ui/help.h"
#include "ui/settings_dialogs.h"
#include "ui/ui_texts.h"
#include "ui/widget_messages.h"
#include "ui/window_fit.h"

#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>

namespace k64::ui {
namespace {

constexpr int kClientWidth = 408;
constexpr int kClientHeight = 481;
constexpr int kMemoTop = 96;
// Small enough for any screen, large enough for the labels, a plot one can read and a few lines
// of the memo.
constexpr int kMinWidth = 320;
constexpr int kMinHeight = kMemoTop + 120;
// The plot takes the free area right of the labels, above the memo.
constexpr int kPlotLeft = 200;
constexpr int kPlotMargin = 4;
// As often as the message loop allows while the unit sends: a tick only reads what is already
// there. A quiet line is looked at less often, so an open window waiting for a unit that sends
// nothing costs next to nothing; the first bytes after a pause wait at most this long.
constexpr std::chrono::milliseconds kPollInterval{1};
constexpr std::chrono::milliseconds kQuietPollInterval{50};

QLabel* MakeLabel(QWidget* parent, const char* name, int top)
{
    auto* label = new QLabel(QString::fromUtf8(name), parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(104, top);
    label->adjustSize();
    return label;
}

// The user's cache folder (~/.cache/k64, %LOCALAPPDATA%\cache\k64): the recording is not the
// user's document until it is saved. A portable copy keeps it beside itself, off the profile.
QString RecordingFolder()
{
    if (PortableSettingsFile())
        return QString::fromStdWString((ProgramFolder() / L"cache").wstring());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return (cache.isEmpty() ? QDir::tempPath() : cache) + "/k64";
}

}  // namespace

TDiagnosticForm::TDiagnosticForm(DeviceSlot& devices, QWidget* parent)
    : QDialog(parent), devices_(devices)
{
    setObjectName("DiagnosticForm");
    setFont(FormFont());
    setWindowTitle(QString::fromUtf8(text::kDiagnosticCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kMinWidth, kMinHeight);

    Label1 = MakeLabel(this, "Label1", 8);
    Label2 = MakeLabel(this, "Label2", 27);
    Label3 = MakeLabel(this, "Label3", 46);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setPlainText("Memo1");
    Memo1->setGeometry(0, kMemoTop, kClientWidth, kClientHeight - kMemoTop);
    Memo1->installEventFilter(this);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { Memo1ContextMenu(position); });

    connect(Memo1->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { followTail_ = value >= Memo1->verticalScrollBar()->maximum(); });

    plot_ = new AccelPlot(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kPollInterval);
    InstallGuideKey(this, kGuideDiagnostic);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    // Recordings of windows that were killed (or of a computer switched off) are nobody's now.
    AppendFile::RemoveAbandoned(ToPath(RecordingFolder()));
}

void TDiagnosticForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // Docked to the bottom: all the width and everything below the labels.
    Memo1->setGeometry(0, kMemoTop, width(), std::max(0, height() - kMemoTop));
    plot_->setGeometry(kPlotLeft, kPlotMargin, std::max(0, width() - kPlotLeft - kPlotMargin),
                       kMemoTop - 2 * kPlotMargin);
    ScrollToTail();
}

void TDiagnosticForm::setVisible(bool visible)
{
    // Placed at the top-left corner of the screen the main window is on, before the dialog would
    // centre itself over its parent.
    if (visible && !isVisible()) {
        const QScreen* screen =
            parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        ShrinkToScreen(this, screen);
        if (screen)
            move(screen->availableGeometry().topLeft());
    }
    QDialog::setVisible(visible);
}

void TDiagnosticForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        ScrollToTail();
    }
    QDialog::showEvent(event);
}

void TDiagnosticForm::ScrollToTail()
{
    if (!followTail_)
        return;
    // The memo lays its lines out anew after a resize; its scroll range is known only then.
    QTimer::singleShot(0, this, [this] {
        if (followTail_)
            Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
    });
}

void TDiagnosticForm::FormShow()
{
    plot_->Clear();
    reader_.Start(std::make_unique<service::DiagnosticRecording>(
        AppendFile::CreateTemporary(ToPath(RecordingFolder()))));
    LogRecordingFailure(reader_.Recording()->NewFailure());
    if (devices_)
        (void)devices_->EnableDiagnosticMode();
    Timer1->start(kPollInterval);
}

void TDiagnosticForm::Timer1Timer()
{
    // A request of another window is waiting on the port; this tick leaves it alone.
    if (devices_.WaitRunning())
        return;
    Timer1->setInterval(PollTelemetry() ? kPollInterval : kQuietPollInterval);
}

bool TDiagnosticForm::PollTelemetry()
{
    if (!devices_)
        return false;
    const service::DiagnosticChunk chunk = reader_.Read(*devices_.get());
    LogRecordingFailure(chunk.recordingFailure);
    for (const DiagnosticEvent& event : chunk.events)
        Show(event, chunk.at);
    return chunk.received;
}

void TDiagnosticForm::Show(const DiagnosticEvent& event, std::chrono::milliseconds at)
{
    if (event.kind == DiagnosticEvent::Kind::Axis) {
        plot_->AddValue(event.axis, at, event.value);
        QLabel* labels[3] = {Label1, Label2, Label3};
        QLabel* label = labels[std::clamp(event.axis, 0, 2)];
        label->setText(QString::fromUtf8(text::kAxisPrefixes[std::clamp(event.axis, 0, 2)]) +
                       QString::number(event.value));
        label->adjustSize();
    } else {
        const bool follow = followTail_;
        Memo1->appendPlainText(FromCp1251(event.line));
        if (follow)
            Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
    }
}

void TDiagnosticForm::Memo1ContextMenu(const QPoint& position)
{
    std::unique_ptr<QMenu> menu(Memo1->createStandardContextMenu());
    menu->addSeparator();
    menu->addAction(QString::fromUtf8(text::kSaveRecording), this, [this] {
        const QString fileName =
            ChooseFileToSave(this, text::kRecordingFilter, text::kRecordingSuffix);
        if (!fileName.isEmpty())
            SaveRecording(fileName);
    });
    menu->exec(Memo1->mapToGlobal(position));
}

void TDiagnosticForm::SaveRecording(const QString& fileName)
{
    if (!reader_.Recording())
        return;
    if (const std::optional<std::string> failure = reader_.Recording()->SaveCopy(ToPath(fileName)))
        WidgetMessages(this).ShowMessage(*failure, texts::kError, MessageButtons::Ok);
}

void TDiagnosticForm::LogRecordingFailure(const std::optional<std::string>& failure)
{
    if (failure)
        Memo1->appendPlainText(QString::fromStdString(*failure));
}

void TDiagnosticForm::FormClose()
{
    // Stopped rather than left ticking on a closed port: the same outcome without waking up
    // every millisecond.
    Timer1->stop();
    (void)reader_.Finish();
    if (devices_)
        devices_->ClosePort();
}

void TDiagnosticForm::done(int result)
{
    if (isVisible()) {
        if (devices_.WaitRunning())
            return;
        FormClose();
    }
    QDialog::done(result);
}

bool TDiagnosticForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace k64::ui
