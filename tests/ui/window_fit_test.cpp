// The windows on a small screen at a large scale: at scale factor 2 on a 1280×1024 screen
// (640×512 for the program) every window opens inside the screen, and the main window keeps
// every button and two log lines in view however small it is made, giving extra room to the log.

#include "ui/Diagnostic.h"
#include "ui/K64main.h"
#include "ui/Parametrsedit.h"
#include "ui/settings_dialogs.h"
#include "ui/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace k64;
using namespace k64::test;

namespace {

struct Program {
    MemoryPortStore store;
    ListPortCatalog catalog;
    RecordingMessages messages;
    std::unique_ptr<ui::TMainForm> main;
    std::unique_ptr<ui::TParametersEditForm> edit;
    std::unique_ptr<ui::TDiagnosticForm> diag;
    ui::DeviceSlot none;  // the diagnostic window opens without a unit

    Program()
    {
        main = std::make_unique<ui::TMainForm>(
            ui::MainFormPlatform{store,
                                 catalog,
                                 [] { return std::vector<std::string>{"COM5"}; },
                                 "COM5",
                                 &messages,
                                 {},
                                 {},
                                 {}});
        edit = std::make_unique<ui::TParametersEditForm>(main->ActiveDevice(), main.get());
        diag = std::make_unique<ui::TDiagnosticForm>(none, main.get());
        edit->SetParameters(&main->Parameters());
    }
};

QString Describe(const QRect& r)
{
    return QString("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

class WindowFitTest : public QObject {
    Q_OBJECT

private slots:

    void everyWindowOpensInsideTheScreen()
    {
        Program p;
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(area.size(), QSize(640, 512));
        p.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.main.get()));
        QVERIFY2(area.contains(p.main->frameGeometry()),
                 qPrintable(Describe(p.main->frameGeometry())));
        for (QDialog* window :
             {static_cast<QDialog*>(p.edit.get()), static_cast<QDialog*>(p.diag.get())}) {
            QRect shown;
            WhenVisible(window, [&] {
                shown = window->frameGeometry();
                window->close();
            });
            window->exec();
            QVERIFY2(area.contains(shown),
                     qPrintable(window->objectName() + " " + Describe(shown)));
        }
        QRect dialog;
        WhenModal<QFileDialog>([&](QFileDialog* opened) {
            dialog = opened->frameGeometry();
            opened->reject();
        });
        ui::ChooseSettingsFile(p.main.get(), true);
        QVERIFY2(area.contains(dialog), qPrintable("file dialog " + Describe(dialog)));
    }

    void theLogTakesTheRoomAndTheButtonsStay_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("got");
        QTest::newRow("too small") << QSize(200, 300) << QSize(0, 0);  // the minimum
        QTest::newRow("as designed") << QSize(320, 505) << QSize(320, 505);
        QTest::newRow("larger") << QSize(600, 500) << QSize(600, 500);
    }
    void theLogTakesTheRoomAndTheButtonsStay()
    {
        QFETCH(QSize, asked);
        QFETCH(QSize, got);
        Program p;
        p.main->show();
        p.main->resize(asked);
        if (got.isNull())
            got = p.main->minimumSize();
        QCOMPARE(p.main->size(), got);
        const QRect window = p.main->rect();
        auto* log = p.main->findChild<QPlainTextEdit*>("Memo1");
        const QRect logArea(log->mapTo(p.main.get(), QPoint(0, 0)), log->size());
        for (const QPushButton* button : p.main->findChildren<QPushButton*>()) {
            const QRect place(button->mapTo(p.main.get(), QPoint(0, 0)), button->size());
            QVERIFY2(window.contains(place) && !place.intersects(logArea),
                     qPrintable(button->objectName() + " " + Describe(place)));
        }
        // Two lines at least, and everything below the buttons that the progress bar leaves.
        QVERIFY(log->viewport()->height() >= 2 * log->fontMetrics().lineSpacing());
        QCOMPARE(logArea.bottom(), window.bottom() - 16);
        if (asked == QSize(320, 505))
            QCOMPARE(logArea, QRect(0, 312, 320, 177));
    }
};

// One screen of 1280×1024 pixels, the program drawn twice as large.
int main(int argc, char* argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("QT_SCALE_FACTOR", "2");
    QFile screens(config.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280,
                          "height": 1024, "logicalDpi": 96, "dpr": 1}]})") < 0)
        return 1;
    screens.close();
    // Named from the folder it is in: a drive letter's colon would end the platform's option.
    QDir::setCurrent(config.path());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=screens.json");
    QApplication app(argc, argv);
    WindowFitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_fit_test.moc"
