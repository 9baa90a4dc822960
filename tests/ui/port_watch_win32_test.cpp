// The main window on Windows follows the cable by WM_DEVICECHANGE: when the system says a port
// went, the stored port's departure is logged; other devices and the mere passing of time (no
// polling) log nothing. A port's event notifier calls once per event, and may go while its event
// comes.

#include "platform/port_catalog.h"
#include "support/sim_process.h"
#include "ui/K64main.h"
#include "ui/ready_notifier.h"
#include "ui/window_fixture.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include <windows.h>
#include <dbt.h>

using namespace k64;
using namespace k64::test;

namespace {

void Spin(int turns)
{
    std::atomic<int> turn{0};
    while (turn.fetch_add(1) < turns) {
    }
}

}  // namespace

class PortWatchTest : public QObject {
    Q_OBJECT

private slots:
    void departureIsLoggedWhenTheSystemTells_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<bool>("logged");
        QTest::newRow("port removed")
            << int(DBT_DEVICEREMOVECOMPLETE) << int(DBT_DEVTYP_PORT) << true;
        QTest::newRow("device nodes changed") << int(DBT_DEVNODES_CHANGED) << 0 << true;
        QTest::newRow("volume removed")
            << int(DBT_DEVICEREMOVECOMPLETE) << int(DBT_DEVTYP_VOLUME) << false;
    }
    void departureIsLoggedWhenTheSystemTells()
    {
        QFETCH(int, event);
        QFETCH(int, deviceType);
        QFETCH(bool, logged);
        auto sim = std::make_unique<SimProcess>(SimProgram(), std::vector<std::string>{});
        QVERIFY(sim->Started());
        const std::string port = sim->PtyPath();
        MemoryPortStore store(port);
        ListPortCatalog catalog;
        RecordingMessages messages;
        QTemporaryDir history;
        ui::TMainForm main(ui::MainFormPlatform{store,
                                                catalog,
                                                &WindowPortList,
                                                DefaultPortName(),
                                                &messages,
                                                &PresentPorts,
                                                {},
                                                history.path().toStdString()});
        const auto log = [&main] {
            return main.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
        };
        QCOMPARE(main.findChild<QComboBox*>("PortComboBox")->currentText().toStdString(), port);

        sim.reset();  // the simulator removes its COM link as it ends
        QTest::qWait(400);
        QVERIFY(log().isEmpty());

        // What the system broadcasts to every top-level window, the watch's hidden one among
        // them; sent, not posted, so the header's address stays good until it is handled.
        DEV_BROADCAST_HDR header{};
        header.dbch_size = sizeof header;
        header.dbch_devicetype = static_cast<DWORD>(deviceType);
        const HWND watch = ::FindWindowW(L"K64PortWatch", nullptr);
        QVERIFY(watch != nullptr);
        ::SendMessageW(watch, WM_DEVICECHANGE, static_cast<WPARAM>(event),
                       event == DBT_DEVNODES_CHANGED ? 0 : reinterpret_cast<LPARAM>(&header));
        if (logged) {
            QTRY_COMPARE(log(), "Отключено: " + QString::fromStdString(port));
        } else {
            QTest::qWait(600);
            QVERIFY(log().isEmpty());
        }
        QVERIFY(store.saves.empty());
    }

    // The notifier calls once each time the event comes from another thread, the callback taking
    // it each time.
    void aNotifierCallsOnceForEachEvent()
    {
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        QVERIFY(event != nullptr);
        int calls = 0;
        auto notifier = ui::ReadyNotifier(reinterpret_cast<quon::io::WaitSleeper::Handle>(event),
                                          [&calls, event] {
                                              ++calls;
                                              ::ResetEvent(event);
                                          });
        for (int round = 1; round <= 3; ++round) {
            std::thread([event] { ::SetEvent(event); }).join();
            QTRY_COMPARE(calls, round);
        }
        QTest::qWait(100);
        QCOMPARE(calls, 3);
        notifier.reset();
        ::CloseHandle(event);
    }

    // A wait ends by its deadline just as the port's event comes: the notifier goes while the
    // system may still be calling back for it, which must neither crash nor call the dead wait.
    void aNotifierMayGoAsItsEventComes()
    {
        int calls = 0;
        for (int i = 0; i < 2000; ++i) {
            const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
            QVERIFY(event != nullptr);
            auto notifier = ui::ReadyNotifier(
                reinterpret_cast<quon::io::WaitSleeper::Handle>(event), [&calls] { ++calls; });
            // Each side spins a while, so that the event comes at every point of the going.
            std::thread port([event, i] {
                Spin(i % 64 * 50);
                ::SetEvent(event);
            });
            Spin(i % 37 * 80);
            notifier.reset();
            port.join();
            ::CloseHandle(event);
        }
        QCoreApplication::processEvents();
        const int seen = calls;
        QTest::qWait(200);
        QCOMPARE(calls, seen);
    }
};

K64_UI_TEST_MAIN(PortWatchTest)
#include "port_watch_win32_test.moc"
