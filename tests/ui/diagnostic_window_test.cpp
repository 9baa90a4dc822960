// The diagnostic window: exact diagnostic bytes from a unit played on a pseudo-terminal, tick by
// tick, and the streaming k64-sim across two showings and into its recording.

#ifndef _WIN32
#include "support/pty_pair.h"
#endif
#include "support/sim_process.h"
#include "ui/Diagnostic.h"
#include "ui/accel_plot.h"
#include "ui/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace k64;
using namespace k64::test;
using k64::ui::TDiagnosticForm;

namespace {

struct Window {
    MemoryPortStore store;
    ListPortCatalog catalog;
    ui::DeviceSlot slot;
    std::unique_ptr<TDiagnosticForm> diag;

    explicit Window(const std::string& port)
    {
        store.name = port;
        slot.Replace(std::make_unique<TDevice>(store, catalog));
        diag = std::make_unique<TDiagnosticForm>(slot);
    }
    QString Label(const char* name) const { return diag->findChild<QLabel*>(name)->text(); }
    QStringList Memo() const
    {
        return diag->findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n');
    }
    QTimer* Timer() const { return diag->findChild<QTimer*>("Timer1"); }
};

#ifndef _WIN32
Bytes ToBytes(const QByteArray& text) { return Bytes(text.begin(), text.end()); }
#endif

// Counts the events of one type a widget receives.
class EventCounter final : public QObject {
public:
    EventCounter(QEvent::Type type, int& count) : type_(type), count_(count) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == type_)
            ++count_;
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type type_;
    int& count_;
};

}  // namespace

class DiagnosticWindowTest : public QObject {
    Q_OBJECT

private slots:

    // Scripted bytes need a terminal of this process, which Windows has not; there the
    // simulator plays the unit.
#ifndef _WIN32
    void oneTick_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("appended");
        const QStringList untouched{"Label1", "Label2", "Label3"};
        QTest::newRow("truncated toward zero")
            << QByteArray("$AccD:12.9,-3.7,0.2\r\n") << QStringList{"X = 12", "Y = -3", "Z = 0"}
            << QStringList{};
        QTest::newRow("axes then voltage in one tick")
            << QByteArray("$AccD:1,2,3\r\n$VS:12.6\r\n") << QStringList{"X = 1", "Y = 2", "Z = 3"}
            << QStringList{"$VS:12.6"};
        QTest::newRow("voltage keeps its tag")
            << QByteArray("$VS:11.9V\r\n") << untouched << QStringList{"$VS:11.9V"};
        QTest::newRow("several lines in order")
            << QByteArray(
                   "$AccD:1,2,3\r\n$Can:1,0x0C4,825\r\n$AccE:0,2.3\n$AccD:4,5,6\r\n$VS:12.1\r\n")
            << QStringList{"X = 4", "Y = 5", "Z = 6"}
            << QStringList{"$Can:1,0x0C4,825", "$AccE:0,2.3", "$VS:12.1"};
        QTest::newRow("two axes only") << QByteArray("$AccD:7,8\r\n")
                                       << QStringList{"X = 7", "Y = 8", "Label3"} << QStringList{};
        QTest::newRow("junk and unknown tags")
            << QByteArray("noise$Foo:1\r\n$vs:2\r\n$AccD\r\n") << untouched << QStringList{};
        QTest::newRow("windows-1251 text shown")
            << QByteArray("$Can:\xCE\xCA\r\n") << untouched << QStringList{"$Can:ОК"};
    }
    void oneTick()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, appended);
        PtyPair unit;
        Window w(unit.SlavePath());
        w.diag->show();
        // The window asked for the diagnostic stream and polls on its timer.
        QCOMPARE(unit.Receive(EncodeFrame(100).size(), std::chrono::seconds(5)), EncodeFrame(100));
        QVERIFY(w.Timer()->isActive());
        w.Timer()->stop();  // ticks are taken by hand below

        unit.Send(ToBytes(bytes));
        QTRY_COMPARE(w.slot->InputStream().Available(), static_cast<int>(bytes.size()));
        w.diag->PollTelemetry();
        QCOMPARE((QStringList{w.Label("Label1"), w.Label("Label2"), w.Label("Label3")}), labels);
        QCOMPARE(w.Memo(), QStringList{"Memo1"} + appended);

        // A tick with nothing received changes nothing.
        w.diag->PollTelemetry();
        QCOMPARE(w.Memo(), QStringList{"Memo1"} + appended);
        w.diag->close();
    }

    // Placed at the screen's corner from the first showing, never smaller than readable, and the
    // memo keeps showing the newest line through a resize and a new showing until the user
    // scrolls up.
    void placeSizeAndMemoFollowingTheNewestLine()
    {
        PtyPair unit;
        Window w(unit.SlavePath());
        w.diag->show();
        w.Timer()->stop();
        QCOMPARE(w.diag->pos(), w.diag->screen()->availableGeometry().topLeft());
        w.diag->resize(10, 10);
        QVERIFY(w.diag->width() >= 300 && w.diag->height() >= 200);

        auto* memo = w.diag->findChild<QPlainTextEdit*>("Memo1");
        QScrollBar* bar = memo->verticalScrollBar();
        const auto feed = [&](int lines) {
            QByteArray bytes;
            for (int i = 0; i < lines; ++i)
                bytes += "$VS:12." + QByteArray::number(i) + "\r\n";
            unit.Send(ToBytes(bytes));
            QTRY_COMPARE(w.slot->InputStream().Available(), static_cast<int>(bytes.size()));
            w.diag->PollTelemetry();
        };
        feed(60);
        QCOMPARE(bar->value(), bar->maximum());
        w.diag->resize(w.diag->width(), w.diag->height() + 150);
        w.diag->resize(w.diag->width(), w.diag->height() - 150);
        feed(5);
        QTRY_COMPARE(bar->value(), bar->maximum());
        w.diag->close();
        w.diag->show();
        w.Timer()->stop();
        (void)unit.Receive(2 * EncodeFrame(100).size(), std::chrono::seconds(5));
        feed(5);
        QTRY_COMPARE(bar->value(), bar->maximum());

        bar->setValue(0);  // the user scrolls up
        feed(5);
        QCOMPARE(bar->value(), 0);
        w.diag->close();
    }

    void lineCutBetweenTicksIsShownWhole()
    {
        PtyPair unit;
        Window w(unit.SlavePath());
        w.diag->show();
        w.Timer()->stop();
        (void)unit.Receive(EncodeFrame(100).size(), std::chrono::seconds(5));
        const QByteArray parts[] = {"$VS:12.", "4\r\n$AccD:-1.5,", "2.5,9\r\n"};
        for (const QByteArray& part : parts) {
            unit.Send(ToBytes(part));
            QTRY_COMPARE(w.slot->InputStream().Available(), static_cast<int>(part.size()));
            w.diag->PollTelemetry();
        }
        QCOMPARE(w.Memo(), (QStringList{"Memo1", "$VS:12.4"}));
        QCOMPARE((QStringList{w.Label("Label1"), w.Label("Label2"), w.Label("Label3")}),
                 (QStringList{"X = -1", "Y = 2", "Z = 9"}));
    }

