#include "ui/settings_dialogs.h"

#include "platform/history_folder.h"
#include "platform/portable.h"
#include "ui/ui_texts.h"
#include "ui/window_fit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QTranslator>
#include <QUrl>

#include <algorithm>

namespace k64::ui {

namespace {

// Where the folder last used is remembered: beside a portable copy, else the user's settings.
constexpr const char* kSettingsOrganisation = "QF";
constexpr const char* kSettingsApplication = "k64tool";
constexpr const char* kFolderKey = "Folder";

// The user's Documents folder, or the home folder where there is none.
QString StartFolderFirstTime()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString RememberedFolder()
{
    if (const auto portable = PortableSettingsFile())
        return QString::fromStdString(ReadPortableValue(*portable, kFolderKey));
    return QSettings(kSettingsOrganisation, kSettingsApplication).value(kFolderKey).toString();
}

void RememberFolder(const QString& folder)
{
    if (const auto portable = PortableSettingsFile()) {
        WritePortableValue(*portable, kFolderKey, folder.toStdString());
        return;
    }
    QSettings(kSettingsOrganisation, kSettingsApplication).setValue(kFolderKey, folder);
}

QString ChooseFile(QWidget* owner, bool save, const char* filter, const char* suffix,
                   bool confirmOverwrite)
{
    QFileDialog dialog(owner);
    // Qt's own dialog on every system: the system's dialogs leave out the side bar's places.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QString::fromUtf8(filter));
    dialog.setDefaultSuffix(QString::fromUtf8(suffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    // Never the working folder: started from a menu, that is the program's own folder, where a
    // user may not write and an uninstall would leave the file behind.
    const QString documents = StartFolderFirstTime();
    QString start = RememberedFolder();
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = documents;
    dialog.setDirectory(start);
    // Every read from the unit is kept in the history: one click away in both directions, made
    // before the first read so that it is there. Places the user has not got are left out.
    const QString history = QString::fromStdWString(HistoryFolder().wstring());
    QDir().mkpath(history);
    QList<QUrl> places;
    for (const QString& folder :
         {history, documents, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
          QDir::homePath()}) {
        if (QFileInfo(folder).isDir())
            places << QUrl::fromLocalFile(folder);
    }
    places << QUrl("file:");  // the computer: drives, the root
    dialog.setSidebarUrls(places);
    // The places' names whole, and the dialog inside the screen at any scale.
    if (auto* split = dialog.findChild<QSplitter*>("splitter"); split && split->count() == 2) {
        const int side = std::max(split->sizes().constFirst(), dialog.width() / 4);
        split->setSizes({side, dialog.width() - side});
    }
    ShrinkToScreen(&dialog, owner ? owner->screen() : QGuiApplication::primaryScreen());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    RememberFolder(QFileInfo(chosen).absolutePath());
    return chosen;
}

}  // namespace

QString ChooseSettingsFile(QWidget* owner, bool save)
{
    // An existing file is replaced without a question, as the save has always done.
    return ChooseFile(owner, save, text::kSettingsFilter, text::kSettingsSuffix, false);
}

QString ChooseFileToSave(QWidget* owner, const char* filter, const char* suffix)
{
    return ChooseFile(owner, true, filter, suffix, true);
}

std::filesystem::path ToPath(const QString& fileName)
{
#ifdef _WIN32
    return std::filesystem::path(fileName.toStdWString());
#else
    // The bytes the file system uses for this name, not a guess at the locale's conversion.
    const QByteArray encoded = QFile::encodeName(fileName);
    return std::filesystem::path(std::string(encoded.constData(), encoded.size()));
#endif
}

bool InstallRussianStandardTexts()
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(russian, "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace k64::ui
