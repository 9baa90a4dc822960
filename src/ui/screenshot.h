#pragma once
// Pictures of the three windows for the documentation: the program runs on a unit (usually the
// simulator), reads its serial number, version, settings and diagnostic stream, and saves each
// window as a PNG file instead of waiting for the user.

#include <QString>

namespace k64::ui {

class TMainForm;
class TParametersEditForm;
class TDiagnosticForm;

// Writes main_window.png, parameter_editor.png and diagnostic_window.png into `directory`.
// Returns the program's exit status: 0 when all three were written.
int TakeScreenshots(TMainForm& mainForm, TParametersEditForm& editForm,
                    TDiagnosticForm& diagnosticForm, const QString& directory);

}  // namespace k64::ui
