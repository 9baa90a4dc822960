// Wall and CPU time of whole firmware and sound updates against k64-sim with instant
// acknowledgements, paced like the main window's timers. The floor of an update is its block
// count times the timer interval; the figures say how close the transfers come to it and how
// much processor time they cost meanwhile.

#include "device/device.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/timer_pump.h"
#include "update/update_constants.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// k64-sim as a child, printing its pty path first.
class Sim {
public:
    Sim() {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args{K64_SIM_PATH, "--prepare-delay-ms", "0"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, K64_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
            path_ += c;
        ::close(out[0]);
    }
    ~Sim() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;
    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

class Store final : public k64::PortNameStore {
public:
    explicit Store(std::string name) : name_(std::move(name)) {}
    std::string Load() override { return name_; }
    void Save(const std::string& name) override { name_ = name; }

private:
    std::string name_;
};

class NoPorts final : public k64::PortCatalog {
public:
    std::vector<std::string> Candidates() override { return {}; }
};

class Yes final : public k64::MessageInterface {
public:
    k64::MessageAnswer ShowMessage(const std::string&, const std::string&,
                                   k64::MessageButtons buttons) override {
        return buttons == k64::MessageButtons::YesNo ? k64::MessageAnswer::Yes
                                                     : k64::MessageAnswer::Ok;
    }
};

// A window with nothing to show: only the timers matter here.
class QuietView final : public k64::UpdateView {
public:
    bool timer1 = false, timer2 = false;
    k64::MessageInterface* MessageOwner() override { return &yes_; }
    void AppendLog(const std::string&) override {}
    void SetTitle(const std::string&) override {}
    void SetProgressMin(int) override {}
    void SetProgressMax(int) override {}
    void SetProgressStep(int) override {}
    void SetProgressPosition(int) override {}
    void StepProgress() override {}
    void SetBlowButtonCaption(const std::string&) override {}
    void SetBlowButtonEnabled(bool) override {}
    void FocusBlowButton() override {}
    void SetWaveButtonCaption(const std::string&) override {}
    void SetTimer1Enabled(bool e) override { timer1 = e; }
    void SetTimer2Enabled(bool e) override { timer2 = e; }

private:
    Yes yes_;
};

struct Figures {
    double wall = 0, cpu = 0;
    bool committed = false;
};

void Print(const char* what, long blocks, std::chrono::milliseconds interval, const Figures& f) {
    const double floor = static_cast<double>(blocks) * std::chrono::duration<double>(interval).count();
    std::printf("%-34s %s  blocks %4ld  wall %8.3f s  floor %7.3f s  ratio %5.3f  cpu %7.3f s "
                "(%5.2f %% of wall)\n",
                what, f.committed ? "ok  " : "FAIL", blocks, f.wall, floor, f.wall / floor, f.cpu,
                100.0 * f.cpu / f.wall);
}

Figures FirmwareInProcess(k64::DeviceInterface& device) {
    QuietView view;
    k64::FirmwareUpdate firmware(view);
    firmware.LoadFirmwareImage();
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    firmware.BlowUpdateButtonClick(&device);
    k64::update::PumpTimer(k64::update::kTimer1Interval, [&] { return view.timer1; },
                           [&] { firmware.Timer1Timer(&device); });
    return {Seconds(Clock::now() - t0), ProcessCpuSeconds() - cpu0,
            firmware.Outcome() == k64::UpdateOutcome::Committed};
}

Figures SoundInProcess(k64::DeviceInterface& device) {
    QuietView view;
    k64::SoundUpdate sound(view);
    sound.LoadSoundData();
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    sound.WaveUpdateButtonClick(&device);
    k64::update::PumpTimer(k64::update::kTimer2Interval, [&] { return view.timer2; },
                           [&] { sound.Timer2Timer(&device); });
    return {Seconds(Clock::now() - t0), ProcessCpuSeconds() - cpu0,
            sound.Outcome() == k64::UpdateOutcome::Committed};
}

#ifdef K64CTL_PATH
// The whole k64ctl process: start-up, questions answered by --yes, transfer, exit.
Figures Program(const std::string& port, const char* command) {
    std::vector<std::string> args{K64CTL_PATH, "--port", port, command, "--yes"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto t0 = Clock::now();
    pid_t pid = -1;
    Figures f;
    if (posix_spawn(&pid, K64CTL_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        f.wall = Seconds(Clock::now() - t0);
        f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        f.committed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return f;
}
#endif

}  // namespace

int main() {
    Sim sim;
    if (sim.Path().empty()) {
        std::fprintf(stderr, "bench_update: k64-sim did not start\n");
        return 1;
    }
    Store store(sim.Path());
    NoPorts catalog;
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
              Program(sim.Path(), "update-firmware"));
    Print("sound, k64ctl process", soundBlocks, k64::update::kTimer2Interval,
          Program(sim.Path(), "update-sound"));
#endif
    return 0;
}