#endif

    void secondShowingAppends()
    {
        SimProcess sim(SimProgram(), {"--diag-interval-ms", "20"});
        QVERIFY(sim.Started());
        Window w(sim.PtyPath());
        w.diag->show();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo().size() > 3, 10000);
        QTRY_VERIFY(w.Label("Label1").startsWith("X = "));

        QTest::keyClick(w.diag->findChild<QPlainTextEdit*>("Memo1"), Qt::Key_Escape);
        QVERIFY(!w.diag->isVisible());
        QVERIFY(!w.slot->Port().IsOpen());
        const QStringList first = w.Memo();

        w.diag->show();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo().size() > first.size() + 2, 10000);
        QCOMPARE(w.Memo().mid(0, first.size()), first);
        QCOMPARE(w.Memo().front(), QString("Memo1"));
        w.diag->close();
        QVERIFY(!w.slot->Port().IsOpen());
    }

    // The recording grows in a file of its own in the user's cache folder while the window is
    // shown and goes with it; where that folder cannot be made, the memo says so once and the
    // stream goes on. The folder is moved through XDG_CACHE_HOME, which Windows does not read.
#ifndef _WIN32
    void recordingKeptInTheCacheFolder()
    {
        QTemporaryDir home;
        const QString cache = home.path() + "/cache";
        SimProcess sim(SimProgram(), {"--diag-interval-ms", "20"});
        QVERIFY(sim.Started());
        Window w(sim.PtyPath());
        QFile(cache).open(QIODevice::WriteOnly);  // a file where the folder should be
        const QByteArray usual = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cache.toUtf8());
        w.diag->show();
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo().size() > 5, 10000);
        QCOMPARE(w.Memo().filter("Не удалось записать файл " + cache + "/k64").size(), 1);
        w.diag->close();

        QFile::remove(cache);
        w.diag->show();
        const QDir folder(cache + "/k64");
        QTRY_VERIFY_WITH_TIMEOUT(w.Memo().size() > 10, 10000);
        const QStringList files = folder.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        w.diag->SaveRecording(home.path() + "/saved.csv");
        QFile saved(home.path() + "/saved.csv"), kept(folder.filePath(files[0]));
        QVERIFY(saved.open(QIODevice::ReadOnly) && kept.open(QIODevice::ReadOnly));
        const QByteArray copy = saved.readAll();
        QVERIFY(copy.startsWith("time,tag,x,y,z,text\r\n") && copy.contains("$AccD:"));
        QVERIFY(kept.readAll().startsWith(copy));
        w.diag->close();
        QCOMPARE(folder.entryList(QDir::Files), QStringList{});
        qputenv("XDG_CACHE_HOME", usual);
    }
