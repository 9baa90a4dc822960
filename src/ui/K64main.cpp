#include "ui/K64main.h"

#include "parameters/settings_file.h"
#include "parameters/settings_history.h"
#include "service/connection_check.h"
#include "ui/Diagnostic.h"
#include "ui/Parametrsedit.h"
#include "ui/display_text.h"
#include "ui/eliding_line_edit.h"
#include "ui/event_loop_wait.h"
#include "ui/form_fonts.h"
#include "ui/help.h"
#include "ui/port_watch.h"
#include "ui/ui_texts.h"
#include "ui/window_fit.h"
#include "update/update_constants.h"
#include "update/version_check.h"
#include "wait_cursor.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace k64::ui {
namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 505;
// The log starts below the buttons; at the designed height it is 177 pixels high, and every
// pixel the window grows by goes to it.
constexpr int kMemoTop = 312;
constexpr int kProgressHeight = 16;
// The fewest log lines the window keeps in view when it is made smaller.
constexpr int kMinLogLines = 2;
constexpr int kPortListLines = 25;
// A plugged cable makes several changes in a row; they are taken as one.
constexpr std::chrono::milliseconds kPortSettle{200};
// While the window is busy a change waits; it is looked at again after this long.
constexpr std::chrono::milliseconds kPortBusyRetry{500};

QString Utf8(const std::string& text) { return QString::fromStdString(text); }
QString Utf8(const char* text) { return QString::fromUtf8(text); }

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

// Hints are kept with their controls but the window never shows hint pop-ups.
void StoreHint(QWidget* widget, const char* hint) { widget->setAccessibleDescription(Utf8(hint)); }

}  // namespace

TMainForm::TMainForm(MainFormPlatform platform, QWidget* parent)
    : QWidget(parent), platform_(std::move(platform)), messages_(this)
{
    setObjectName("MainForm");
    messages_.SetReceiver(platform_.messages);
    BuildControls();

    // 1. The device object, on whatever name is stored at this moment.
    activeDevice_.Replace(NewDevice());
    activeDevice_.SetFailureLog([this](const std::string& line) { AppendLog(line); });
    // 2, 3. The embedded images: title and the two update buttons. The program carries both, and
    // a transfer with nothing loaded ignores its button, so there is nothing to tell here.
    static_cast<void>(firmware_.LoadFirmwareImage());
    static_cast<void>(sound_.LoadSoundData());
    // 4. Empty log and port box.
    Memo1->clear();
    {
        const QSignalBlocker blocker(PortComboBox);
        PortComboBox->clear();
        PortComboBox->setEditText(QString());
    }
    // 5. The stored name, or the default stored in its place.
    const std::string stored = StoredPortOrDefault();
    // 6. The port list.
    {
        const QSignalBlocker blocker(PortComboBox);
        for (const std::string& name : platform_.portList())
            PortComboBox->addItem(Utf8(name));
        PortComboBox->setCurrentIndex(-1);
        PortComboBox->setEditText(QString());
    }
    // 7. Select the stored name when the list has it.
    SelectStoredPort(stored);
    // 8. The parameter list, kept for the window's lifetime.
    parameters_ = std::make_unique<ParameterList>(this);
    safetyNet_.emplace(firmware_, *parameters_, platform_.historyFolder, workflowView_);

    // The port list follows the cable: told by the system, never by polling.
    if (platform_.presentPorts) {
        present_ = platform_.presentPorts();
        portRefresh_ = new QTimer(this);
        portRefresh_->setSingleShot(true);
        connect(portRefresh_, &QTimer::timeout, this, [this] { RefreshPortList(); });
        auto* watch = new PortWatch(platform_.portFolders, this);
        connect(watch, &PortWatch::Changed, this, [this] { portRefresh_->start(kPortSettle); });
    }
}

TMainForm::~TMainForm()
{
    // The transfers and the device outlive no widget they talk to; a transfer lets its port go
    // before the device object goes.
    StopTransfer();
    Timer1->stop();
    Timer2->stop();
    activeDevice_.Reset();
}

