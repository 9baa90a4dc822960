// The parameter editor on the embedded parameter list: refused values and the selection that
// stays, the changed mark and the caption through edit, save, write and close, the SMS command,
// and the settings file it saves. Writing to the unit goes to k64-sim.

#include "common/cp1251.h"
#include "support/sim_process.h"
#include "ui/Parametrsedit.h"
#include "ui/window_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace k64;
using namespace k64::test;
using k64::ui::TParametersEditForm;

namespace {

const std::string kMissingPort = "/nonexistent/k64-port";
const QString kCaption = "Редактор параметров";
const QString kCaptionChanged = "Редактор параметров. Настройки изменены!";

struct Editor {
    MemoryPortStore store;
    ListPortCatalog catalog;
    RecordingMessages messages;
    ParameterList list;
    ui::DeviceSlot slot;
    std::unique_ptr<TParametersEditForm> edit;
    QString chosenFile;  // what the file dialog "answers"

    explicit Editor(const std::string& port = {}, const std::string& settings = {})
    {
        list.ReadText(settings);
        if (!port.empty())
            UsePort(port);
        edit = std::make_unique<TParametersEditForm>(slot);
        edit->SetMessageReceiver(&messages);
        edit->SetFileChooser([this](QWidget*, bool) { return chosenFile; });
        edit->SetParameters(&list);
        edit->show();
    }
    void UsePort(const std::string& port)
    {
        store.name = port;
        slot.Replace(std::make_unique<TDevice>(store, catalog));
    }
    QTreeWidget* Tree() const { return edit->findChild<QTreeWidget*>("Tree"); }
    QLineEdit* ValueEdit() const { return edit->findChild<QLineEdit*>("ValueEdit"); }
    QComboBox* EnumValue() const { return edit->findChild<QComboBox*>("EnumValue"); }
    QString Sms() const { return edit->findChild<QLabel*>("SmsLabel")->text(); }

