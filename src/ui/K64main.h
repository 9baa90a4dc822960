#pragma once
// The main window: the hub of every action. It owns the device object (through its DeviceSlot),
// the parameter list and the two update transfers, hosts the transfers as their view, and shows
// the editor and the diagnostic window modally.

#include "common/message_interface.h"
#include "device/port_store.h"
#include "parameters/parameter_list.h"
#include "service/firmware_workflow.h"
#include "ui/device_slot.h"
#include "ui/settings_dialogs.h"
#include "ui/widget_messages.h"
#include "ui/window_workflow_view.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/update_view.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace k64::ui {

class TParametersEditForm;
class TDiagnosticForm;

// What the main window takes from the platform: where the port name is kept, which ports the
// search probes, the entries of the port box and the name used when none is stored.
struct MainFormPlatform {
    PortNameStore& store;
    PortCatalog& catalog;
    std::function<std::vector<std::string>()> portList;
    std::string defaultPortName;
    // Receives the boxes of the construction itself (a parameter list that does not load);
    // null shows real boxes.
    MessageInterface* messages = nullptr;
    // The ports there are now. When set, the window follows the cable while it is idle: the port
    // box takes the list again and the stored port's arrival and departure are logged.
    std::function<std::vector<std::string>()> presentPorts;
    // Where device nodes appear (POSIX; Windows tells the window itself).
    std::vector<std::string> portFolders;
    // Every settings read from the unit is kept there (the settings history); empty keeps none.
    std::filesystem::path historyFolder;
};

class TMainForm final : public QWidget, public UpdateView, public MessageInterface {
    Q_OBJECT
public:
    explicit TMainForm(MainFormPlatform platform, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The other two windows, created after this one; shown modally from its handlers.
    void SetForms(TParametersEditForm* editForm, TDiagnosticForm* diagnosticForm);
    // Where this window's boxes go; null restores the real boxes.
    void SetMessageReceiver(MessageInterface* receiver) { messages_.SetReceiver(receiver); }
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    DeviceSlot& ActiveDevice() { return activeDevice_; }
    ParameterList& Parameters() { return *parameters_; }
    FirmwareUpdate& Firmware() { return firmware_; }
    SoundUpdate& Sound() { return sound_; }
    // A firmware or sound transfer is running (between its prepare request and its commit).
    bool TransferActive() const;
    // Ends a running transfer between two blocks, without a commit; nothing when none runs.
    void StopTransfer();
    // A stop signal: a running transfer ends at its next block boundary, then the program quits.
    // During a wait, at its end: no box the wait would have led to is shown, and no new request
    // is sent.
    void StopTransferThenQuit();

    // Handlers.
    void PortComboBoxChange();
    void FindPortButtonClick();
    void BlowUpdateButtonClick();
    void WaveUpdateButtonClick();
    void ReadButtonClick();
    void OpenFileButtonClick();
    void GetSerialButtonClick();
    void GetVersionButtonClick();
    void Memo1DblClick();
    // The connection check of k64ctl doctor, its report written into the log.
    void CheckConnectionClick();
    // The log's context menu: the editing actions, the connection check, the guide and "О
    // программе".
    std::unique_ptr<QMenu> CreateLogMenu();
    void Timer1Timer();
    void Timer2Timer();

    // MessageInterface: boxes owned by this window.
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override;

    // UpdateView.
    MessageInterface* MessageOwner() override { return this; }
    void AppendLog(const std::string& line) override;
    void SetTitle(const std::string& title) override;
    void SetProgressMin(int min) override;
    void SetProgressMax(int max) override;
    void SetProgressStep(int step) override;
    void SetProgressPosition(int position) override;
    void StepProgress() override;
    void SetBlowButtonCaption(const std::string& caption) override;
    void SetBlowButtonEnabled(bool enabled) override;
    void FocusBlowButton() override;
    void SetWaveButtonCaption(const std::string& caption) override;
    void SetTimer1Enabled(bool enabled) override;
    void SetTimer2Enabled(bool enabled) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    std::unique_ptr<TDevice> NewDevice();
    // The operation that holds the unit: a transfer, from its button's click to its end.
    enum class Transfer { None, Firmware, Sound };
    Transfer HoldingTransfer() const;
    // What the update buttons and the search may do while that transfer runs: one transfer at
    // a time, and no search that would move the port from under it.
    void UpdateButtons();
    // Selects every entry equal to `name` without counting as the user's change.
    void SelectStoredPort(const std::string& name);
    // The stored name, with the default stored in its place when there is none.
    std::string StoredPortOrDefault();
    void ShowEditor();
    // Takes the port list again after a change in a watched folder, keeping the box's text.
    void RefreshPortList();
    bool PortListBusy() const;
    // What the comparison after a confirmed firmware update came to, in the log.
    void LogAfterUpdate(service::AfterUpdate after);

    MainFormPlatform platform_;
    MessageRoute messages_;
    FileChooser chooseFile_ = &ChooseSettingsFile;
    DeviceSlot activeDevice_;
    FirmwareUpdate firmware_{*this};
    SoundUpdate sound_{*this};
    std::unique_ptr<ParameterList> parameters_;
    TParametersEditForm* editForm_ = nullptr;
    TDiagnosticForm* diagnosticForm_ = nullptr;
    int progressStep_ = 1;
    // The settings workflows' view: this window's boxes, its log.
    WindowWorkflowView workflowView_{*this, [this](const std::string& line) { AppendLog(line); }};
    // Keeps the unit's settings around a firmware update.
    std::optional<service::FirmwareSafetyNet> safetyNet_;
    // What the firmware update last asked of its button; a sound transfer overrides it.
    bool blowEnabled_ = true;
    // A transfer's button was clicked: its questions and prepare request run.
    Transfer starting_ = Transfer::None;
    // The program is ending: boxes are no longer shown.
    bool quitting_ = false;

    QWidget* Controls = nullptr;  // the port box and the buttons, as designed
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* PortComboBox = nullptr;
    QPushButton* FindPortButton = nullptr;
    QPushButton* BlowUpdateButton = nullptr;
    QPushButton* WaveUpdateButton = nullptr;
    QPushButton* ReadButton = nullptr;
    QPushButton* OpenFileButton = nullptr;
    QPushButton* GetSerialButton = nullptr;
    QPushButton* GetVersionButton = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QProgressBar* SaveProgress = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* portRefresh_ = nullptr;
    std::vector<std::string> present_;  // as the last look found them
};

}  // namespace k64::ui
