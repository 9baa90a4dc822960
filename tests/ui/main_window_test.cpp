// The main window against the simulated unit: start-up and the stored port name, typing into
// the port box, the port search, reading settings into the editor, serial number and version.

#include "parameters/settings_history.h"
#include "platform/port_catalog.h"
#ifndef _WIN32
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#endif
#include "support/sim_process.h"
#include "support/sim_trace.h"
#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"
#include "ui/eliding_line_edit.h"
#include "ui/event_loop_wait.h"
#include "ui/help.h"
#include "ui/wait_cursor.h"
#include "ui/widget_messages.h"
#include "ui/window_fixture.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <memory>

using namespace k64;
using namespace k64::test;
using k64::ui::TDiagnosticForm;
using k64::ui::TMainForm;
using k64::ui::TParametersEditForm;

namespace {

const std::string kDefault = "/dev/ttyACM0";
const std::string kMissingPort = "/nonexistent/k64-port";
const QString kMissingReason =
    "Порт /nonexistent/k64-port не найден: блок не подключен; подробнее — «Проверка "
    "подключения» в меню журнала (правая кнопка мыши)";

// The three windows as the program creates them, with boxes going to `messages`.
struct Program {
    MemoryPortStore store;
    ListPortCatalog catalog;
    RecordingMessages messages;
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TParametersEditForm> edit;
    std::unique_ptr<TDiagnosticForm> diag;
    QTemporaryDir history;
    int editShows = 0;

    // With `portFolder` the port box lists and watches that folder instead of `ports`; with
    // `historyFolder` the history is kept there instead of in a folder of its own.
    explicit Program(std::vector<std::string> ports, const std::string& stored = {},
                     const std::string& portFolder = {}, const std::string& historyFolder = {})
    {
        store.name = stored;
        catalog.names = ports;
        ui::MainFormPlatform platform{store,
                                      catalog,
                                      [ports] { return ports; },
                                      kDefault,
                                      &messages,
                                      {},
                                      {},
                                      historyFolder.empty() ? history.path().toStdString()
                                                            : historyFolder};
        if (!portFolder.empty()) {
            platform.portList = [portFolder] { return SystemPortCatalog(portFolder).Candidates(); };
            platform.presentPorts = platform.portList;
            platform.portFolders = {portFolder};
        }
        main = std::make_unique<TMainForm>(std::move(platform));
        edit = std::make_unique<TParametersEditForm>(main->ActiveDevice(), main.get());
        diag = std::make_unique<TDiagnosticForm>(main->ActiveDevice(), main.get());
        edit->SetMessageReceiver(&messages);
        main->SetForms(edit.get(), diag.get());
    }
    QComboBox* Box() const { return main->findChild<QComboBox*>("PortComboBox"); }
    QStringList Log() const
    {
        return main->findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n',
                                                                              Qt::SkipEmptyParts);
    }
    QPushButton* Button(const char* name) const { return main->findChild<QPushButton*>(name); }
    QStringList Entries() const
    {
        QStringList entries;
        for (int i = 0; i < Box()->count(); ++i)
            entries << Box()->itemText(i);
        return entries;
    }
};

// Receives what the program asks the desktop to open.
class UrlRecorder final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

}  // namespace

