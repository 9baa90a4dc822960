#pragma once
// Pictures of the program for the README and the technician's guide: the program runs on a unit
// (usually the simulator), reads its serial number, version, settings and diagnostic stream, runs
// the connection check and a firmware update, and saves each view as a PNG file instead of
// waiting for the user.

#include <QString>

namespace k64::ui {

class TMainForm;
class TParametersEditForm;
class TDiagnosticForm;

// Writes into `directory` main_window.png, parameter_editor.png, diagnostic_window.png,
// connection_check.png, update_log.png (the log after a firmware update), log_menu.png (the
// log's context menu), about.png ("О программе") and open_dialog.png (the settings file dialog).
// Returns the program's exit status: 0 when all were written.
int TakeScreenshots(TMainForm& mainForm, TParametersEditForm& editForm,
                    TDiagnosticForm& diagnosticForm, const QString& directory);

}  // namespace k64::ui