    QTreeWidgetItem* Node(const std::string& key) const
    {
        const Parameter& p = Param(key);
        int group = 0;
        while (list.groups[static_cast<std::size_t>(group)].name != p.groupName)
            ++group;
        int position = 0;
        for (const Parameter& q : list.parameters) {
            if (q.key == key)
                break;
            if (q.groupName == p.groupName)
                ++position;
        }
        return Tree()->topLevelItem(group)->child(position);
    }
    const Parameter& Param(const std::string& key) const
    {
        return list.parameters[static_cast<std::size_t>(list.IndexOfKey(key))];
    }
    std::string Value(const std::string& key) const { return Cp1251ToUtf8(Param(key).value); }
    void Select(const std::string& key) { Tree()->setCurrentItem(Node(key)); }
    void Type(const QString& text) { ValueEdit()->setText(text); }
};

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class ParameterEditorTest : public QObject {
    Q_OBJECT

private slots:

    // Enter in the value box stores the value as leaving the box does, a refused one included;
    // the window stays open and the selection where it is.
    void enterStoresTheValue_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("enter") << int(Qt::Key_Return) << "12"
                               << "12" << QStringList{};
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << "12"
                                      << "12" << QStringList{};
        QTest::newRow("refused") << int(Qt::Key_Return) << "15"
                                 << "10" << QStringList{"15 - многовато будет."};
    }
    void enterStoresTheValue()
    {
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QStringList, boxes);
        Editor e({}, "MicLevel=10\n");
        e.Select("MicLevel");
        e.ValueEdit()->setFocus();
        e.Type(typed);
        QTest::keyClick(e.ValueEdit(), Qt::Key(key));
        QCOMPARE(QString::fromStdString(e.Value("MicLevel")), stored);
        QStringList shown;
        for (const auto& box : e.messages.shown)
            shown << QString::fromStdString(box.text);
        QCOMPARE(shown, boxes);
        QCOMPARE(e.edit->IsChanged(), stored != "10");
        QCOMPARE(e.ValueEdit()->text(), typed);
        QCOMPARE(e.Tree()->currentItem(), e.Node("MicLevel"));
        QVERIFY(e.edit->isVisible());
    }

    void valueCheckedWhenTheSelectionMoves_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");  // empty: accepted
        QTest::newRow("pin three") << "PinCod"
                                   << "123"
                                   << "Маленькая длинна текста";
        QTest::newRow("pin five") << "PinCod"
                                  << "12345"
                                  << "Превышена длинна текста";
        QTest::newRow("pin empty") << "PinCod"
                                   << ""
                                   << "";
        QTest::newRow("pin four") << "PinCod"
                                  << "4321"
                                  << "";
        QTest::newRow("pin cyrillic") << "PinCod"
                                      << "12ё4"
                                      << "";
        QTest::newRow("pin not in code page")
            << "PinCod"
            << "12☺4"
            << "12☺4 - содержит знаки, которые устройство не может сохранить";
        QTest::newRow("mic too high") << "MicLevel"
                                      << "15"
                                      << "15 - многовато будет.";
        QTest::newRow("mic too low") << "MicLevel"
                                     << "0"
                                     << "0 - маловато будет.";
        QTest::newRow("mic letters") << "MicLevel"
                                     << "abc"
                                     << "abc - не является целым цислом";
        QTest::newRow("mic empty") << "MicLevel"
                                   << ""
                                   << " - не является целым цислом";
        QTest::newRow("mic tab") << "MicLevel"
                                 << "\t7"
                                 << "\t7 - не является целым цислом";
        QTest::newRow("mic top") << "MicLevel"
                                 << "14"
                                 << "";
        QTest::newRow("mic bottom") << "MicLevel"
                                    << "1"
                                    << "";
        QTest::newRow("mic leading spaces kept") << "MicLevel"
                                                 << "  7"
                                                 << "";
        QTest::newRow("mic hexadecimal kept") << "MicLevel"
                                              << "$A"
                                              << "";
        QTest::newRow("mic hexadecimal too high") << "MicLevel"
                                                  << "0xF"
                                                  << "0xF - многовато будет.";
    }
    void valueCheckedWhenTheSelectionMoves()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        Editor e;
        const std::string k = key.toStdString();
        const std::string before = e.Value(k);
        e.Select(k);
        e.Type(typed);
        e.Select("KickSens");
        if (refusal.isEmpty()) {
            QVERIFY(e.messages.shown.empty());
            QCOMPARE(e.Tree()->currentItem(), e.Node("KickSens"));
            QCOMPARE(QString::fromStdString(e.Value(k)), typed);
            QCOMPARE(e.edit->IsChanged(), typed.toStdString() != before);
        } else {
            QCOMPARE(e.messages.shown.size(), std::size_t{1});
            QCOMPARE(QString::fromStdString(e.messages.shown[0].text), refusal);
            QCOMPARE(e.messages.shown[0].caption, std::string("Ошибка"));
            QVERIFY(e.messages.shown[0].buttons == MessageButtons::Ok);
            QCOMPARE(e.Tree()->currentItem(), e.Node(k));
            QCOMPARE(e.Value(k), before);
            QCOMPARE(e.ValueEdit()->selectedText(), typed);
            QVERIFY(!e.edit->IsChanged());
        }
    }

    void clickOnAnotherNodeKeepsARefusedValueSelected()
    {
        Editor e;
        QApplication::setActiveWindow(e.edit.get());
        QVERIFY(QTest::qWaitForWindowActive(e.edit.get()));
        e.Select("MicLevel");
        e.ValueEdit()->setFocus();
        e.ValueEdit()->selectAll();
        QTest::keyClicks(e.ValueEdit(), "99");
        const QRect target = e.Tree()->visualItemRect(e.Node("PinCod"));
        QTest::mouseClick(e.Tree()->viewport(), Qt::LeftButton, {}, target.center());
        // Leaving the box and moving the selection both check the value; the user is told once.
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QCOMPARE(e.messages.shown[0].text, std::string("99 - многовато будет."));
        QCOMPARE(e.Tree()->currentItem(), e.Node("MicLevel"));
        QCOMPARE(e.Tree()->selectedItems(), QList<QTreeWidgetItem*>{e.Node("MicLevel")});
        QCOMPARE(e.Value("MicLevel"), std::string("8"));

        // Corrected, the same click goes through and stores the value.
        e.ValueEdit()->setText("9");
        QTest::mouseClick(e.Tree()->viewport(), Qt::LeftButton, {}, target.center());
        QCOMPARE(e.Tree()->currentItem(), e.Node("PinCod"));
        QCOMPARE(e.Value("MicLevel"), std::string("9"));
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
    }

    void treeOpensOnlyTheSelectedBranch()
    {
        Editor e;
        QApplication::setActiveWindow(e.edit.get());
        QVERIFY(QTest::qWaitForWindowActive(e.edit.get()));
        QTreeWidgetItem* notices = e.Node("NoteKick")->parent();
        QVERIFY(!notices->isExpanded());
        QTest::mouseClick(e.Tree()->viewport(), Qt::LeftButton, {},
                          e.Tree()->visualItemRect(notices).center());
        QCOMPARE(e.Tree()->currentItem(), notices);
        QVERIFY(notices->isExpanded());
        e.Select("KickSens");
        QVERIFY(e.Node("KickSens")->parent()->isExpanded());
        QVERIFY(!notices->isExpanded());
        // Within the open branch nothing closes.
        e.Tree()->setCurrentItem(e.Node("KickSens")->parent());
        QVERIFY(e.Node("KickSens")->parent()->isExpanded());
    }

    // "Записать в устройство" keeps the unit's settings in the history first, and says so in the
    // main window's log; when they cannot be kept, a box says why and asks whether to write
    // without them (No unless told otherwise). What was written is read back: the log says it
    // was checked, or a box and the log name the value the unit did not keep.
    void writeKeepsTheUnitSettingsFirst_data()
    {
        QTest::addColumn<QString>("history");  // under a temporary folder; "file/h" cannot be made
        QTest::addColumn<bool>("withoutBackup");  // the answer to "Продолжить без резервной копии?"
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("unitAfter");
        QTest::addColumn<QString>("lastBox");
        QTest::addColumn<QString>("dropped");  // the key the unit does not keep
        QTest::addColumn<QString>("lastLog");
        const QString verified = "Проверено: устройство хранит записанные настройки.";
        const QString differs =
            "Чувствительность микрофона (MicLevel): записано «12», прочитано «8»";
        QTest::newRow("kept, then written") << "h" << false << 1 << "MicLevel=12\n"
                                            << "Настройки записаны."
                                            << "" << verified;
        QTest::newRow("not kept, No: not written") << "file/h" << false << 0 << "MicLevel=10\n"
                                                   << "Продолжить без резервной копии?"
                                                   << ""
                                                   << "";
        QTest::newRow("not kept, Yes: written") << "file/h" << true << 0 << "MicLevel=12\n"
                                                << "Настройки записаны."
                                                << "" << verified;
        QTest::newRow("read back, differs")
            << "h" << false << 1 << ""
            << "хранит другие значения: " + differs << "MicLevel" << differs;
    }
    void writeKeepsTheUnitSettingsFirst()
    {
        QFETCH(QString, history);
        QFETCH(bool, withoutBackup);
        QFETCH(int, entries);
        QFETCH(QString, unitAfter);
        QFETCH(QString, lastBox);
        QFETCH(QString, dropped);
        QFETCH(QString, lastLog);
        QTemporaryDir folder;
        QFile(folder.filePath("file")).open(QIODevice::WriteOnly);
        {
            QFile unit(folder.filePath("unit.txt"));
            QVERIFY(unit.open(QIODevice::WriteOnly));
            unit.write("MicLevel=10\n");
        }
        std::vector<std::string> faults = {"--settings-file",
                                           folder.filePath("unit.txt").toStdString()};
        if (!dropped.isEmpty())
            faults.insert(faults.end(), {"--drop-setting", dropped.toStdString()});
        SimProcess sim(SimProgram(), faults);
        QVERIFY(sim.Started());
        Editor e(sim.PtyPath());
        QStringList log;
        e.edit->SetLog([&](const std::string& line) { log << QString::fromStdString(line); });
        e.edit->SetHistoryFolder(folder.filePath(history).toStdString());
        e.messages.answers = {MessageAnswer::Ok,
                              withoutBackup ? MessageAnswer::Yes : MessageAnswer::No};
        e.Select("MicLevel");
        e.Type("12");
        e.edit->SendActionExecute();

        const QStringList kept = QDir(folder.filePath(history)).entryList(QDir::Files);
        QCOMPARE(kept.size(), entries);
        if (entries == 1) {
            QVERIFY(FileBytes(QDir(folder.filePath(history)).filePath(kept[0]))
                        .contains("MicLevel=10\r\n"));
            QVERIFY2(log.front().startsWith("Настройки устройства сохранены в истории: "),
                     qPrintable(log.join('\n')));
        } else {
            const RecordedMessage& question = e.messages.shown[1];
            QVERIFY2(question.text.starts_with("Не удалось создать папку истории настроек " +
                                               folder.filePath(history).toStdString()),
                     question.text.c_str());
            QVERIFY2(question.text.ends_with(").\nРезервная копия настроек не сделана.\n"
                                             "Продолжить без резервной копии?"),
                     question.text.c_str());
            QCOMPARE(question.caption, std::string("Внимание"));
            QVERIFY(question.buttons == MessageButtons::YesNoDefaultNo);
        }
        std::string unit;
        QCOMPARE(e.slot->ReadSettings(&unit), kOk);
        QCOMPARE(QString::fromStdString(unit), unitAfter);
        QVERIFY2(QString::fromStdString(e.messages.shown.back().text).endsWith(lastBox),
                 e.messages.shown.back().text.c_str());
        QCOMPARE(log.isEmpty() ? QString() : log.back(), lastLog);
        // Until the unit holds what the editor shows.
        QCOMPARE(e.edit->IsChanged(), unitAfter != "MicLevel=12\n");
    }

    // The branch that closes shifts the rows below it up under the pointer: the click still
    // selects and opens the group it was pressed on.
    void clickOnAGroupBelowTheOpenBranchSelectsIt()
    {
        Editor e;
        QApplication::setActiveWindow(e.edit.get());
        QVERIFY(QTest::qWaitForWindowActive(e.edit.get()));
        e.Select("MicLevel");
        QTreeWidgetItem* open = e.Node("MicLevel")->parent();
        const int below = e.Tree()->indexOfTopLevelItem(open) + 1;
        QVERIFY(below < e.Tree()->topLevelItemCount());
        QTreeWidgetItem* next = e.Tree()->topLevelItem(below);
        QTest::mouseClick(e.Tree()->viewport(), Qt::LeftButton, {},
                          e.Tree()->visualItemRect(next).center());
        QCOMPARE(e.Tree()->currentItem(), next);
        QCOMPARE(e.Tree()->selectedItems(), QList<QTreeWidgetItem*>{next});
        QVERIFY(next->isExpanded());
        QTRY_VERIFY(!open->isExpanded());
    }

    // Esc is the window's close: the typed value is stored or refused first.
    void escapeStoresTheTypedValueThenAsks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("confirm");  // the answer to the unsaved-changes question
        QTest::addColumn<QString>("box");   // the one box shown, empty: none
        QTest::addColumn<bool>("open");     // afterwards
        QTest::addColumn<QString>("stored");
        const QString question = "Настройки изменены, выйти без сохранения?";
        QTest::newRow("kept, stays open") << "10" << false << question << true << "10";
        QTest::newRow("kept, closed") << "10" << true << question << false << "10";
        QTest::newRow("refused, told") << "99" << true << "99 - многовато будет." << false << "8";
        QTest::newRow("unchanged") << "8" << true << "" << false << "8";
    }
    void escapeStoresTheTypedValueThenAsks()
    {
        QFETCH(QString, typed);
        QFETCH(bool, confirm);
        QFETCH(QString, box);
        QFETCH(bool, open);
        QFETCH(QString, stored);
        Editor e;
        e.Select("MicLevel");
        e.Type(typed);
        e.messages.answers = {confirm ? MessageAnswer::Ok : MessageAnswer::Cancel};
        QTest::keyClick(e.ValueEdit(), Qt::Key_Escape);
        QCOMPARE(e.messages.shown.size(), std::size_t(box.isEmpty() ? 0 : 1));
        if (!box.isEmpty())
            QCOMPARE(QString::fromStdString(e.messages.shown[0].text), box);
        QCOMPARE(e.edit->isVisible(), open);
        QCOMPARE(QString::fromStdString(e.Value("MicLevel")), stored);
    }

    void valuePanelWaitsForASelectionOnEveryShowing()
    {
        Editor e({}, "NoteKick=4\n");
        QWidget* panel = e.edit->findChild<QWidget*>("Panel1");
        QVERIFY(!panel->isVisibleTo(e.edit.get()));
        e.Select("NoteKick");
        QVERIFY(panel->isVisibleTo(e.edit.get()));
        e.edit->close();

        e.list.ReadText("NoteKick=2\n");
        e.edit->show();
        QApplication::setActiveWindow(e.edit.get());
        QVERIFY(QTest::qWaitForWindowActive(e.edit.get()));
        QVERIFY(!panel->isVisibleTo(e.edit.get()));
        // Keys go to the tree, not to the last showing's enumeration.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(e.Value("NoteKick"), std::string("2"));
        QVERIFY(!e.edit->IsChanged());
        e.Select("NoteKick");
        QCOMPARE(e.EnumValue()->currentIndex(), 2);
    }

    void changedMarkThroughEditSaveWriteAndClose()
    {
        SimProcess sim(SimProgram(), {});
        QVERIFY(sim.Started());
        QTemporaryDir folder;
        Editor e(sim.PtyPath());
        QCOMPARE(e.edit->windowTitle(), kCaption);

        // The same text as stored is no change.
        e.Select("MicLevel");
        e.Type("8");
        e.edit->ValueEditExit();
        QVERIFY(!e.edit->IsChanged());

        e.Type("10");
        e.edit->ValueEditExit();
        QVERIFY(e.edit->IsChanged());
        QCOMPARE(e.edit->windowTitle(), kCaptionChanged);

        // A cancelled save dialog and a failed save leave the mark.
        e.chosenFile.clear();
        e.edit->SaveActionExecute();
        QVERIFY(e.edit->IsChanged());
        e.chosenFile = folder.filePath("no/such/folder/settings.txt");
        e.edit->SaveActionExecute();
        QVERIFY(e.edit->IsChanged());
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QCOMPARE(e.messages.shown[0].caption, std::string("Ошибка"));
        QVERIFY(!QFile::exists(e.chosenFile));

        e.chosenFile = folder.filePath("settings.txt");
        e.edit->SaveActionExecute();
        QVERIFY(!e.edit->IsChanged());
        QCOMPARE(e.edit->windowTitle(), kCaption);
        QCOMPARE(FileBytes(e.chosenFile), QByteArray("MicLevel=10\r\n"));

        // A failed write to the unit keeps the mark.
        e.Type("11");
        e.messages.shown.clear();
        {
            ScopedOwnerlessRecorder portMessages;
            e.UsePort(kMissingPort);
            e.edit->SendActionExecute();
        }
        QCOMPARE(e.messages.shown.size(), std::size_t{2});
        QCOMPARE(e.messages.shown[0].text, std::string("Записать настройки в устройство?"));
        QCOMPARE(e.messages.shown[0].caption, std::string("Внимание"));
        QVERIFY(e.messages.shown[0].buttons == MessageButtons::OkCancel);
        QCOMPARE(e.messages.shown[1].text, std::string("Устройство не подключено или занято"));
        QCOMPARE(e.messages.shown[1].caption, std::string("Ошибка"));
        QVERIFY(e.edit->IsChanged());
        QCOMPARE(e.edit->windowTitle(), kCaptionChanged);

        // Declined: nothing sent, the mark stays.
        e.UsePort(sim.PtyPath());
        e.messages.shown.clear();
        e.messages.answers = {MessageAnswer::Cancel};
        e.edit->SendActionExecute();
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QVERIFY(e.edit->IsChanged());

        e.messages.shown.clear();
        e.edit->SendActionExecute();
        QCOMPARE(e.messages.shown.size(), std::size_t{2});
        QCOMPARE(e.messages.shown[1].text, std::string("Настройки записаны."));
        QCOMPARE(e.messages.shown[1].caption, std::string("Сообщение"));
        QVERIFY(!e.edit->IsChanged());
        QCOMPARE(e.edit->windowTitle(), kCaption);
        std::string unit;
        QCOMPARE(e.slot->ReadSettings(&unit), kOk);
        QCOMPARE(unit, std::string("MicLevel=11\n"));

        // Closing with a change asks; Cancel keeps the window, OK closes and keeps the value.
        e.Type("12");
        e.messages.shown.clear();
        e.messages.answers = {MessageAnswer::Cancel};
        e.edit->CloseActionExecute();
        QVERIFY(e.edit->isVisible());
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QCOMPARE(e.messages.shown[0].text,
                 std::string("Настройки изменены, выйти без сохранения?"));
        e.edit->CloseActionExecute();
        QVERIFY(!e.edit->isVisible());
        QCOMPARE(e.Value("MicLevel"), std::string("12"));

        // Shown again: a fresh start, and closing without a change asks nothing.
        e.messages.shown.clear();
        e.edit->show();
        QVERIFY(!e.edit->IsChanged());
        QCOMPARE(e.edit->CurrentParameterIndex(), -1);
        e.edit->close();
        QVERIFY(!e.edit->isVisible());
        QVERIFY(e.messages.shown.empty());
    }

    void closeQueryLooksOnlyAtStoredEdits()
    {
        Editor e;
        e.Select("MicLevel");
        e.Type("10");  // typed, not yet stored
        e.edit->close();
        QVERIFY(!e.edit->isVisible());
        QVERIFY(e.messages.shown.empty());
        QCOMPARE(e.Value("MicLevel"), std::string("8"));
    }

    void smsCommand_data()
    {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");  // null: nothing typed
        QTest::addColumn<QString>("command");
        QTest::newRow("pin being edited") << "1234"
                                          << "PinCod"
                                          << "5678"
                                          << "Set1234,PinCod=5678";
        QTest::newRow("empty pin") << ""
                                   << "MicLevel" << QString() << "Set,MicLevel=8";
        QTest::newRow("number typed") << "1234"
                                      << "MicLevel"
                                      << "10"
                                      << "Set1234,MicLevel=10";
        QTest::newRow("enum carries the number") << "1234"
                                                 << "NoteKick" << QString() << "Set1234,NoteKick=3";
        QTest::newRow("text with cyrillic") << "1234"
                                            << "Balans"
                                            << "*100#б"
                                            << "Set1234,Balans=*100#б";
    }
    void smsCommand()
    {
        QFETCH(QString, pin);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QString, command);
        Editor e({}, "PinCod=" + pin.toStdString() + "\n");
        e.Select(key.toStdString());
        if (!typed.isNull())
            e.Type(typed);
        QCOMPARE(e.Sms(), command);
        QCOMPARE(e.edit->SmsCommandText(), command);
    }

    void enumChoice()
    {
        Editor e({}, "PinCod=1234\n");
        e.Select("NoteKick");
        QVERIFY(e.EnumValue()->isVisibleTo(e.edit.get()));
        QVERIFY(!e.ValueEdit()->isVisibleTo(e.edit.get()));
        QCOMPARE(e.EnumValue()->currentText(), QString("SMS и вызов активному абоненту"));

        const int item = e.EnumValue()->findText("SMS всем абонентам");
        e.EnumValue()->setCurrentIndex(item);
        emit e.EnumValue()->activated(item);  // the user's pick
        QCOMPARE(e.Value("NoteKick"), std::string("4"));
        QVERIFY(e.Sms().endsWith("=4"));
        QVERIFY(e.edit->IsChanged());

        e.edit->SetChanged(false);
        emit e.EnumValue()->activated(item);
        QVERIFY(!e.edit->IsChanged());
        QCOMPARE(e.Value("NoteKick"), std::string("4"));
    }

    void enumValueMatchingNoItemSelectsNothing_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << "";
        QTest::newRow("out of range") << "9";
        QTest::newRow("not a number") << "abc";
    }
    void enumValueMatchingNoItemSelectsNothing()
    {
        QFETCH(QString, stored);
        Editor e({}, "NoteKick=" + stored.toStdString() + "\n");
        e.Select("NoteKick");
        QCOMPARE(e.EnumValue()->currentIndex(), -1);
        // Moving on does not change what was stored.
        e.Select("MicLevel");
        QCOMPARE(QString::fromStdString(e.Value("NoteKick")), stored);
        QVERIFY(!e.edit->IsChanged());
    }

    void savedFileHoldsOnlyChangedParameters_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("all defaults") << "" << QByteArray();
        QTest::newRow("default written out") << "MicLevel=8\n" << QByteArray();
        QTest::newRow("two changed") << "MicLevel=10\nNoteKick=4\n"
                                     << QByteArray("MicLevel=10\r\nNoteKick=4\r\n");
        QTest::newRow("list order") << "NoteKick=4\nMicLevel=10\n"
                                    << QByteArray("MicLevel=10\r\nNoteKick=4\r\n");
        QTest::newRow("cyrillic bytes") << "Balans=*100#б\n" << QByteArray("Balans=*100#\xE1\r\n");
    }
    void savedFileHoldsOnlyChangedParameters()
    {
        QFETCH(QString, settings);
        QFETCH(QByteArray, file);
        QTemporaryDir folder;
        const std::optional<std::string> bytes = Utf8ToCp1251(settings.toStdString());
        QVERIFY(bytes);
        Editor e({}, *bytes);
        e.chosenFile = folder.filePath("saved.txt");
        // An older file of that name is replaced.
        QFile old(e.chosenFile);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents that must go\r\n");
        old.close();
        e.edit->SaveActionExecute();
        QCOMPARE(FileBytes(e.chosenFile), file);
        QVERIFY(e.messages.shown.empty());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"saved.txt"});
    }
};

K64_UI_TEST_MAIN(ParameterEditorTest)
#include "parameter_editor_test.moc"