Q_DECLARE_METATYPE(std::vector<std::string>)

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:

    // Enter and the keypad's Enter press the focused button, as Space does.
    void enterPressesTheFocusedButton()
    {
        Program p({kDefault});
        int asked = 0;
        p.main->SetFileChooser([&](QWidget*, bool) {
            ++asked;
            return QString();
        });
        p.main->show();
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        QPushButton* button = p.Button("OpenFileButton");
        button->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
            QTest::keyClick(button, key);
        QCOMPARE(asked, 3);
    }

    // A port name longer than the box is shown cut in the middle, whole in the tooltip and while
    // it is edited; the stored name is the whole one.
    void longPortNamesAreCutInTheMiddle()
    {
        const QString longName = "/dev/serial/by-id/usb-QF_K64_Service_Unit_16001234-if00";
        Program p({kDefault});
        p.main->show();
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        auto* field = p.Box()->findChild<ui::ElidingLineEdit*>();
        QVERIFY(field);
        for (const QString& name : {QString("COM5"), longName}) {
            p.Box()->setEditText(name);
            QCOMPARE(p.store.name, name.toStdString());
            p.Button("FindPortButton")->setFocus();
            const QString shown = field->ShownText();
            if (name == longName) {
                // Both ends of the name stay, whatever the font leaves room for.
                QVERIFY2(shown.front() == name.front() && shown.back() == name.back() &&
                             shown.contains(QChar(0x2026)) && shown.size() < name.size(),
                         qPrintable(shown));
            } else {
                QCOMPARE(shown, name);
            }
            QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(field, &tip);
            QTRY_COMPARE(QToolTip::text(), name);
            field->setFocus();
            QCOMPARE(field->ShownText(), name);
        }
    }

    // A box is as wide as its title needs: the window manager would cut it otherwise.
    void messageBoxesShowTheirWholeTitle()
    {
        QWidget owner;
        owner.show();
        int width = 0;
        int needed = 0;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            width = box->width();
            needed = box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100;
            box->accept();
        });
        ui::WidgetMessages(&owner).ShowMessage("x", "Устройство найдено", MessageButtons::Ok);
        QVERIFY2(width >= needed, qPrintable(QString("%1 < %2").arg(width).arg(needed)));
    }

    // F1 opens the guide at the window's chapter, in every window; the log's context menu has
    // the guide and "О программе".
    void guideFromEveryWindow()
    {
        if (ui::GuideUrl("").isEmpty())
            QSKIP("the guide is not built beside these tests");
        UrlRecorder opened;
        QDesktopServices::setUrlHandler("file", &opened, "Open");
        Program p({kDefault});
        p.main->show();
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        QTest::keyClick(p.Button("ReadButton"), Qt::Key_F1);
        WhenVisible(p.edit.get(), [&] {
            QVERIFY(QTest::qWaitForWindowActive(p.edit.get()));
            QTest::keyClick(p.edit->findChild<QTreeWidget*>("Tree"), Qt::Key_F1);
            p.edit->close();
        });
        p.edit->SetParameters(&p.main->Parameters());
        p.edit->exec();
        ui::DeviceSlot none;
        TDiagnosticForm diag(none, p.main.get());
        WhenVisible(&diag, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&diag));
            QTest::keyClick(diag.findChild<QPlainTextEdit*>("Memo1"), Qt::Key_F1);
            diag.close();
        });
        diag.exec();
        QDesktopServices::unsetUrlHandler("file");
        QStringList chapters;
        for (const QUrl& url : opened.urls) {
            QVERIFY2(url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile(),
                     qPrintable(url.toString()));
            chapters << url.fragment();
        }
        QCOMPARE(chapters, (QStringList{"main-window", "editor", "diagnostic"}));

        QStringList entries;
        const std::unique_ptr<QMenu> menu = p.main->CreateLogMenu();
        for (const QAction* action : menu->actions())
            entries << action->text();
        QVERIFY2(entries.contains("Руководство") && entries.contains("О программе"),
                 qPrintable(entries.join('|')));
    }

    void startUpWithoutStoredPortStoresAndSelectsTheDefault()
    {
        Program p({"/dev/ttyUSB0", kDefault, "/dev/ttyACM1"});
        QCOMPARE(p.store.saves, std::vector<std::string>{kDefault});
        QCOMPARE(p.Box()->currentIndex(), 1);
        QCOMPARE(p.Box()->currentText().toStdString(), kDefault);
        // The device object follows the name the box shows.
        QVERIFY(p.main->ActiveDevice());
        QCOMPARE(p.main->ActiveDevice()->PortName(), kDefault);
        QVERIFY(p.Log().isEmpty());
        QCOMPARE(p.Box()->count(), 3);
    }

    void storedNameSelection_data()
    {
        QTest::addColumn<std::string>("stored");
        QTest::addColumn<std::vector<std::string>>("ports");
        QTest::addColumn<int>("selected");
        QTest::newRow("not in list")
            << std::string("COM1") << std::vector<std::string>{"COM2", "COM5"} << -1;
        QTest::newRow("other case")
            << std::string("com5") << std::vector<std::string>{"COM5"} << -1;
        QTest::newRow("device other case")
            << std::string("/dev/ttyacm0") << std::vector<std::string>{kDefault} << -1;
        QTest::newRow("empty list") << std::string("COM5") << std::vector<std::string>{} << -1;
        QTest::newRow("in list") << std::string("COM5") << std::vector<std::string>{"COM2", "COM5"}
                                 << 1;
    }
    void storedNameSelection()
    {
        QFETCH(std::string, stored);
        QFETCH(std::vector<std::string>, ports);
        QFETCH(int, selected);
        Program p(ports, stored);
        QVERIFY(p.store.saves.empty());
        QCOMPARE(p.Box()->currentIndex(), selected);
        QCOMPARE(p.Box()->currentText().toStdString(),
                 selected < 0 ? std::string() : ports[static_cast<std::size_t>(selected)]);
        QCOMPARE(p.main->ActiveDevice()->PortName(), stored);
    }

    void typingStoresEveryKeystrokeAndReplacesTheDevice()
    {
        Program p({"COM2", "COM3"}, "COM99");
        QCOMPARE(p.Box()->currentText(), QString());
        const int generation = p.main->ActiveDevice().Generation();
        p.main->show();
        QTest::keyClicks(p.Box(), "COM12");
        QCOMPARE(p.store.saves, (std::vector<std::string>{"C", "CO", "COM", "COM1", "COM12"}));
        QCOMPARE(p.main->ActiveDevice().Generation(), generation + 5);
        QCOMPARE(p.main->ActiveDevice()->PortName(), std::string("COM12"));

        p.Box()->clearEditText();
        QCOMPARE(p.store.saves.back(), std::string());
        QCOMPARE(p.main->ActiveDevice().Generation(), generation + 6);

        // Choosing an entry is a change of the text too.
        p.Box()->setCurrentIndex(1);
        QCOMPARE(p.store.saves.back(), std::string("COM3"));
        QCOMPARE(p.main->ActiveDevice()->PortName(), std::string("COM3"));
    }

    // A box waits for the user: the normal pointer over it, and its text's own lines kept whole.
    // Not under Wine: there the test's fallback font is wider than its screen, so the box is
    // rightly held to the screen and wraps; test-wine-gui sees the real box.
