#include "ui/screenshot.h"

#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"
#include "ui/display_text.h"
#include "ui/help.h"
#include "ui/settings_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

namespace k64::ui {
namespace {

// Boxes go to standard error and are answered with the first button: nobody is there to click.
class LoggedMessages final : public MessageInterface {
public:
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override
    {
        std::fprintf(stderr, "k64tool: %s: %s\n", caption.c_str(), text.c_str());
        return GoAnswer(buttons);
    }
};

// Lets the windows paint and the unit's stream arrive for `span`, sleeping in the event loop.
void Settle(std::chrono::milliseconds span)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < span.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents,
                                        static_cast<int>(span.count() - clock.elapsed()));
    }
}

bool Save(QWidget& window, const QDir& directory, const char* name)
{
    const QString path = directory.filePath(QString::fromUtf8(name));
    const bool saved = window.grab().save(path, "PNG");
    std::fprintf(stderr, "k64tool: %s %s\n", saved ? "wrote" : "could not write",
                 path.toLocal8Bit().constData());
    return saved;
}

// Saves the modal window that `open` shows (a box, a dialog) once it is up, then closes it.
bool SaveModal(const QDir& directory, const char* name, const std::function<void()>& open)
{
    bool saved = false;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        watch.stop();
        Settle(std::chrono::milliseconds(300));
        saved = Save(*modal, directory, name);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    });
    watch.start();
    open();
    return saved;
}

}  // namespace

int TakeScreenshots(TMainForm& mainForm, TParametersEditForm& editForm,
                    TDiagnosticForm& diagnosticForm, const QString& directory)
{
    using namespace std::chrono_literals;
    const QDir dir(directory);
    if (!dir.exists() && !QDir().mkpath(directory)) {
        std::fprintf(stderr, "k64tool: cannot create %s\n", directory.toLocal8Bit().constData());
        return 1;
    }
    LoggedMessages messages;
    mainForm.SetMessageReceiver(&messages);
    editForm.SetMessageReceiver(&messages);

    mainForm.show();
    Settle(300ms);
    // Find the unit first unless the stored port already reaches it.
    std::uint32_t id = 0;
    if (!mainForm.ActiveDevice() || !Succeeded(mainForm.ActiveDevice()->GetId(&id)))
        mainForm.FindPortButtonClick();
    mainForm.GetSerialButtonClick();
    mainForm.GetVersionButtonClick();
    Settle(200ms);
    bool ok = Save(mainForm, dir, "main_window.png");

    // The editor as ReadButtonClick opens it, but left open for the picture.
    if (mainForm.ActiveDevice()) {
        std::string settings;
        if (mainForm.ActiveDevice()->ReadSettings(&settings) > 0)
            mainForm.Parameters().ReadText(std::move(settings));
    }
    editForm.SetParameters(&mainForm.Parameters());
    editForm.show();
    Settle(200ms);
    if (auto* tree = editForm.findChild<QTreeWidget*>("Tree"); tree && tree->topLevelItemCount()) {
        QTreeWidgetItem* group = tree->topLevelItem(0);
        tree->setCurrentItem(group->childCount() ? group->child(0) : group);
    }
    Settle(200ms);
    ok = Save(editForm, dir, "parameter_editor.png") && ok;
    editForm.close();

    diagnosticForm.show();
    Settle(2500ms);
    ok = Save(diagnosticForm, dir, "diagnostic_window.png") && ok;
    diagnosticForm.close();

    // The connection check's report in the log, alone there.
    auto* log = mainForm.findChild<QPlainTextEdit*>("Memo1");
    log->clear();
    mainForm.CheckConnectionClick();
    Settle(200ms);
    ok = Save(mainForm, dir, "connection_check.png") && ok;

    // A firmware update from its question to its end, its questions answered yes.
    log->clear();
    mainForm.BlowUpdateButtonClick();
    QElapsedTimer update;
    update.start();
    while (mainForm.TransferActive() && update.elapsed() < 60'000)
        Settle(100ms);
    Settle(200ms);
    ok = Save(mainForm, dir, "update_log.png") && ok;

    // The log's context menu, as a right click opens it.
    std::unique_ptr<QMenu> menu = mainForm.CreateLogMenu();
    menu->popup(log->mapToGlobal(QPoint(40, 40)));
    Settle(300ms);
    ok = Save(*menu, dir, "log_menu.png") && ok;
    menu->close();

    ok = SaveModal(dir, "about.png", [&] { ShowAbout(&mainForm); }) && ok;
    ok = SaveModal(dir, "open_dialog.png", [&] { (void)ChooseSettingsFile(&mainForm, false); }) &&
         ok;

    mainForm.SetMessageReceiver(nullptr);
    editForm.SetMessageReceiver(nullptr);
    return ok ? 0 : 1;
}

}  // namespace k64::ui
