#include "ui/Parametrsedit.h"

#include "parameters/settings_file.h"
#include "parameters/validate_value.h"
#include "ui/display_text.h"
#include "ui/event_loop_wait.h"
#include "ui/form_fonts.h"
#include "ui/help.h"
#include "ui/ui_texts.h"
#include "ui/window_fit.h"
#include "ui/window_workflow_view.h"
#include "wait_cursor.h"

#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace k64::ui {
namespace {

constexpr int kClientWidth = 721;
constexpr int kClientHeight = 473;
constexpr int kTreeWidth = 297;
constexpr int kSplitterWidth = 8;
constexpr int kTreeIndent = 19;
constexpr int kBoxHeight = 100;
// How long the caption says that the old settings were kept.
constexpr std::chrono::milliseconds kCaptionNoteTime{5000};

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// A selection model that asks before the current node changes, so a refused value can keep the
// selection where it is, whether the move comes from the mouse, the keyboard or the program.
class ChangingSelectionModel final : public QItemSelectionModel {
public:
    using Veto = std::function<bool(const QModelIndex& to)>;
    ChangingSelectionModel(QAbstractItemModel* model, Veto allow, QObject* parent)
        : QItemSelectionModel(model, parent), allow_(std::move(allow))
    {
    }

    using QItemSelectionModel::select;

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override
    {
        if (index != currentIndex() && index.isValid() && !allow_(index))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    void select(const QItemSelection& selection, SelectionFlags command) override
    {
        // Selecting a node other than the current one would move the selection past the
        // question asked in setCurrentIndex (a click first sets the current node, then
        // selects it).
        if (command & (Select | Toggle)) {
            for (const QModelIndex& index : selection.indexes()) {
                if (index != currentIndex())
                    return;
            }
        }
        QItemSelectionModel::select(selection, command);
    }

private:
    Veto allow_;
};

// The tree as the unit's technicians know it: dotted lines with boxed expand buttons instead of
// the style's arrows, and the node under the mouse highlighted.
class TreeStyle final : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_IndicatorBranch) {
            // The common style draws exactly these; the proxy's base draws arrows.
            QCommonStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_PanelItemViewItem && (option->state & State_MouseOver) &&
            !(option->state & State_Selected)) {
            QColor hot = option->palette.color(QPalette::Highlight);
            hot.setAlpha(48);
            painter->fillRect(option->rect, hot);
        }
    }
};

QTreeWidgetItem* TopLevelOf(QTreeWidgetItem* item)
{
    while (item && item->parent())
        item = item->parent();
    return item;
}

}  // namespace

TParametersEditForm::TParametersEditForm(DeviceSlot& devices, QWidget* parent)
    : QDialog(parent), devices_(devices), messages_(this)
{
    setObjectName("ParametersEditForm");
    BuildControls();
}