#ifndef _WIN32
    void boxShowsNoBusyCursorAndKeepsLinesWhole()
    {
        ui::WidgetMessages boxes;
        const ui::WaitCursor busy;
        bool cursorFree = false;
        int labelLines = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            cursorFree = QGuiApplication::overrideCursor() == nullptr;
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            labelLines = label->height() / label->fontMetrics().lineSpacing();
            box->button(QMessageBox::Cancel)->click();
        });
        poll.start(5);
        boxes.ShowMessage("После обновления возможно произойдет сброс настроек.\n"
                          "Рекомендуется сохранить текущие настройки. (Кнопка \"Сохранить в "
                          "файл\").\nНачать обновление ?",
                          "Внимание", MessageButtons::OkCancel);
        QVERIFY(cursorFree);
        QCOMPARE(labelLines, 3);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
#endif

    void tabLeavesTheLog()
    {
        Program p({"COM2"}, "COM2");
        p.main->show();
        QApplication::setActiveWindow(p.main.get());
        QVERIFY(QTest::qWaitForWindowActive(p.main.get()));
        auto* log = p.main->findChild<QPlainTextEdit*>("Memo1");
        log->setFocus();
        QTest::keyClick(log, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), p.Button("GetSerialButton"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), p.Button("GetVersionButton"));
        QVERIFY(p.Log().isEmpty());
    }

    // Device nodes in a folder are POSIX; Windows has its own test of the port watch.
#ifndef _WIN32
    void portListFollowsTheWatchedFolder()
    {
        TempDir folder;
        PtyPair unit;
        const std::string stored = folder / "ttyACM0";
        const std::string other = folder / "ttyUSB1";
        Program p({}, stored, folder.Path());
        p.main->show();
        const int generation = p.main->ActiveDevice().Generation();
        QVERIFY(p.Entries().isEmpty());

        QVERIFY(::symlink(unit.SlavePath().c_str(), other.c_str()) == 0);
        QTRY_COMPARE(p.Entries(), QStringList{QString::fromStdString(other)});
        QVERIFY(p.Log().isEmpty());  // not the stored port
        QVERIFY(::symlink(unit.SlavePath().c_str(), stored.c_str()) == 0);
        QTRY_COMPARE(p.Entries().size(), 2);
        QCOMPARE(p.Log(), QStringList{"Подключено: " + QString::fromStdString(stored)});
        // The empty box shows the stored port, as at start-up.
        QCOMPARE(p.Box()->currentText().toStdString(), stored);

        QVERIFY(::unlink(stored.c_str()) == 0);
        QTRY_COMPARE(p.Entries(), QStringList{QString::fromStdString(other)});
        QCOMPARE(p.Log().back(), "Отключено: " + QString::fromStdString(stored));
        // The box keeps its text; nothing was stored and the device object stays.
        QCOMPARE(p.Box()->currentText().toStdString(), stored);
        QVERIFY(p.store.saves.empty());
        QCOMPARE(p.main->ActiveDevice().Generation(), generation);
    }

