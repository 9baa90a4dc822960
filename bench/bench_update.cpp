// Wall and CPU time of whole firmware and sound updates against k64-sim with instant
// acknowledgements, paced like the main window's timers. The floor of an update is its block
// count times the timer interval; the figures say how close the transfers come to it and how
// much processor time they cost meanwhile.

#include "device/device.h"
#include "quiet_update_view.h"
#include "support/child_process.h"
#include "support/memory_ports.h"
#include "support/sim_process.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/timer_pump.h"
#include "update/update_constants.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;
using k64::bench::QuietView;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Figures {
    double wall = 0, cpu = 0;
    bool committed = false;
};

void Print(const char* what, long blocks, std::chrono::milliseconds interval, const Figures& f)
{
    const double floor =
        static_cast<double>(blocks) * std::chrono::duration<double>(interval).count();
    std::printf("%-34s %s  blocks %4ld  wall %8.3f s  floor %7.3f s  ratio %5.3f  cpu %7.3f s "
                "(%5.2f %% of wall)\n",
                what, f.committed ? "ok  " : "FAIL", blocks, f.wall, floor, f.wall / floor, f.cpu,
                100.0 * f.cpu / f.wall);
}

Figures FirmwareInProcess(k64::DeviceInterface& device)
{
    QuietView view;
    k64::FirmwareUpdate firmware(view);
    if (!firmware.LoadFirmwareImage())
        return {};
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    firmware.BlowUpdateButtonClick(&device);
    k64::update::PumpTimer(
        k64::update::kTimer1Interval, [&] { return view.timer1; },
        [&] { firmware.Timer1Timer(&device); });
    return {Seconds(Clock::now() - t0), ProcessCpuSeconds() - cpu0,
            firmware.Outcome() == k64::UpdateOutcome::Committed};
}

Figures SoundInProcess(k64::DeviceInterface& device)
{
    QuietView view;
    k64::SoundUpdate sound(view);
    if (!sound.LoadSoundData())
        return {};
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    sound.WaveUpdateButtonClick(&device);
    k64::update::PumpTimer(
        k64::update::kTimer2Interval, [&] { return view.timer2; },
        [&] { sound.Timer2Timer(&device); });
    return {Seconds(Clock::now() - t0), ProcessCpuSeconds() - cpu0,
            sound.Outcome() == k64::UpdateOutcome::Committed};
}

#ifdef K64CTL_PATH
// The whole k64ctl process: start-up, questions answered by --yes, transfer, exit.
Figures Program(const std::string& port, const char* command)
{
    const auto t0 = Clock::now();
    std::vector<std::string> argv{K64CTL_PATH, "--port", port, command, "--yes"};
    // The transfer against its floor: the settings backup before a firmware update is not part of it.
    if (std::string_view(command) == "update-firmware")
        argv.push_back("--no-backup");
    const k64::test::ProgramResult r =
        k64::test::RunProgram(argv, k64::test::EnvironmentWith(), std::chrono::minutes(10));
    return {Seconds(Clock::now() - t0), r.cpuSeconds, r.failure.empty() && r.status == 0};
}
#endif

}  // namespace

int main()
{
    k64::test::SimProcess sim(K64_SIM_PATH, {"--prepare-delay-ms", "0"});
    if (!sim.Started()) {
        std::fprintf(stderr, "bench_update: k64-sim did not start\n");
        return 1;
    }
    k64::test::MemoryPortStore store(sim.PtyPath());
    k64::test::ListPortCatalog catalog;
    k64::TDevice device(store, catalog);

    const long firmwareBlocks = (74536 + 8 + 1023) / 1024;
    const long soundBlocks = (648494 + 1023) / 1024;
    std::printf("update wall time against its floor (blocks x timer interval), k64-sim with "
                "instant acknowledgements\n");
    for (int i = 0; i < 5; ++i)
        Print("firmware, in process", firmwareBlocks, k64::update::kTimer1Interval,
              FirmwareInProcess(device));
    Print("sound, in process", soundBlocks, k64::update::kTimer2Interval, SoundInProcess(device));
#ifdef K64CTL_PATH
    for (int i = 0; i < 3; ++i)
        Print("firmware, k64ctl process", firmwareBlocks, k64::update::kTimer1Interval,
              Program(sim.PtyPath(), "update-firmware"));
    Print("sound, k64ctl process", soundBlocks, k64::update::kTimer2Interval,
          Program(sim.PtyPath(), "update-sound"));
#endif
    return 0;
}