void TMainForm::BuildControls()
{
    setFont(FormFont());
    // The buttons keep their places in a block of the designed width, centred when the window is
    // wider.
    Controls = new QWidget(this);
    Controls->setObjectName("Controls");
    Controls->setGeometry(0, 0, kClientWidth, kMemoTop);

    GroupBox1 = new QGroupBox(Utf8(text::kPortGroup), Controls);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(20, 16, 277, 89);

    PortComboBox = new QComboBox(GroupBox1);
    PortComboBox->setObjectName("PortComboBox");
    PortComboBox->setGeometry(16, 33, 113, 21);
    // Long port names (/dev/serial/by-id/...) are cut in the middle, whole in the tooltip.
    PortComboBox->setLineEdit(new ElidingLineEdit(PortComboBox));
    PortComboBox->view()->setTextElideMode(Qt::ElideMiddle);
    PortComboBox->setInsertPolicy(QComboBox::NoInsert);
    PortComboBox->setMaxVisibleItems(kPortListLines);
    // Every keystroke is a port name of its own; completing "C" to the first entry would store
    // a name the user never typed.
    PortComboBox->setCompleter(nullptr);
    StoreHint(PortComboBox, text::kPortHint);

    FindPortButton =
        MakeButton(GroupBox1, "FindPortButton", Utf8(text::kFindPort), 168, 31, 89, 25);
    StoreHint(FindPortButton, text::kFindPortHint);

    BlowUpdateButton = MakeButton(Controls, "BlowUpdateButton", QString(), 20, 125, 277, 25);
    StoreHint(BlowUpdateButton, text::kBlowHint);
    WaveUpdateButton = MakeButton(Controls, "WaveUpdateButton", QString(), 20, 156, 277, 25);
    ReadButton = MakeButton(Controls, "ReadButton", Utf8(text::kRead), 20, 187, 277, 25);
    OpenFileButton =
        MakeButton(Controls, "OpenFileButton", Utf8(text::kOpenFile), 20, 218, 277, 25);
    GetSerialButton =
        MakeButton(Controls, "GetSerialButton", Utf8(text::kGetSerial), 20, 265, 129, 25);
    GetVersionButton =
        MakeButton(Controls, "GetVersionButton", Utf8(text::kGetVersion), 168, 265, 129, 25);
    // Enter presses the focused button, as Space does.
    for (QPushButton* button : Controls->findChildren<QPushButton*>())
        button->installEventFilter(this);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->viewport()->installEventFilter(this);
    // Tab moves on to the serial number and version buttons; the log is no place for a tab.
    Memo1->setTabChangesFocus(true);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QPlainTextEdit::customContextMenuRequested, this, [this](const QPoint& at) {
        CreateLogMenu()->exec(Memo1->viewport()->mapToGlobal(at));
    });

    SaveProgress = new QProgressBar(this);
    SaveProgress->setObjectName("SaveProgress");
    SaveProgress->setTextVisible(false);
    SaveProgress->setRange(0, 100);
    SaveProgress->setValue(0);

    // Every button and two log lines stay in view; smaller, the log would cover the buttons.
    const int logLines =
        kMinLogLines * Memo1->fontMetrics().lineSpacing() +
        2 * (Memo1->frameWidth() + static_cast<int>(Memo1->document()->documentMargin()));
    setMinimumSize(kClientWidth, kMemoTop + logLines + kProgressHeight);
    // Docked to the bottom: the progress bar below, the log above it (resizeEvent). Centred on
    // the screen it opens on, and made smaller where the screen is smaller than the window.
    resize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        ShrinkToScreen(this, screen);
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        MoveIntoScreen(this, screen);
    }
    InstallGuideKey(this, kGuideMainWindow);

    QWidget::setTabOrder(BlowUpdateButton, ReadButton);
    QWidget::setTabOrder(ReadButton, SaveProgress);
    QWidget::setTabOrder(SaveProgress, WaveUpdateButton);
    QWidget::setTabOrder(WaveUpdateButton, OpenFileButton);
    QWidget::setTabOrder(OpenFileButton, PortComboBox);
    QWidget::setTabOrder(PortComboBox, FindPortButton);
    QWidget::setTabOrder(FindPortButton, Memo1);
    QWidget::setTabOrder(Memo1, GetSerialButton);
    QWidget::setTabOrder(GetSerialButton, GetVersionButton);

    // Both timers start when their transfer starts: an idle window wakes nobody up.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(update::kTimer1Interval);
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(update::kTimer2Interval);

    connect(PortComboBox, &QComboBox::editTextChanged, this, [this] { PortComboBoxChange(); });
    connect(FindPortButton, &QPushButton::clicked, this, [this] { FindPortButtonClick(); });
    connect(BlowUpdateButton, &QPushButton::clicked, this, [this] { BlowUpdateButtonClick(); });
    connect(WaveUpdateButton, &QPushButton::clicked, this, [this] { WaveUpdateButtonClick(); });
    connect(ReadButton, &QPushButton::clicked, this, [this] { ReadButtonClick(); });
    connect(OpenFileButton, &QPushButton::clicked, this, [this] { OpenFileButtonClick(); });
    connect(GetSerialButton, &QPushButton::clicked, this, [this] { GetSerialButtonClick(); });
    connect(GetVersionButton, &QPushButton::clicked, this, [this] { GetVersionButtonClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
}

void TMainForm::SetForms(TParametersEditForm* editForm, TDiagnosticForm* diagnosticForm)
{
    editForm_ = editForm;
    diagnosticForm_ = diagnosticForm;
    if (editForm_) {
        editForm_->SetHistoryFolder(platform_.historyFolder);
        editForm_->SetLog([this](const std::string& line) { AppendLog(line); });
    }
}

std::unique_ptr<TDevice> TMainForm::NewDevice()
{
    return std::make_unique<TDevice>(platform_.store, platform_.catalog);
}

std::string TMainForm::StoredPortOrDefault()
{
    std::string name = platform_.store.Load();
    if (name.empty()) {
        name = platform_.defaultPortName;
        platform_.store.Save(name);
        // The device object was made before the default existed; bind it to what the box will
        // show, or it would fail every request while the box names a port.
        if (activeDevice_ && activeDevice_->PortName().empty())
            activeDevice_->SetPortName(name);
    }
    return name;
}

void TMainForm::SelectStoredPort(const std::string& name)
{
    const QSignalBlocker blocker(PortComboBox);
    const QString wanted = Utf8(name);
    for (int i = 0; i < PortComboBox->count(); ++i) {
        if (PortComboBox->itemText(i) == wanted)
            PortComboBox->setCurrentIndex(i);
    }
}

bool TMainForm::TransferActive() const { return firmware_.BlowActive || sound_.Running(); }

TMainForm::Transfer TMainForm::HoldingTransfer() const
{
    if (firmware_.BlowActive)
        return Transfer::Firmware;
    if (sound_.Running())
        return Transfer::Sound;
    return starting_;
}

void TMainForm::UpdateButtons()
{
    const Transfer holding = HoldingTransfer();
    // The running update's own button is its own business: disabled for the firmware, "Стоп" for
    // the sound.
    BlowUpdateButton->setEnabled(blowEnabled_ && holding != Transfer::Sound);
    WaveUpdateButton->setEnabled(holding != Transfer::Firmware);
    FindPortButton->setEnabled(holding == Transfer::None);
}

void TMainForm::PortComboBoxChange()
{
    const std::string name = PortComboBox->currentText().toStdString();
    (void)platform_.store.Load();
    platform_.store.Save(name);
    if (activeDevice_) {
        // The rest of the image must not go to another port, and the hold belongs to the old one.
        StopTransfer();
        activeDevice_.Replace(NewDevice());
    }
}

void TMainForm::FindPortButtonClick()
{
    // A search rebinds the device and would move the port from under a running transfer.
    if (!activeDevice_ || HoldingTransfer() != Transfer::None)
        return;
    bool found = false;
    {
        WaitCursor cursor;
        found = activeDevice_->FindPort(this);
    }
    if (found)
        SelectStoredPort(StoredPortOrDefault());
}

bool TMainForm::PortListBusy() const
{
    return activeDevice_.WaitRunning() || TransferActive() ||
           (diagnosticForm_ && diagnosticForm_->isVisible()) || PortComboBox->view()->isVisible();
}

void TMainForm::RefreshPortList()
{
    if (PortListBusy()) {
        portRefresh_->start(kPortBusyRetry);
        return;
    }
    QStringList before;
    for (int i = 0; i < PortComboBox->count(); ++i)
        before << PortComboBox->itemText(i);
    QStringList now;
    for (const std::string& name : platform_.portList())
        now << Utf8(name);
    // Neither the user's text nor the stored name changes: this is not the user's edit.
    const QString typed = PortComboBox->currentText();
    if (now != before) {
        const QSignalBlocker blocker(PortComboBox);
        PortComboBox->clear();
        PortComboBox->addItems(now);
        PortComboBox->setCurrentIndex(now.indexOf(typed));
        PortComboBox->setEditText(typed);
    }

    // Where the list is fixed (numbered ports) only the presence of a port changes.
    std::vector<std::string> present = platform_.presentPorts();
    const std::string stored = platform_.store.Load();
    const auto has = [&stored](const std::vector<std::string>& ports) {
        return std::find(ports.begin(), ports.end(), stored) != ports.end();
    };
    const bool was = has(present_);
    const bool is = has(present);
    present_ = std::move(present);
    if (stored.empty())
        return;
    if (is && !was) {
        AppendLog(text::kLogPortAppeared + stored);
        // An empty box shows the stored port once it is there, as at start-up.
        if (typed.isEmpty())
            SelectStoredPort(stored);
    } else if (was && !is) {
        AppendLog(text::kLogPortGone + stored);
    }
}

void TMainForm::BlowUpdateButtonClick()
{
    // One transfer at a time: the blocks of two would interleave and spoil both.
    if (HoldingTransfer() != Transfer::None)
        return;
    starting_ = Transfer::Firmware;
    UpdateButtons();
    firmware_.BlowUpdateButtonClick(activeDevice_.get());
    starting_ = Transfer::None;
    UpdateButtons();
}

void TMainForm::StopTransfer()
{
    firmware_.Stop();
    sound_.Stop();
    UpdateButtons();
}

void TMainForm::StopTransferThenQuit()
{
    quitting_ = true;
    // The block under way is answered first; nothing is sent after it.
    if (activeDevice_)
        activeDevice_->EndExchanges();
    AfterWait([this] {
        StopTransfer();
        DropHeldInput();
        QCoreApplication::quit();
    });
}

void TMainForm::LogAfterUpdate(service::AfterUpdate after)
{
    if (after == service::AfterUpdate::Restored)
        AppendLog(texts::kSettingsRestored);
    else if (after == service::AfterUpdate::NotRead)
        AppendLog(text::kLogOldSettingsAt + ShownPath(safetyNet_->KeptEntry()));
}

void TMainForm::WaveUpdateButtonClick()
{
    // "Стоп" of a running sound transfer is this button too.
    if (HoldingTransfer() == Transfer::Firmware)
        return;
    if (!sound_.Running()) {
        starting_ = Transfer::Sound;
        UpdateButtons();
    }
    sound_.WaveUpdateButtonClick(activeDevice_.get());
    starting_ = Transfer::None;
    UpdateButtons();
}

void TMainForm::ReadButtonClick()
{
    if (activeDevice_) {
        service::Backup read;
        {
            WaitCursor cursor;
            read = service::KeepUnitSettings(*activeDevice_.get(), *parameters_,
                                             platform_.historyFolder, workflowView_);
        }
        if (!read.kept) {
            ShowMessage(texts::kDeviceBusyStop, texts::kLoadImpossible, MessageButtons::Ok);
            return;
        }
        *parameters_ = std::move(read.kept->settings);
        if (!read.failure.empty())
            AppendLog(read.failure);
        else if (read.kept->serial == kUnknownUnit && read.Stored())
            AppendLog(text::kLogSerialUnknown);
    }
    ShowEditor();
}

void TMainForm::OpenFileButtonClick()
{
    const QString fileName = chooseFile_(this, false);
    if (fileName.isEmpty())
        return;
    const std::filesystem::path path = ToPath(fileName);
    const SettingsFileResult result = ReadSettingsFile(path, *parameters_);
    if (!result.Ok()) {
        ShowMessage(DescribeSettingsFileResult(result, path), texts::kError, MessageButtons::Ok);
        return;
    }
    ShowEditor();
}

void TMainForm::ShowEditor()
{
    if (!editForm_ || quitting_)
        return;
    editForm_->SetParameters(parameters_.get());
    editForm_->exec();
}

void TMainForm::GetSerialButtonClick()
{
    if (!activeDevice_)
        return;
    std::uint32_t id = 0;
    int result = 0;
    {
        WaitCursor cursor;
        result = activeDevice_->GetId(&id);
    }
    if (!Succeeded(result)) {
        ShowMessage(texts::kDeviceBusyStop, texts::kLoadImpossible, MessageButtons::Ok);
        return;
    }
    // Shown as the signed number the unit's id has always been shown as.
    AppendLog(text::kLogSerial + UnitSerial(id));
}

void TMainForm::GetVersionButtonClick()
{
    if (!activeDevice_)
        return;
    std::string reply;
    int result = 0;
    {
        WaitCursor cursor;
        result = activeDevice_->GetVersion(&reply);
    }
    if (!Answered(result)) {
        ShowMessage(texts::kDeviceBusy, texts::kError, MessageButtons::Ok);
        return;
    }
    VersionInfo info{};
    activeDevice_->ParseVersion(&info, reply);
    AppendLog(texts::kLogType + FromCp1251(std::string(update::ShownType(info))).toStdString());
    AppendLog(texts::kLogVersion +
              FromCp1251(std::string(update::FieldText(info.Version))).toStdString());
}

std::unique_ptr<QMenu> TMainForm::CreateLogMenu()
{
    std::unique_ptr<QMenu> menu(Memo1->createStandardContextMenu());
    menu->addSeparator();
    QAction* check = menu->addAction(Utf8(text::kCheckConnection));
    // A transfer holds the port in this very process: the check's requests would go in
    // between its blocks.
    check->setEnabled(activeDevice_ && !activeDevice_.WaitRunning() && !TransferActive());
    connect(check, &QAction::triggered, this, &TMainForm::CheckConnectionClick);
    menu->addSeparator();
    QAction* guide = menu->addAction(Utf8(text::kGuideMenu));
    guide->setShortcut(QKeySequence::HelpContents);
    connect(guide, &QAction::triggered, this, [this] { OpenGuide(this, kGuideMainWindow); });
    connect(menu->addAction(Utf8(text::kAbout)), &QAction::triggered, this,
            [this] { ShowAbout(this); });
    return menu;
}

void TMainForm::CheckConnectionClick()
{
    if (!activeDevice_ || activeDevice_.WaitRunning() || TransferActive())
        return;
    service::ConnectionReport report;
    {
        WaitCursor cursor;
        report = service::CheckConnection(*activeDevice_.get());
    }
    for (const std::string& line : report.lines)
        AppendLog(line);
}

void TMainForm::Memo1DblClick()
{
    if (!diagnosticForm_ || quitting_)
        return;
    // The diagnostic stream would share the port with the blocks of a running transfer and
    // spoil both; it waits until the transfer is over.
    if (TransferActive()) {
        ShowMessage(text::kDiagnosticDuringUpdate, texts::kAttention, MessageButtons::Ok);
        return;
    }
    diagnosticForm_->exec();
}

void TMainForm::Timer1Timer()
{
    // A tick that comes in during another request's wait (a click between two blocks) waits for
    // it to end instead of waking that wait every millisecond.
    if (InsideWait()) {
        Timer1->stop();
        AfterWait([this] {
            if (firmware_.BlowActive)
                Timer1->start();
        });
        return;
    }
    // Nothing to send: stop instead of waking up every millisecond for nothing.
    if (!firmware_.BlowActive) {
        Timer1->stop();
        return;
    }
    firmware_.Timer1Timer(activeDevice_.get());
    if (firmware_.Outcome() == UpdateOutcome::Committed && activeDevice_) {
        WaitCursor cursor;
        if (const std::optional<service::AfterUpdate> after =
                safetyNet_->AfterTick(*activeDevice_.get()))
            LogAfterUpdate(*after);
    }
    UpdateButtons();
}

void TMainForm::Timer2Timer()
{
    if (InsideWait()) {
        Timer2->stop();
        AfterWait([this] {
            if (sound_.Running())
                Timer2->start();
        });
        return;
    }
    if (!sound_.Running()) {
        Timer2->stop();
        return;
    }
    sound_.Timer2Timer(activeDevice_.get());
    UpdateButtons();
}

MessageAnswer TMainForm::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageButtons buttons)
{
    // Ending: what the last wait came to is no longer the user's concern, and a question gets
    // the answer that changes nothing.
    if (quitting_)
        return StayAnswer(buttons);
    const MessageAnswer answer = messages_.Receiver().ShowMessage(text, caption, buttons);
    activeDevice_.LogFailure();
    return answer;
}

