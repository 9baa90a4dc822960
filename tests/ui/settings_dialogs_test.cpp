// The file dialogs of the windows: where they start (the folder last used, the user's Documents
// the first time, never the working folder) and the settings history in their side bar.

#include "ui/settings_dialogs.h"
#include "ui/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <functional>

using namespace k64;
using namespace k64::test;

namespace {

// What the dialog showed when it opened: its folder and its side bar.
struct Shown {
    QString folder;
    QList<QUrl> places;
};

// Runs `choose` and answers its dialog with `file` once it is open.
Shown Answer(const std::function<QString()>& choose, const QString& file, QString* chosen)
{
    Shown shown;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        shown = {dialog->directory().absolutePath(), dialog->sidebarUrls()};
        // The whole name typed, as a user may: the dialog takes it as it is.
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(file);
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
    *chosen = choose();
    return shown;
}

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:

    void startInTheFolderLastUsedWithTheHistoryAtHand()
    {
        QTemporaryDir home;
        const QString history = home.filePath("history");
        QVERIFY(QDir().mkpath(history));
        qputenv("K64_HISTORY_DIR", history.toUtf8());
        // A working folder that no dialog may start in.
        QTemporaryDir working;
        QVERIFY(QDir::setCurrent(working.path()));
        QSettings("QF", "k64tool").remove("Folder");
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(documents));
        const QString elsewhere = home.filePath("elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        QFile existing(elsewhere + "/unit.txt");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();

        QWidget owner;
        struct Step {
            const char* name;
            bool save;
            QString file;  // answered
            QString startsIn;
        };
        const Step steps[] = {
            {"first save", true, elsewhere + "/new.txt", documents},
            {"open after the save", false, elsewhere + "/unit.txt", elsewhere},
            {"save after the open", true, history + "/copy.txt", elsewhere},
            {"open after a save into the history", false, elsewhere + "/unit.txt", history},
        };
        for (const Step& step : steps) {
            QString chosen;
            const Shown shown = Answer([&] { return ui::ChooseSettingsFile(&owner, step.save); },
                                       step.file, &chosen);
            QCOMPARE(QDir(shown.folder).canonicalPath(), QDir(step.startsIn).canonicalPath());
            QVERIFY2(shown.places.contains(QUrl::fromLocalFile(history)), step.name);
            QCOMPARE(chosen, step.file);
        }
        // The diagnostic window's recordings take the same dialog.
        QString chosen;
        const Shown shown =
            Answer([&] { return ui::ChooseFileToSave(&owner, "записи (*.csv)", "csv"); },
                   elsewhere + "/rec.csv", &chosen);
        QCOMPARE(QDir(shown.folder).canonicalPath(), QDir(elsewhere).canonicalPath());
        QCOMPARE(chosen, elsewhere + "/rec.csv");
    }
};

K64_UI_TEST_MAIN(SettingsDialogsTest)
#include "settings_dialogs_test.moc"