#endif

    void plotFitsItsScaleAndRestsWithoutData()
    {
        using std::chrono::milliseconds;
        ui::AccelPlot plot;
        plot.resize(200, 88);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        int paints = 0;
        EventCounter counter(QEvent::Paint, paints);
        plot.installEventFilter(&counter);
        const auto scale = [&] { return std::pair{plot.ScaleBottom(), plot.ScaleTop()}; };
        // A parked car: X and Y near zero, Z near one g, a sample every 100 ms.
        const auto feed = [&](int fromMs, int toMs) {
            for (int t = fromMs; t <= toMs; t += 100) {
                plot.AddValue(0, milliseconds(t), 3 + t % 300 / 100);
                plot.AddValue(1, milliseconds(t), -2);
                plot.AddValue(2, milliseconds(t), 98 - t % 200 / 100);
            }
        };

        feed(0, 2000);
        QTRY_VERIFY(paints > 0);
        const auto rest = scale();
        QVERIFY2(rest.first <= -2 && rest.second >= 98 && rest.second - rest.first <= 400,
                 qPrintable(QString("%1..%2").arg(rest.first).arg(rest.second)));
        // More of the same leaves the scale alone.
        feed(2100, 5000);
        QTest::qWait(100);
        QCOMPARE(scale(), rest);
        // A knock widens it at once; once the knock is older than 10 s it narrows again.
        plot.AddValue(0, milliseconds(5050), 850);
        plot.AddValue(2, milliseconds(5050), -640);
        QTRY_VERIFY(plot.ScaleTop() >= 850 && plot.ScaleBottom() <= -640);
        feed(5100, 16000);
        QTRY_COMPARE(scale(), rest);

        // No samples, no drawing.
        QTest::qWait(100);
        const int painted = paints;
        QTest::qWait(300);
        QCOMPARE(paints, painted);
    }

    // Each axis's curve and its name in the legend stand out from what they are drawn on, in a
    // light and in a dark palette: at least 3:1, as graphics need to be told apart.
    void plotColoursStandOutInLightAndDarkPalettes()
    {
        const auto luminance = [](QRgb pixel) {
            const auto linear = [](int c) {
                const double v = c / 255.0;
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) +
                   0.0722 * linear(qBlue(pixel));
        };
        // The strongest contrast any pixel of `rect` has against `background`.
        const auto strongest = [&](const QImage& image, const QRect& rect,
                                   const QColor& background) {
            const double b = luminance(background.rgb());
            double best = 1;
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                for (int x = rect.left(); x <= rect.right(); ++x) {
                    const double p = luminance(image.pixel(x, y));
                    best = std::max(best, (std::max(p, b) + 0.05) / (std::min(p, b) + 0.05));
                }
            }
            return best;
        };
        struct Palette {
            const char* name;
            QColor base;
            QColor window;
        };
        const Palette palettes[] = {{"light", Qt::white, QColor(239, 239, 239)},
                                    {"dark", QColor(30, 30, 30), QColor(53, 53, 53)}};
        for (const Palette& colours : palettes) {
            for (int axis = 0; axis < 3; ++axis) {
                ui::AccelPlot plot;
                QPalette palette;
                palette.setColor(QPalette::Base, colours.base);
                palette.setColor(QPalette::Window, colours.window);
                // The scale's figures in the text colour are not the curve: kept off the base.
                palette.setColor(QPalette::Text, colours.base);
                palette.setColor(QPalette::Mid, colours.base);
                plot.setPalette(palette);
                plot.setAutoFillBackground(true);
                plot.resize(200, 88);
                plot.show();
                QVERIFY(QTest::qWaitForWindowExposed(&plot));
                for (int t = 0; t <= 2000; t += 100)
                    plot.AddValue(axis, std::chrono::milliseconds(t), 5);
                QTest::qWait(100);
                const QImage image = plot.grab().toImage();
                // The legend is the strip right of the plot's frame.
                const int legend = 20;
                const QString where = QString("%1 palette, axis %2").arg(colours.name).arg(axis);
                QVERIFY2(strongest(image, QRect(2, 2, 200 - legend - 4, 84), colours.base) >= 3,
                         qPrintable(where + ", curve"));
                QVERIFY2(strongest(image, QRect(200 - legend + 8, 0, legend - 8, 88),
                                   colours.window) >= 3,
                         qPrintable(where + ", legend"));
            }
        }
    }

    void withoutADeviceTheWindowStillOpens()
    {
        ui::DeviceSlot empty;
        TDiagnosticForm diag(empty);
        diag.show();
        diag.PollTelemetry();
        QCOMPARE(diag.findChild<QPlainTextEdit*>("Memo1")->toPlainText(), QString("Memo1"));
        diag.close();
        QVERIFY(!diag.isVisible());
    }
};

K64_UI_TEST_MAIN(DiagnosticWindowTest)
#include "diagnostic_window_test.moc"
