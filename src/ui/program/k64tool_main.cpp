// k64tool: the desktop service tool.

#include "common/message_interface.h"
#include "platform/port_catalog.h"
#include "platform/port_name_store.h"
#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"
#include "ui/screenshot.h"
#include "ui/widget_messages.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // Hidden option for the documentation: --screenshot DIR.
    QString screenshotDirectory;
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype at = arguments.indexOf("--screenshot");
        at >= 0 && at + 1 < arguments.size())
        screenshotDirectory = arguments[at + 1];

    // The serial port's own failures belong to no window.
    k64::ui::WidgetMessages ownerless;
    k64::SetOwnerlessMessages(&ownerless);

    k64::QtPortNameStore store;
    k64::SystemPortCatalog catalog;
    k64::ui::TMainForm MainForm(
        k64::ui::MainFormPlatform{store, catalog, &k64::WindowPortList, k64::DefaultPortName()});
    k64::ui::TParametersEditForm ParametersEditForm(MainForm.ActiveDevice(), &MainForm);
    k64::ui::TDiagnosticForm DiagnosticForm(MainForm.ActiveDevice(), &MainForm);
    MainForm.SetForms(&ParametersEditForm, &DiagnosticForm);

    int status = 0;
    if (!screenshotDirectory.isEmpty()) {
        status = k64::ui::TakeScreenshots(MainForm, ParametersEditForm, DiagnosticForm,
                                          screenshotDirectory);
    } else {
        MainForm.show();
        status = QApplication::exec();
    }
    k64::SetOwnerlessMessages(nullptr);
    return status;
}
