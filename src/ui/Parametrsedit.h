#pragma once
// The parameter editor: the main window's parameter list as a tree of groups and parameters,
// one value control for the selected parameter, its description and the SMS command that
// would set it. Edits go into the list in place; values are checked against their limits when
// the selection moves, and the window asks before it is left with unsaved changes.

#include "common/message_interface.h"
#include "parameters/parameter_list.h"
#include "ui/device_slot.h"
#include "ui/settings_dialogs.h"
#include "ui/widget_messages.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace k64::ui {

class TParametersEditForm final : public QDialog {
    Q_OBJECT
public:
    // `devices` is the main window's slot; it must outlive this window.
    explicit TParametersEditForm(DeviceSlot& devices, QWidget* parent = nullptr);

    // The list to edit at the next showing; not owned.
    void SetParameters(ParameterList* parameters) { Parameters = parameters; }
    void SetMessageReceiver(MessageInterface* receiver) { messages_.SetReceiver(receiver); }
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Where the unit's settings are kept before a write; empty writes without keeping them.
    void SetHistoryFolder(std::filesystem::path folder) { historyFolder_ = std::move(folder); }
    // Where a write says what it kept and changed: the main window's log.
    void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    bool IsChanged() const { return Changed; }
    // Index of the current parameter in the list, -1 when none.
    int CurrentParameterIndex() const { return CurrentParameter; }

    // Handlers and operations.
    void FormShow();
    // The selection is about to move to `item`; false refuses the move.
    bool TreeChanging(QTreeWidgetItem* item);
    bool ValidateValue();
    void CommitValue();
    void EnumValueChange(int index);
    void ValueEditChange();
    void ValueEditExit();
    QString SmsCommandText() const;
    void SetChanged(bool flag);
    void SaveActionExecute();
    void SendActionExecute();
    void CloseActionExecute();
    // Every attempt to close: true lets the window close.
    bool FormCloseQuery();

    void done(int result) override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Fills the value panel with `parameter` and shows the control its type is edited with.
    void ShowValuePanel(const Parameter& parameter);
    MessageAnswer Ask(const std::string& text, const std::string& caption, MessageButtons buttons);
    Parameter* Current() const;

    DeviceSlot& devices_;
    MessageRoute messages_;
    FileChooser chooseFile_ = &ChooseSettingsFile;
    std::filesystem::path historyFolder_;
    std::function<void(const std::string&)> log_;

    ParameterList* Parameters = nullptr;
    bool Changed = false;
    int CurrentParameter = -1;
    const EnumValueList* CurrentEnum = nullptr;

    // One refusal box per refused text and user action: leaving the edit box by clicking the
    // tree checks the value twice (on leaving, then on the move), and the user is told once.
    QString lastRefusedText_;
    bool refusalFresh_ = false;
    bool validating_ = false;

    // A branch is closed only once the mouse button that moved the selection is up: closed on
    // the press, it would shift the rows under the pointer before the release selects.
    bool treePressed_ = false;
    QTreeWidgetItem* closeOnRelease_ = nullptr;

    QMenuBar* MainMenu1 = nullptr;
    QAction* SaveAction = nullptr;
    QAction* SendAction = nullptr;
    QAction* CloseAction = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* Tree = nullptr;
    QWidget* Panel1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* ValueEdit = nullptr;
    QComboBox* EnumValue = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* SmsLabel = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* DescriptionLabel = nullptr;
};

}  // namespace k64::ui