void TMainForm::AppendLog(const std::string& line)
{
    Memo1->appendPlainText(Utf8(line));
    // A request may block right after this line; paint it now so the user sees it while
    // waiting.
    if (Memo1->isVisible())
        Memo1->viewport()->repaint();
}

void TMainForm::SetTitle(const std::string& title) { setWindowTitle(Utf8(title)); }

void TMainForm::SetProgressMin(int min) { SaveProgress->setMinimum(min); }

void TMainForm::SetProgressMax(int max) { SaveProgress->setMaximum(max); }

void TMainForm::SetProgressStep(int step) { progressStep_ = step; }

void TMainForm::SetProgressPosition(int position)
{
    SaveProgress->setValue(std::clamp(position, SaveProgress->minimum(), SaveProgress->maximum()));
}

void TMainForm::StepProgress() { SetProgressPosition(SaveProgress->value() + progressStep_); }

void TMainForm::SetBlowButtonCaption(const std::string& caption)
{
    BlowUpdateButton->setText(Utf8(caption));
}

void TMainForm::SetBlowButtonEnabled(bool enabled)
{
    blowEnabled_ = enabled;
    UpdateButtons();
}

void TMainForm::FocusBlowButton() { BlowUpdateButton->setFocus(); }

void TMainForm::SetWaveButtonCaption(const std::string& caption)
{
    WaveUpdateButton->setText(Utf8(caption));
}

