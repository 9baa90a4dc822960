// The main window in this process, offscreen, against k64-sim answering each block 150 ms late:
// the time from a close of the window, at a random moment of a firmware transfer, to the
// question "Идет обновление. Прервать его?". A close that comes while a block waits for the unit
// is carried out when that block is through, so the figure is at most one block time. Prints
// figures; never fails.

#include "parameters/parameter_list.h"
#include "support/memory_ports.h"
#include "support/sim_process.h"
#include "ui/K64main.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Answers the update's questions with OK, and the close question with No, noting when it came.
class Answers final : public k64::MessageInterface {
public:
    Clock::time_point asked{};
    k64::MessageAnswer ShowMessage(const std::string& text, const std::string&,
                                   k64::MessageButtons buttons) override
    {
        if (text.starts_with("Идет обновление"))
            asked = Clock::now();
        return buttons == k64::MessageButtons::OkCancel ? k64::MessageAnswer::Ok
                                                        : k64::MessageAnswer::No;
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    k64::test::SimProcess sim(k64::test::SimProgram(),
                              {"--prepare-delay-ms", "0", "--delay", "192:150"});
    if (!sim.Started()) {
        std::puts("bench_window: k64-sim did not start");
        return 0;
    }
    k64::test::MemoryPortStore store(sim.PtyPath());
    k64::test::ListPortCatalog catalog;
    Answers answers;
    k64::ui::TMainForm window(
        k64::ui::MainFormPlatform{store,
                                  catalog,
                                  [&] { return std::vector<std::string>{sim.PtyPath()}; },
                                  sim.PtyPath(),
                                  &answers,
                                  {},
                                  {},
                                  folder.filePath("history").toStdString()});
    window.SetMessageReceiver(&answers);
    window.show();
    window.BlowUpdateButtonClick();

    std::mt19937 random(1);
    std::vector<double> ms;
    for (int i = 0; i < 10 && window.TransferActive(); ++i) {
        // Somewhere in the next block, from the event loop as a click on the close button would.
        const int after = std::uniform_int_distribution<int>(10, 290)(random);
        Clock::time_point closed{};
        answers.asked = {};
        QTimer::singleShot(after, &window, [&] {
            closed = Clock::now();
            window.close();
        });
        while (answers.asked == Clock::time_point{} && window.TransferActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (answers.asked != Clock::time_point{})
            ms.push_back(std::chrono::duration<double, std::milli>(answers.asked - closed).count());
    }
    window.StopTransfer();
    if (ms.empty()) {
        std::puts("close to question: no question came");
        return 0;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("close to question during a firmware transfer at 150 ms a block: median %.1f ms, "
                "longest %.1f ms (%zu closes)\n",
                ms[ms.size() / 2], ms.back(), ms.size());
    return 0;
}