void TParametersEditForm::BuildControls()
{
    setFont(FormFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setWindowTitle(Utf8(text::kEditorCaption));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    SaveAction = MainMenu1->addAction(Utf8(text::kSaveMenu));
    SaveAction->setObjectName("SaveAction");
    SaveAction->setProperty("itemName", "Save");
    SendAction = MainMenu1->addAction(Utf8(text::kSendMenu));
    SendAction->setObjectName("SendAction");
    SendAction->setProperty("itemName", "Send");
    CloseAction = MainMenu1->addAction(Utf8(text::kExitMenu));
    CloseAction->setObjectName("CloseAction");
    CloseAction->setProperty("itemName", "Exit");
    layout->setMenuBar(MainMenu1);
    // The client area is the space below the menu bar.
    resize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    Tree = new QTreeWidget(Splitter1);
    Tree->setObjectName("Tree");
    Tree->setFrameShape(QFrame::NoFrame);
    Tree->setHeaderHidden(true);
    Tree->setColumnCount(1);
    Tree->setRootIsDecorated(true);
    Tree->setIndentation(kTreeIndent);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* treeStyle = new TreeStyle;
    treeStyle->setParent(Tree);
    Tree->setStyle(treeStyle);
    Tree->viewport()->setAttribute(Qt::WA_Hover);  // the node under the mouse is highlighted
    Tree->setExpandsOnDoubleClick(false);
    auto* selection = new ChangingSelectionModel(
        Tree->model(),
        [this](const QModelIndex& to) { return TreeChanging(Tree->itemFromIndex(to)); }, Tree);
    QItemSelectionModel* previousModel = Tree->selectionModel();
    Tree->setSelectionModel(selection);
    delete previousModel;  // owned by the tree until replaced; Qt leaves the old one behind

    // Panel1 sits in a holder so that hiding it (a group node is selected) leaves its area
    // empty instead of handing it to the tree.
    auto* panelHolder = new QWidget(Splitter1);
    auto* holderLayout = new QVBoxLayout(panelHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QWidget(panelHolder);
    Panel1->setObjectName("Panel1");
    holderLayout->addWidget(Panel1);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);

    GroupBox1 = new QGroupBox(Utf8(text::kParameterName), Panel1);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedHeight(kBoxHeight);
    panelLayout->addWidget(GroupBox1);
    ValueEdit = new QLineEdit(GroupBox1);
    ValueEdit->setObjectName("ValueEdit");
    ValueEdit->setGeometry(15, 45, 184, 21);
    ValueEdit->installEventFilter(this);
    Tree->viewport()->installEventFilter(this);
    EnumValue = new QComboBox(GroupBox1);
    EnumValue->setObjectName("EnumValue");
    EnumValue->setGeometry(15, 45, 320, 21);
    EnumValue->setEditable(false);

    GroupBox3 = new QGroupBox(Utf8(text::kSmsGroup), Panel1);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setFixedHeight(kBoxHeight);
    panelLayout->addWidget(GroupBox3);
    SmsLabel = new QLabel(Utf8(text::kSmsSample), GroupBox3);
    SmsLabel->setObjectName("SmsLabel");
    SmsLabel->setFont(VerdanaFont(13, true));
    SmsLabel->setTextFormat(Qt::PlainText);
    SmsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SmsLabel->move(15, 43);
    SmsLabel->adjustSize();

    GroupBox2 = new QGroupBox(Utf8(text::kDescriptionGroup), Panel1);
    GroupBox2->setObjectName("GroupBox2");
    panelLayout->addWidget(GroupBox2, 1);
    auto* descriptionLayout = new QVBoxLayout(GroupBox2);
    descriptionLayout->setContentsMargins(8, 10, 8, 8);
    DescriptionLabel = new QLabel(GroupBox2);
    DescriptionLabel->setObjectName("DescriptionLabel");
    DescriptionLabel->setFont(VerdanaFont(11));
    DescriptionLabel->setTextFormat(Qt::PlainText);
    DescriptionLabel->setWordWrap(true);
    DescriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    descriptionLayout->addWidget(DescriptionLabel);

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kTreeWidth, kClientWidth - kTreeWidth - kSplitterWidth});
    InstallGuideKey(this, kGuideEditor);

    connect(SaveAction, &QAction::triggered, this, [this] { SaveActionExecute(); });
    connect(SendAction, &QAction::triggered, this, [this] { SendActionExecute(); });
    connect(CloseAction, &QAction::triggered, this, [this] { CloseActionExecute(); });
    connect(ValueEdit, &QLineEdit::textChanged, this, [this] { ValueEditChange(); });
    // Enter stores the value as leaving the box does; the selection stays where it is.
    connect(ValueEdit, &QLineEdit::returnPressed, this, [this] { ValueEditExit(); });
    connect(EnumValue, &QComboBox::activated, this, [this](int index) { EnumValueChange(index); });
    // One branch open at a time: the selected node's. Taken from our own selection model: the
    // tree's currentItemChanged stays tied to the model it was built with.
    connect(selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                QTreeWidgetItem* now = TopLevelOf(Tree->itemFromIndex(current));
                QTreeWidgetItem* before = TopLevelOf(Tree->itemFromIndex(previous));
                if (before && before != now) {
                    if (treePressed_)
                        closeOnRelease_ = before;
                    else
                        before->setExpanded(false);
                }
                if (now)
                    now->setExpanded(true);
            });
}

Parameter* TParametersEditForm::Current() const
{
    if (!Parameters || CurrentParameter < 0 ||
        CurrentParameter >= static_cast<int>(Parameters->parameters.size()))
        return nullptr;
    return &Parameters->parameters[static_cast<std::size_t>(CurrentParameter)];
}

MessageAnswer TParametersEditForm::Ask(const std::string& text, const std::string& caption,
                                       MessageButtons buttons)
{
    const MessageAnswer answer = messages_.Receiver().ShowMessage(text, caption, buttons);
    devices_.LogFailure();
    return answer;
}

void TParametersEditForm::setVisible(bool visible)
{
    // Made smaller where the screen is smaller than the window, before the dialog centres
    // itself over the main window and keeps itself inside the screen. The tree gives up its
    // share of the width, so the value controls keep theirs.
    if (visible && !isVisible()) {
        const QScreen* screen =
            parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        const int before = width();
        ShrinkToScreen(this, screen);
        if (width() < before)
            Splitter1->setSizes({kTreeWidth * width() / before,
                                 width() - kTreeWidth * width() / before - kSplitterWidth});
    }
    QDialog::setVisible(visible);
}

