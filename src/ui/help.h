#pragma once
// The technician's guide and the program's "about" text, from every window: F1 opens the guide
// at the window's own chapter in the system's browser.

#include <QString>
#include <QUrl>

class QWidget;

namespace k64::ui {

// Chapters of the guide (anchors of its page) that the windows open at.
inline constexpr const char* kGuideMainWindow = "main-window";
inline constexpr const char* kGuideEditor = "editor";
inline constexpr const char* kGuideDiagnostic = "diagnostic";

// The guide's page at `chapter`, beside the program (a Windows folder), under its share/doc
// (a Linux install) or in the build tree; empty when none is there.
QUrl GuideUrl(const char* chapter);

// Opens the guide; tells the user in a box owned by `owner` when it is missing or no program
// opens it.
void OpenGuide(QWidget* owner, const char* chapter);

// F1 in `window` (and every widget in it) opens the guide at `chapter`.
void InstallGuideKey(QWidget* window, const char* chapter);

// "О программе": the program's version, the images it carries, its licence and sources.
void ShowAbout(QWidget* owner);

}  // namespace k64::ui
