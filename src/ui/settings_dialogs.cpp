#include "ui/settings_dialogs.h"

#include "platform/history_folder.h"
#include "ui/ui_texts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace k64::ui {

namespace {

QString ChooseFile(QWidget* owner, bool save, const char* filter, const char* suffix,
                   bool confirmOverwrite)
{
    QFileDialog dialog(owner);
    dialog.setNameFilter(QString::fromUtf8(filter));
    dialog.setDefaultSuffix(QString::fromUtf8(suffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    // Opening starts in the settings history, where every read is kept, until the user picks
    // a file elsewhere; then in that folder for the rest of the session.
    static QString openFolder = QString::fromStdWString(HistoryFolder().wstring());
    if (!save && QFileInfo(openFolder).isDir())
        dialog.setDirectory(openFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    if (!save)
        openFolder = QFileInfo(chosen).absolutePath();
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