void TParametersEditForm::showEvent(QShowEvent* event)
{
    // A window brought back from the task bar is not a new showing.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TParametersEditForm::FormShow()
{
    CurrentParameter = -1;
    CurrentEnum = nullptr;
    SetChanged(false);
    lastRefusedText_.clear();
    refusalFresh_ = false;
    // No parameter is current yet: a value control left from the last showing would take keys
    // that are then stored nowhere.
    Panel1->hide();
    closeOnRelease_ = nullptr;
    Tree->clear();
    if (!Parameters)
        return;
    for (const ParameterGroup& group : Parameters->groups) {
        auto* node = new QTreeWidgetItem(Tree, QStringList{FromCp1251(group.name)});
        for (const Parameter& parameter : Parameters->parameters) {
            if (parameter.groupName == group.name)
                new QTreeWidgetItem(node, QStringList{FromCp1251(parameter.name)});
        }
    }
}

bool TParametersEditForm::TreeChanging(QTreeWidgetItem* item)
{
    if (Parameter* current = Current()) {
        if (!ValidateValue()) {
            ValueEdit->setFocus();
            return false;
        }
        // ValidateValue has made sure the text has a Windows-1251 form.
        const std::string typed = ToCp1251(ValueEdit->text()).value_or(std::string());
        if (typed != current->value) {
            current->value = typed;
            SetChanged(true);
        }
    }
    if (!item || !Parameters)
        return true;
    QTreeWidgetItem* groupNode = item->parent();
    if (!groupNode) {
        Panel1->hide();
        CurrentParameter = -1;
        return true;
    }

    // The node's parameter: the n-th parameter of its group, in list order.
    const int groupIndex = Tree->indexOfTopLevelItem(groupNode);
    if (groupIndex < 0 || groupIndex >= static_cast<int>(Parameters->groups.size()))
        return true;
    const int found =
        Parameters->IndexInGroup(Parameters->groups[static_cast<std::size_t>(groupIndex)].name,
                                 groupNode->indexOfChild(item));
    if (found < 0)
        return true;
    CurrentParameter = found;
    ShowValuePanel(*Current());
    return true;
}

void TParametersEditForm::ShowValuePanel(const Parameter& parameter)
{
    Panel1->show();
    EnumValue->clear();
    DescriptionLabel->setText(FromCp1251(parameter.description));
    ValueEdit->setText(FromCp1251(parameter.value));
    GroupBox1->setTitle(FromCp1251(parameter.name));
    SmsLabel->setText(SmsCommandText());
    SmsLabel->adjustSize();

    if (parameter.type == ParameterType::Enum) {
        CurrentEnum = Parameters->FindEnum(parameter.enumName);
        int selected = -1;
        if (CurrentEnum) {
            for (const EnumItem& entry : CurrentEnum->items) {
                EnumValue->addItem(FromCp1251(entry.text));
                if (parameter.value == std::to_string(entry.value))
                    selected = EnumValue->count() - 1;
            }
        }
        EnumValue->setCurrentIndex(selected);
        EnumValue->show();
        ValueEdit->hide();
    } else {
        ValueEdit->show();
        EnumValue->hide();
    }
}

bool TParametersEditForm::ValidateValue()
{
    const Parameter* parameter = Current();
    if (!parameter)
        return true;
    const QString typed = ValueEdit->text();
    std::optional<std::string> reason;
    if (const std::optional<std::string> bytes = ToCp1251(typed)) {
        reason = k64::ValidateValue(*parameter, *bytes);
    } else {
        // Stored in the unit's code page; a character it lacks is refused, never replaced.
        reason = typed.toStdString() + text::kNotRepresentable;
    }
    if (!reason)
        return true;

    if (!(refusalFresh_ && typed == lastRefusedText_) && !validating_) {
        validating_ = true;
        Ask(*reason, texts::kError, MessageButtons::Ok);
        validating_ = false;
    }
    lastRefusedText_ = typed;
    if (!refusalFresh_) {
        refusalFresh_ = true;
        QTimer::singleShot(0, this, [this] { refusalFresh_ = false; });
    }
    ValueEdit->selectAll();
    return false;
}

void TParametersEditForm::CommitValue()
{
    Parameter* parameter = Current();
    if (!parameter)
        return;
    if (!ValidateValue())
        return;
    const std::string typed = ToCp1251(ValueEdit->text()).value_or(std::string());
    if (typed != parameter->value) {
        parameter->value = typed;
        SetChanged(true);
    }
}

void TParametersEditForm::EnumValueChange(int index)
{
    Parameter* parameter = Current();
    if (!parameter || !CurrentEnum)
        return;
    const EnumItem* entry = CurrentEnum->ItemAt(index);
    if (!entry)
        return;
    const std::string number = std::to_string(entry->value);
    if (number == parameter->value)
        return;
    ValueEdit->setText(QString::fromStdString(number));
    parameter->value = number;
    SetChanged(true);
}

void TParametersEditForm::ValueEditChange()
{
    SmsLabel->setText(SmsCommandText());
    SmsLabel->adjustSize();
}

void TParametersEditForm::ValueEditExit()
{
    if (validating_)
        return;
    CommitValue();
}

QString TParametersEditForm::SmsCommandText() const
{
    const Parameter* parameter = Current();
    if (!parameter)
        return {};
    return Utf8(text::kSmsPrefix) + FromCp1251(Parameters->DisplayText(text::kPinKey)) + "," +
           FromCp1251(parameter->key) + "=" + ValueEdit->text();
}

void TParametersEditForm::SetChanged(bool flag)
{
    Changed = flag;
    if (flag) {
        setWindowTitle(Utf8(text::kEditorCaptionChanged));
        SmsLabel->setText(SmsCommandText());
        SmsLabel->adjustSize();
    } else {
        setWindowTitle(Utf8(text::kEditorCaption));
    }
}

void TParametersEditForm::SaveActionExecute()
{
    CommitValue();
    if (!Parameters)
        return;
    const QString fileName = chooseFile_(this, true);
    if (fileName.isEmpty())
        return;
    const std::filesystem::path path = ToPath(fileName);
    const SettingsFileResult result = WriteSettingsFile(path, *Parameters);
    if (!result.Ok()) {
        Ask(DescribeSettingsFileResult(result, path), texts::kError, MessageButtons::Ok);
        return;
    }
    SetChanged(false);
}

void TParametersEditForm::SendActionExecute()
{
    CommitValue();
    if (Ask(text::kSendQuestion, texts::kAttention, MessageButtons::OkCancel) !=
            MessageAnswer::Ok ||
        !devices_ || !Parameters)
        return;
    // The unit's current settings go to the history first: a write that is regretted can be
    // undone from there.
    bool kept = false;
    WindowWorkflowView view(messages_.Receiver(), [&](const std::string& line) {
        kept = kept || line.starts_with(text::kLogSettingsKept);
        if (log_)
            log_(line);
    });
    service::WriteOutcome outcome = service::WriteOutcome::Failed;
    {
        WaitCursor cursor;
        outcome = service::WriteWithBackup(*devices_.get(), *Parameters, historyFolder_, view);
    }
    devices_.LogFailure();
    if (outcome != service::WriteOutcome::Written)
        return;
    SetChanged(false);
    // The main window's log has the entry's name; here a glance says the old settings are safe.
    if (kept) {
        setWindowTitle(Utf8(text::kEditorCaptionKept));
        QTimer::singleShot(kCaptionNoteTime, this, [this] { SetChanged(Changed); });
    }
}

void TParametersEditForm::CloseActionExecute()
{
    CommitValue();
    close();
}

bool TParametersEditForm::FormCloseQuery()
{
    if (!Changed)
        return true;
    return Ask(text::kCloseQuestion, texts::kAttention, MessageButtons::OkCancel) ==
           MessageAnswer::Ok;
}

void TParametersEditForm::keyPressEvent(QKeyEvent* event)
{
    // Esc leaves the window as its menu command does: the typed value is stored (or refused)
    // first, and unsaved changes are asked about.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CloseActionExecute();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TParametersEditForm::done(int result)
{
    if (isVisible()) {
        // A close inside a request's wait comes when the wait is over.
        if (InsideWait()) {
            AfterWait([this] { close(); });
            return;
        }
        if (!FormCloseQuery())
            return;
    }
    QDialog::done(result);
}

bool TParametersEditForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ValueEdit && event->type() == QEvent::FocusOut) {
        // Leaving the box for another control stores the value; the window losing the focus
        // (to a message box, another program) is not leaving it.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible())
            ValueEditExit();
    }
    if (watched == Tree->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            treePressed_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            treePressed_ = false;
            // After the release has been handled by the tree.
            QTimer::singleShot(0, this, [this] {
                if (QTreeWidgetItem* item = std::exchange(closeOnRelease_, nullptr))
                    item->setExpanded(false);
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace k64::ui