void TMainForm::SetTimer1Enabled(bool enabled)
{
    if (enabled)
        Timer1->start();
    else
        Timer1->stop();
}

void TMainForm::SetTimer2Enabled(bool enabled)
{
    if (enabled)
        Timer2->start();
    else
        Timer2->stop();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width();
    const int h = height();
    Controls->move(std::max(0, (w - kClientWidth) / 2), 0);
    SaveProgress->setGeometry(0, h - kProgressHeight, w, kProgressHeight);
    Memo1->setGeometry(0, kMemoTop, w, std::max(0, h - kProgressHeight - kMemoTop));
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Closing inside a wait would pull the window out from under the waiting request: the close
    // comes when the wait is over. During a transfer that is the block under way, and then the
    // question; otherwise the program ends, with nothing more shown or sent.
    if (InsideWait()) {
        event->ignore();
        if (HoldingTransfer() == Transfer::None) {
            quitting_ = true;
            if (activeDevice_)
                activeDevice_->EndExchanges();
        }
        AfterWait([this] { close(); });
        return;
    }
    // The blocks go on while the question is open; Yes stops at the block boundary it comes to.
    const char* question = sound_.Running() ? text::kCloseDuringSound : text::kCloseDuringUpdate;
    if (TransferActive() && !quitting_ &&
        ShowMessage(question, texts::kAttention, MessageButtons::YesNo) != MessageAnswer::Yes) {
        event->ignore();
        return;
    }
    StopTransfer();
    QWidget::closeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        Memo1DblClick();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && button->isEnabled() && key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace k64::ui
