#pragma once
// What the update tests share: k64-sim as a child process on a pty, a TDevice bound to it,
// a recording window, and a reader for the simulator's frame trace.

#include "device/device.h"
#include "support/pty_pair.h"
#include "support/recording_update_view.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace k64::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "k64-update-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// k64-sim as a child: started with the given options, serving on the pty whose path it prints
// first; stopped with SIGTERM, which makes it save its state.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args{K64_SIM_PATH};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, K64_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        if (pid_ > 0) ReadPath();
    }
    ~SimProcess() {
        Stop();
        if (out_ >= 0) ::close(out_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return path_; }
    bool Running() const { return pid_ > 0 && !path_.empty(); }

    // SIGTERM and wait; the simulator writes its state on the way out. Also reaps a simulator
    // that already left (after a hang-up).
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    void ReadPath() {
        std::string line;
        char c;
        while (line.size() < 4096) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            if (::read(out_, &c, 1) != 1) return;
            if (c == '\n') break;
            line += c;
        }
        path_ = line;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string path_;
};

class FixedPortStore final : public PortNameStore {
public:
    explicit FixedPortStore(std::string name) : name_(std::move(name)) {}
    std::string Load() override { return name_; }
    void Save(const std::string& name) override { name_ = name; }

private:
    std::string name_;
};

class NoPorts final : public PortCatalog {
public:
    std::vector<std::string> Candidates() override { return {}; }
};

inline std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

struct TracedFrame {
    std::uint16_t code = 0;
    std::vector<unsigned char> payload;
};

// The request frames the simulator received, in order, from its trace file.
inline std::vector<TracedFrame> ReceivedFrames(const std::string& traceFile) {
    std::vector<TracedFrame> frames;
    std::ifstream in(traceFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, tag;
        fields >> time >> tag;
        if (tag != "rx") continue;
        std::vector<unsigned char> bytes;
        std::string hex;
        while (fields >> hex) bytes.push_back(static_cast<unsigned char>(std::stoul(hex, nullptr, 16)));
        if (bytes.size() < 8) continue;
        TracedFrame f;
        f.code = static_cast<std::uint16_t>((bytes[0] | bytes[1] << 8) & 0x7FFF);
        const std::size_t length = bytes[2] | bytes[3] << 8;
        f.payload.assign(bytes.begin() + 4, bytes.begin() + 4 + std::min(length, bytes.size() - 4));
        frames.push_back(std::move(f));
    }
    return frames;
}

struct Fragment {
    std::uint32_t offset;
    std::uint16_t count;
};

inline std::vector<Fragment> Fragments(const std::vector<TracedFrame>& frames) {
    std::vector<Fragment> out;
    for (const TracedFrame& f : frames)
        if (f.code == 192 && f.payload.size() >= 6)
            out.push_back({U32(f.payload, 0),
                           static_cast<std::uint16_t>(f.payload[4] | f.payload[5] << 8)});
    return out;
}

// Lays the data of every fragment at its offset: what the unit was sent.
inline std::vector<unsigned char> Reassemble(const std::vector<TracedFrame>& frames) {
    std::vector<unsigned char> image;
    for (const TracedFrame& f : frames) {
        if (f.code != 192 || f.payload.size() < 6) continue;
        const std::uint32_t offset = U32(f.payload, 0);
        if (image.size() < offset + f.payload.size() - 6) image.resize(offset + f.payload.size() - 6);
        std::copy(f.payload.begin() + 6, f.payload.end(), image.begin() + offset);
    }
    return image;
}

inline std::vector<std::uint16_t> Codes(const std::vector<TracedFrame>& frames) {
    std::vector<std::uint16_t> codes;
    for (const TracedFrame& f : frames) codes.push_back(f.code);
    return codes;
}

// One simulator run with the tool's transfer objects bound to it. Reply waits pass `scale`
// times faster than real time, so a time-out of the unit costs the test a fraction of it.
class UpdateRig {
    // First, so that they outlive the device object that refers to them.
    std::unique_ptr<FixedPortStore> store_;
    NoPorts catalog_;
    ScaledClock clock_;

public:
    explicit UpdateRig(const TempDir& dir, std::vector<std::string> simOptions = {}, int scale = 20,
                       const std::string& run = "run")
        : clock_(scale), trace(dir / (run + ".trace")) {
        simOptions.insert(simOptions.end(), {"--state", dir / "state", "--trace", trace,
                                             "--prepare-delay-ms", "0"});
        sim = std::make_unique<SimProcess>(simOptions);
        store_ = std::make_unique<FixedPortStore>(sim->Path());
        device = std::make_unique<TDevice>(*store_, catalog_, clock_);
        firmware.LoadFirmwareImage();
        sound.LoadSoundData();
    }

    // A new simulator on the same state directory, without the faults of the last one; the
    // tool's objects stay as they are and the device object moves to the new line.
    void Restart(const TempDir& dir, std::vector<std::string> simOptions, const std::string& run) {
        sim.reset();
        trace = dir / (run + ".trace");
        simOptions.insert(simOptions.end(), {"--state", dir / "state", "--trace", trace,
                                             "--prepare-delay-ms", "0"});
        sim = std::make_unique<SimProcess>(simOptions);
        device->SetPortName(sim->Path());
    }

    // Ticks the timers as the window would, without waiting between ticks.
    void RunFirmware() {
        firmware.BlowUpdateButtonClick(device.get());
        while (view.timer1) firmware.Timer1Timer(device.get());
    }
    void RunSound() {
        sound.WaveUpdateButtonClick(device.get());
        while (view.timer2) sound.Timer2Timer(device.get());
    }
    std::vector<TracedFrame> Frames() const { return ReceivedFrames(trace); }

    std::string trace;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TDevice> device;
    RecordingUpdateView view;
    FirmwareUpdate firmware{view};
    SoundUpdate sound{view};
};

}  // namespace k64::test
