#include "ui/screenshot.h"

#include "platform/display_text.h"
#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTreeWidget>

#include <chrono>
#include <cstdint>
#include <cstdio>

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

    mainForm.SetMessageReceiver(nullptr);
    editForm.SetMessageReceiver(nullptr);
    return ok ? 0 : 1;
}

}  // namespace k64::ui
