#pragma once
// Choosing a settings file, and the file name as the parameters layer takes it.

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>

namespace k64::ui {

// Asks for a file to open (`save` false) or to save to; an empty text when the user cancels.
// The dialog starts in the folder last used (remembered in the settings store, organisation QF,
// application k64tool, or beside a portable copy), the first time in the user's Documents; the
// settings history is in its side bar. Tests put their own chooser in its place.
using FileChooser = std::function<QString(QWidget* owner, bool save)>;

QString ChooseSettingsFile(QWidget* owner, bool save);

// The same dialog for other files: `filter` and `suffix` as the dialog takes them (UTF-8); an
// existing file is replaced after a question.
QString ChooseFileToSave(QWidget* owner, const char* filter, const char* suffix);

std::filesystem::path ToPath(const QString& fileName);

// Qt's own dialogs, buttons and menus in the program's language, whatever the desktop's is.
// False when Qt's Russian translation is not installed (they stay in English then).
bool InstallRussianStandardTexts();

}  // namespace k64::ui