#endif

    void readFromUnitOpensTheEditorWithTheValues()
    {
        QTemporaryFile settings;
        QVERIFY(settings.open());
        settings.write("MicLevel=10\nNoteKick=4\n");
        settings.flush();
        SimProcess sim(SimProgram(), {"--settings-file", settings.fileName().toStdString()});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->show();

        bool editorSeen = false;
        std::string seenMicLevel;
        int treeGroups = 0;
        WhenVisible(p.edit.get(), [&] {
            editorSeen = true;
            const ParameterList& list = p.main->Parameters();
            seenMicLevel =
                list.parameters[static_cast<std::size_t>(list.IndexOfKey("MicLevel"))].value;
            treeGroups = p.edit->findChild<QTreeWidget*>("Tree")->topLevelItemCount();
            p.edit->close();
        });
        QTest::mouseClick(p.Button("ReadButton"), Qt::LeftButton);
        QVERIFY(editorSeen);
        QCOMPARE(seenMicLevel, std::string("10"));
        QCOMPARE(treeGroups, static_cast<int>(p.main->Parameters().groups.size()));
        QCOMPARE(p.main->Parameters().DisplayText("NoteKick"),
                 p.main->Parameters().enums[1].items[4].text);
        QVERIFY(p.messages.shown.empty());

        // The read is kept in the history under the unit's serial number, asked of it, once.
        WhenVisible(p.edit.get(), [&] { p.edit->close(); });
        p.main->ReadButtonClick();
        const std::vector<HistoryEntry> entries = ListHistory(p.history.path().toStdString());
        QCOMPARE(entries.size(), std::size_t{1});
        QCOMPARE(entries[0].serial, std::string("16001234"));
        QVERIFY(p.Log().front().startsWith("Настройки устройства сохранены в истории: "));
    }

    // A unit that gives its settings but not its id: the settings are shown all the same, the
    // entry goes under "unknown" and the log says so.
    void readFromAUnitWithoutIdKeepsItUnderUnknown()
    {
        SimProcess sim(SimProgram(), {"--wrong-reply", "10"});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        bool editorSeen = false;
        WhenVisible(p.edit.get(), [&] {
            editorSeen = true;
            p.edit->close();
        });
        p.main->ReadButtonClick();
        QVERIFY(editorSeen);
        const std::vector<HistoryEntry> entries = ListHistory(p.history.path().toStdString());
        QCOMPARE(entries.size(), std::size_t{1});
        QCOMPARE(entries[0].serial, std::string("unknown"));
        QCOMPARE(p.Log().back(),
                 QString("Серийный номер не получен: настройки сохранены в истории под именем "
                         "«unknown»"));
    }

    void failedReadKeepsTheValuesAndOpensNothing()
    {
        ScopedOwnerlessRecorder portMessages;  // the serial port's own report of the open
        Program p({kMissingPort}, kMissingPort);
        p.main->Parameters().SetValue("MicLevel", "12");
        bool editorSeen = false;
        WhenVisible(
            p.edit.get(),
            [&] {
                editorSeen = true;
                p.edit->close();
            },
            500);
        p.main->ReadButtonClick();
        QVERIFY(!editorSeen);
        QCOMPARE(p.messages.shown.size(), std::size_t{1});
        QCOMPARE(p.messages.shown[0].text, std::string("Устройство не подключено или занято."));
        QCOMPARE(p.messages.shown[0].caption, std::string("Загрузка не возможна"));
        QVERIFY(p.messages.shown[0].buttons == MessageButtons::Ok);
        const ParameterList& list = p.main->Parameters();
        QCOMPARE(list.parameters[static_cast<std::size_t>(list.IndexOfKey("MicLevel"))].value,
                 std::string("12"));
        QCOMPARE(p.Log(), QStringList{kMissingReason});
    }

    void openFile_data()
    {
        QTest::addColumn<QByteArray>("contents");  // null: the dialog is cancelled
        QTest::addColumn<bool>("asFolder");        // the chosen name is a folder
        QTest::addColumn<QString>("micLevel");     // afterwards
        QTest::addColumn<bool>("editorOpens");
        QTest::addColumn<QString>("caption");  // of the one box shown, empty: none
        QTest::newRow("cancelled") << QByteArray() << false << "12" << false << "";
        QTest::newRow("crlf lines")
            << QByteArray("MicLevel=10\r\nNoteKick=4\r\n") << false << "10" << true << "";
        QTest::newRow("lf lines") << QByteArray("MicLevel=11\n") << false << "11" << true << "";
        QTest::newRow("empty file resets") << QByteArray("") << false << "8" << true << "";
        QTest::newRow("folder") << QByteArray("") << true << "12" << false << "Ошибка";
        QTest::newRow("binary file")
            << QByteArray("MicLevel=10\r\n\x01\x02", 15) << false << "12" << false << "Ошибка";
        QTest::newRow("no known key")
            << QByteArray("[General]\nPort=COM5\n") << false << "12" << false << "Ошибка";
    }
    void openFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, asFolder);
        QFETCH(QString, micLevel);
        QFETCH(bool, editorOpens);
        QFETCH(QString, caption);
        QTemporaryDir folder;
        QString chosen;
        if (asFolder) {
            chosen = folder.path();
        } else if (!contents.isNull()) {
            chosen = folder.filePath("settings.txt");
            QFile file(chosen);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        Program p({"COM2"}, "COM2");
        p.main->SetFileChooser([&](QWidget*, bool save) { return save ? QString() : chosen; });
        p.main->Parameters().SetValue("MicLevel", "12");
        bool editorSeen = false;
        WhenVisible(
            p.edit.get(),
            [&] {
                editorSeen = true;
                p.edit->close();
            },
            editorOpens ? 20000 : 500);
        QTest::mouseClick(p.Button("OpenFileButton"), Qt::LeftButton);
        QCOMPARE(editorSeen, editorOpens);
        const ParameterList& list = p.main->Parameters();
        QCOMPARE(QString::fromStdString(
                     list.parameters[static_cast<std::size_t>(list.IndexOfKey("MicLevel"))].value),
                 micLevel);
        QCOMPARE(p.messages.shown.size(), std::size_t(caption.isEmpty() ? 0 : 1));
        if (!caption.isEmpty())
            QCOMPARE(QString::fromStdString(p.messages.shown[0].caption), caption);
    }

    void failedRequestsShowTheirBox_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<std::string>("caption");
        QTest::newRow("serial") << "GetSerialButton"
                                << std::string("Устройство не подключено или занято.")
                                << std::string("Загрузка не возможна");
        QTest::newRow("version") << "GetVersionButton"
                                 << std::string("Устройство не подключено или занято")
                                 << std::string("Ошибка");
    }
    void failedRequestsShowTheirBox()
    {
        QFETCH(QString, button);
        QFETCH(std::string, text);
        QFETCH(std::string, caption);
        ScopedOwnerlessRecorder portMessages;
        Program p({kMissingPort}, kMissingPort);
        p.main->show();
        QTest::mouseClick(p.Button(button.toUtf8().constData()), Qt::LeftButton);
        QCOMPARE(p.messages.shown.size(), std::size_t{1});
        QCOMPARE(p.messages.shown[0].text, text);
        QCOMPARE(p.messages.shown[0].caption, caption);
        // After the box, once: why, and what to do.
        QCOMPARE(p.Log(), QStringList{kMissingReason});
    }

    // The log's context menu runs the connection check and writes its report into the log.
    void connectionCheckFromTheLogMenu()
    {
        SimProcess sim(SimProgram(), {});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        std::unique_ptr<QMenu> menu = p.main->CreateLogMenu();
        QAction* check = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == "Проверка подключения")
                check = action;
        QVERIFY(check != nullptr && check->isEnabled());
        check->trigger();
        const QStringList log = p.Log();
        QVERIFY(log.front().startsWith("[ок] Порт " + QString::fromStdString(sim.PtyPath())));
        QVERIFY2(log.back().startsWith("[ок] Устройство ответило: серийный номер 16001234"),
                 qPrintable(log.join('\n')));
    }

    void serialNumberIsLoggedSigned_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("logged");
        QTest::newRow("small") << "16001234"
                               << "16001234";
        QTest::newRow("largest positive") << "2147483647"
                                          << "2147483647";
        QTest::newRow("first negative") << "2147483648"
                                        << "-2147483648";
        QTest::newRow("three billion") << "3000000000"
                                       << "-1294967296";
        QTest::newRow("all ones") << "4294967295"
                                  << "-1";
        QTest::newRow("zero") << "0"
                              << "0";
    }
    void serialNumberIsLoggedSigned()
    {
        QFETCH(QString, id);
        QFETCH(QString, logged);
        SimProcess sim(SimProgram(), {"--id", id.toStdString()});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->show();
        QTest::mouseClick(p.Button("GetSerialButton"), Qt::LeftButton);
        QCOMPARE(p.Log(), QStringList{"Серийный номер устройства " + logged});
        QVERIFY(p.messages.shown.empty());
    }

    void versionIsLoggedWithTheShownType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("shown");
        QTest::newRow("renamed") << "TB_r2"
                                 << "K73 (r2)";
        QTest::newRow("own name") << "K64_r2"
                                  << "K64_r2";
        QTest::newRow("renamed only exactly") << "TB_r2x"
                                              << "TB_r2x";
        QTest::newRow("other case") << "tb_r2"
                                    << "tb_r2";
    }
    void versionIsLoggedWithTheShownType()
    {
        QFETCH(QString, type);
        QFETCH(QString, shown);
        SimProcess sim(SimProgram(), {"--type", type.toStdString(), "--version", "000.013"});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->show();
        QTest::mouseClick(p.Button("GetVersionButton"), Qt::LeftButton);
        QCOMPARE(p.Log(),
                 (QStringList{"Тип устройства   : " + shown, "Версия прошивки : 000.013"}));
    }

    void searchSelectsTheFoundPortWithoutStoringItTwice()
    {
        SimProcess sim(SimProgram(), {});
        QVERIFY(sim.Started());
        Program p({"COM2", sim.PtyPath()}, "COM2");
        QCOMPARE(p.Box()->currentIndex(), 0);
        const int generation = p.main->ActiveDevice().Generation();
        p.main->FindPortButtonClick();
        QCOMPARE(p.messages.shown.size(), std::size_t{1});
        QCOMPARE(p.messages.shown[0].caption, std::string("Устройство найдено"));
        QCOMPARE(p.store.saves, std::vector<std::string>{sim.PtyPath()});
        QCOMPARE(p.Box()->currentIndex(), 1);
        // The search moves the device object; selecting the entry does not replace it.
        QCOMPARE(p.main->ActiveDevice().Generation(), generation);
        QCOMPARE(p.main->ActiveDevice()->PortName(), sim.PtyPath());
    }

    void searchThatFindsNothingLeavesTheBox()
    {
        ScopedOwnerlessRecorder portMessages;
        Program p({"COM2", kMissingPort}, "COM2");
        p.main->FindPortButtonClick();
        QCOMPARE(p.messages.shown.size(), std::size_t{1});
        QCOMPARE(p.messages.shown[0].text, std::string("Устройство не найдено"));
        QVERIFY(p.store.saves.empty());
        QCOMPARE(p.Box()->currentIndex(), 0);
        QCOMPARE(p.main->ActiveDevice()->PortName(), std::string("COM2"));
    }

    // One transfer at a time: while one runs, the other update and the search are disabled and
    // refused, and the diagnostic window waits; the unit sees one prepare request.
    void oneTransferAtATime_data()
    {
        QTest::addColumn<QString>("transfer");
        QTest::addColumn<QString>("attempt");
        QTest::addColumn<int>("boxes");  // shown by the attempt
        QTest::newRow("sound during firmware") << "firmware"
                                               << "sound" << 0;
        QTest::newRow("search during firmware") << "firmware"
                                                << "search" << 0;
        QTest::newRow("diagnostic during firmware") << "firmware"
                                                    << "diagnostic" << 1;
        QTest::newRow("firmware during sound") << "sound"
                                               << "firmware" << 0;
        QTest::newRow("search during sound") << "sound"
                                             << "search" << 0;
    }
    void oneTransferAtATime()
    {
        QFETCH(QString, transfer);
        QFETCH(QString, attempt);
        QFETCH(int, boxes);
        QTemporaryDir folder;
        const std::string trace = folder.filePath("trace").toStdString();
        SimProcess sim(SimProgram(),
                       {"--trace", trace, "--prepare-delay-ms", "0", "--delay", "192:20"});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->show();
        p.messages.answers = {MessageAnswer::Ok};
        const bool firmware = transfer == "firmware";
        if (firmware)
            p.main->BlowUpdateButtonClick();
        else
            p.main->WaveUpdateButtonClick();
        QTRY_VERIFY(p.main->findChild<QProgressBar*>("SaveProgress")->value() >= 2);
        QVERIFY(!p.Button("FindPortButton")->isEnabled());
        QVERIFY(!p.Button(firmware ? "WaveUpdateButton" : "BlowUpdateButton")->isEnabled());
        QCOMPARE(p.Button("WaveUpdateButton")->isEnabled(), !firmware);  // "Стоп"

        const std::size_t before = p.messages.shown.size();
        bool diagnosticSeen = false;
        WhenVisible(
            p.diag.get(), [&] { diagnosticSeen = true; }, 500);
        if (attempt == "sound")
            p.main->WaveUpdateButtonClick();
        else if (attempt == "firmware")
            p.main->BlowUpdateButtonClick();
        else if (attempt == "search")
            p.main->FindPortButtonClick();
        else
            p.main->Memo1DblClick();
        QCOMPARE(p.messages.shown.size(), before + static_cast<std::size_t>(boxes));
        QVERIFY(!diagnosticSeen);
        if (boxes > 0)
            QCOMPARE(p.messages.shown.back().text,
                     std::string("Идет обновление устройства.\nДиагностика будет доступна после "
                                 "его окончания."));

        if (!firmware) {
            p.messages.answers = {MessageAnswer::Yes};  // "Стоп"
            p.main->WaveUpdateButtonClick();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!p.main->TransferActive(), 60000);
        QVERIFY(p.Button("FindPortButton")->isEnabled());
        QVERIFY(p.Button("WaveUpdateButton")->isEnabled());
        QVERIFY(p.Button("BlowUpdateButton")->isEnabled());
        sim.Stop();
        const std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
        QCOMPARE(std::count(codes.begin(), codes.end(), 195), firmware ? 1 : 0);
        QCOMPARE(std::count(codes.begin(), codes.end(), 196), firmware ? 0 : 1);
    }

    // The firmware update keeps the unit's settings before its prepare request and offers them
    // back when the update changed them; when they cannot be kept, the box says why and asks
    // whether to go on without them.
    void firmwareUpdateSafetyNet_data()
    {
        QTest::addColumn<QStringList>("unit");  // the simulator's options
        QTest::addColumn<QString>("history");   // "file/h" cannot be made
        QTest::addColumn<QString>("answers");   // O(k), C(ancel), Y(es), N(o), in turn
        QTest::addColumn<QString>("box");       // the second box, "" none
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("committed");
        QTest::addColumn<QString>("lastLog");  // the start of its last lines
        const QStringList reset = {"--reset-settings-on-commit"};
        QTest::newRow("kept, unchanged") << QStringList() << "h"
                                         << "O"
                                         << "" << 1 << true << "Загрузка закончена.";
        QTest::newRow("changed, Yes restores")
            << reset << "h"
            << "OY"
            << "Обновление изменило 1 значение настроек.\nВернуть прежние настройки?" << 1 << true
            << "Проверено: устройство хранит записанные настройки.\nНастройки восстановлены.";
        QTest::newRow("changed, No says where they are")
            << reset << "h"
            << "ON"
            << "Обновление изменило 1 значение настроек.\nВернуть прежние настройки?" << 1 << true
            << "Прежние настройки можно открыть кнопкой «Открыть файл с настройками»: ";
        QTest::newRow("folder unwritable, No")
            << QStringList() << "file/h"
            << "ON"
            << "Не удалось создать папку истории настроек " << 0 << false << "Обновление отменено.";
        QTest::newRow("folder unwritable, Yes")
            << QStringList() << "file/h"
            << "OY"
            << "Не удалось создать папку истории настроек " << 0 << true << "Загрузка закончена.";
        QTest::newRow("settings not given, Yes")
            << QStringList{"--wrong-reply", "200"} << "h"
            << "OY"
            << "Устройство не передало свои настройки, резервная копия не сделана.\n"
               "Продолжить без резервной копии?"
            << 0 << true << "Загрузка закончена.";
    }
    void firmwareUpdateSafetyNet()
    {
        QFETCH(QStringList, unit);
        QFETCH(QString, history);
        QFETCH(QString, answers);
        QFETCH(QString, box);
        QFETCH(int, entries);
        QFETCH(bool, committed);
        QFETCH(QString, lastLog);
        QTemporaryDir folder;
        QFile(folder.filePath("file")).open(QIODevice::WriteOnly);
        {
            QFile settings(folder.filePath("unit.txt"));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write("MicLevel=10\n");
        }
        std::vector<std::string> args = {"--settings-file",
                                         folder.filePath("unit.txt").toStdString(),
                                         "--trace",
                                         folder.filePath("trace").toStdString(),
                                         "--prepare-delay-ms",
                                         "0"};
        for (const QString& arg : unit)
            args.push_back(arg.toStdString());
        SimProcess sim(SimProgram(), args);
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath(), {}, folder.filePath(history).toStdString());
        p.main->show();
        for (const QChar answer : answers)
            p.messages.answers.push_back(answer == 'O'   ? MessageAnswer::Ok
                                         : answer == 'C' ? MessageAnswer::Cancel
                                         : answer == 'Y' ? MessageAnswer::Yes
                                                         : MessageAnswer::No);
        p.main->BlowUpdateButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!p.main->TransferActive(), 60000);
        QTRY_VERIFY(p.messages.shown.size() == (box.isEmpty() ? 1u : 2u));
        if (!box.isEmpty()) {
            QVERIFY2(QString::fromStdString(p.messages.shown[1].text).startsWith(box),
                     p.messages.shown[1].text.c_str());
            QVERIFY(p.messages.shown[1].buttons ==
                    (entries > 0 ? MessageButtons::YesNo : MessageButtons::YesNoDefaultNo));
        }
        const QStringList log = p.Log();
        QVERIFY2(log.mid(log.size() - lastLog.count('\n') - 1).join('\n').startsWith(lastLog),
                 qPrintable(log.join('\n')));
        QCOMPARE(QDir(folder.filePath(history)).entryList(QDir::Files).size(), entries);
        sim.Stop();
        const std::vector<std::uint16_t> codes =
            Codes(ReceivedFrames(folder.filePath("trace").toStdString()));
        QCOMPARE(std::count(codes.begin(), codes.end(), 195),
                 answers == "ON" && entries == 0 ? 0 : 1);
        QCOMPARE(std::count(codes.begin(), codes.end(), 190), committed ? 1 : 0);
    }

    // A close that comes while a request waits is carried out when the wait is over: during a
    // transfer the question comes after the block under way (No goes on, Yes stops before the
    // commit); otherwise the window closes, and the box the wait led to is not shown.
    void closeDuringAWait_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("question");  // "" none
        QTest::newRow("firmware") << "firmware"
                                  << "Идет обновление. Прервать его?";
        QTest::newRow("sound") << "sound"
                               << "Идет обновление звука. Прервать его?\nГолосовые сообщения "
                                  "устройства будут недоступны до следующего обновления.";
        QTest::newRow("serial number") << "serial"
                                       << "";
    }
    void closeDuringAWait()
    {
        QFETCH(QString, operation);
        QFETCH(QString, question);
        QTemporaryDir folder;
        const std::string trace = folder.filePath("trace").toStdString();
        SimProcess sim(SimProgram(), {"--trace", trace, "--prepare-delay-ms", "0", "--delay",
                                      "192:20", "--delay", "10:300", "--wrong-reply", "10"});
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->show();
        // Closes from inside the next wait, as a click on the window's close button would.
        int closes = 0;
        const auto closeInsideAWait = [&] {
            auto* timer = new QTimer(p.main.get());
            QObject::connect(timer, &QTimer::timeout, [&, timer] {
                if (!ui::InsideWait())
                    return;
                timer->deleteLater();
                timer->stop();
                ++closes;
                p.main->close();
            });
            timer->start(1);
        };
        if (operation == "serial") {
            QTimer::singleShot(0, [&] { closeInsideAWait(); });
            p.main->GetSerialButtonClick();
            QCOMPARE(closes, 1);
            QTRY_VERIFY(!p.main->isVisible());
            QVERIFY(p.messages.shown.empty());
            return;
        }
        p.messages.answers = {MessageAnswer::Ok, MessageAnswer::No, MessageAnswer::Yes};
        if (operation == "firmware")
            p.main->BlowUpdateButtonClick();
        else
            p.main->WaveUpdateButtonClick();
        QTRY_VERIFY(p.main->findChild<QProgressBar*>("SaveProgress")->value() >= 2);
        closeInsideAWait();
        QTRY_COMPARE(p.messages.shown.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(p.messages.shown.back().text), question);
        QVERIFY(p.main->isVisible());
        QVERIFY(p.main->TransferActive());
        closeInsideAWait();
        QTRY_VERIFY(!p.main->isVisible());
        QVERIFY(!p.main->TransferActive());
        QVERIFY(p.Log().contains("Обновление отменено."));
        sim.Stop();
        const std::vector<std::uint16_t> codes = Codes(ReceivedFrames(trace));
        QVERIFY(std::count(codes.begin(), codes.end(), 192) > 0);
        QCOMPARE(std::count(codes.begin(), codes.end(), 190), 0);
    }

    // A double click on the log held while "Серийный номер" waits: handed on after the wait,
    // it opens the diagnostic window, unless the wait ended in a box, which the click was not
    // meant for.
    void inputHeldDuringAWait_data()
    {
        QTest::addColumn<QStringList>("unit");
        QTest::addColumn<bool>("diagnosticOpens");
        QTest::newRow("wait ends well") << QStringList{"--delay", "10:300"} << true;
        QTest::newRow("wait ends in a box")
            << QStringList{"--delay", "10:300", "--wrong-reply", "10"} << false;
    }
    void inputHeldDuringAWait()
    {
        QFETCH(QStringList, unit);
        QFETCH(bool, diagnosticOpens);
        std::vector<std::string> args;
        for (const QString& arg : unit)
            args.push_back(arg.toStdString());
        SimProcess sim(SimProgram(), args);
        QVERIFY(sim.Started());
        Program p({sim.PtyPath()}, sim.PtyPath());
        p.main->SetMessageReceiver(nullptr);  // real boxes: the held click must not pass them
        p.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.main.get()));
        auto* log = p.main->findChild<QPlainTextEdit*>("Memo1");
        const QPoint onLog = log->viewport()->mapTo(p.main.get(), QPoint(20, 20));
        bool heldDuringWait = false;
        QTimer::singleShot(50, [&] {
            QTest::mouseDClick(p.main->windowHandle(), Qt::LeftButton, {}, onLog);
            heldDuringWait = ui::InsideWait() && !p.diag->isVisible();
        });
        QTimer closeBox;
        QObject::connect(&closeBox, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                QTimer::singleShot(100, box, [box] { box->accept(); });
        });
        closeBox.start(20);
        bool diagnosticSeen = false;
        WhenVisible(p.diag.get(), [&] {
            diagnosticSeen = true;
            p.diag->close();
        });
        p.main->GetSerialButtonClick();
        QTest::qWait(500);
        QVERIFY(heldDuringWait);
        QCOMPARE(diagnosticSeen, diagnosticOpens);
    }

    // Last: from here on Qt's own texts are Russian in this program.
    void standardDialogsSpeakRussian()
    {
        QVERIFY(ui::InstallRussianStandardTexts());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QString("&Имя файла:"));
    }
};

K64_UI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
