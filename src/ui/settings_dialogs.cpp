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

QString ChooseSettingsFile(QWidget* owner, bool save) {
    QFileDialog dialog(owner);
    dialog.setNameFilter(QString::fromUtf8(text::kSettingsFilter));
    dialog.setDefaultSuffix(QString::fromUtf8(text::kSettingsSuffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // An existing file is replaced without a question, as the save has always done.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Opening starts in the settings history, where every read is kept, until the user picks
    // a file elsewhere; then in that folder for the rest of the session.
    static QString openFolder = QString::fromStdWString(HistoryFolder().wstring());
    if (!save && QFileInfo(openFolder).isDir()) dialog.setDirectory(openFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    if (!save) openFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

std::filesystem::path ToPath(const QString& fileName) {
#ifdef _WIN32
    return std::filesystem::path(fileName.toStdWString());
#else
    // The bytes the file system uses for this name, not a guess at the locale's conversion.
    const QByteArray encoded = QFile::encodeName(fileName);
    return std::filesystem::path(std::string(encoded.constData(), encoded.size()));
#endif
}

bool InstallRussianStandardTexts() {
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
