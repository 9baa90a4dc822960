// Figures for k64ctl.exe under Wine against k64-sim, in the Wine prefix scripts/test-wine keeps:
//  1. CPU time of k64ctl.exe while it waits 4 s for a unit that does not answer (target < 0.1 %
//     of the wait), and the wineserver's CPU time over the same interval;
//  2. GetId round trip, apart from the process start-up: a whole `id` run against a whole
//     `--version` run, and bench_device_win.exe timing the exchanges inside one process;
//  3. a firmware update's wall time against its floor (blocks x timer interval, as bench_update).
//
//   bench_wine [WINDOWS_BUILD_DIR]   (default: build/windows of this source tree)
//
// Without wine or the cross-built k64ctl.exe it says so and exits 0.

#include "process_cpu.h"
#include "resources/resources.h"
#include "support/child_process.h"
#include "support/sim_process.h"
#include "update/update_constants.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using k64::bench::ProcessCpu;
using k64::test::SimProcess;

// The number scripts/test-wine does not use, so both can map their own simulator.
constexpr int kComNumber = 150;
const std::string kCom = "COM" + std::to_string(kComNumber);

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string InPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Runs argv with standard input from /dev/null and both outputs into `output`; returns the pid,
// or -1. A file, not a pipe: the first program after a server start also starts Wine's own
// services, which inherit its outputs and outlive it, so a pipe would not close when it ends.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::string& output = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> args = argv, env = environment;
    std::vector<char*> argp, envp;
    for (auto& a : args)
        argp.push_back(a.data());
    for (auto& e : env)
        envp.push_back(e.data());
    argp.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argp.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Reaped {
    int status = -1;  // -1 also when it had to be killed
    double cpu = 0;   // user + system, from wait4
};

// Waits for the child to end, blocked in poll on a pidfd; kills it after `limit`.
Reaped Reap(pid_t pid, std::chrono::milliseconds limit = std::chrono::minutes(10))
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd fd{pidfd, POLLIN, 0};
        int ready = 0;
        while ((ready = ::poll(&fd, 1, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
        }
        if (ready == 0) {
            std::printf("pid %d did not finish in %lld ms; killed\n", pid,
                        static_cast<long long>(limit.count()));
            ::kill(pid, SIGKILL);
        }
        ::close(pidfd);
    }
    int raw = 0;
    rusage usage{};
    while (::wait4(pid, &raw, 0, &usage) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
            static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6};
}

class Wine {
public:
    // `work` is a scratch folder for the programs' output.
    Wine(std::string windowsBuild, std::string wine, std::string server, fs::path work)
        : prefix_(fs::path(windowsBuild) / "wine-prefix"), work_(std::move(work)),
          wine_(std::move(wine)), server_(std::move(server))
    {
        env_ = k64::test::EnvironmentWith({{"WINEPREFIX", prefix_.string()},
                                           {"WINEDEBUG", "-all"},
                                           // No offer to install Mono or Gecko.
                                           {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                                           {"DISPLAY", std::nullopt},
                                           {"WAYLAND_DISPLAY", std::nullopt}});
    }
    ~Wine()
    {
        std::error_code error;
        fs::remove(ComLink(), error);
        if (startedServer_)
            Run({server_, "-k"});
    }
    Wine(const Wine&) = delete;
    Wine& operator=(const Wine&) = delete;

    // The prefix made on first use, and one resident server for every run (a server per run
    // would put its start-up into each figure). False when none can be had.
    bool Start()
    {
        if (!fs::exists(prefix_ / "system.reg")) {
            std::printf("making the Wine prefix %s (once)\n", prefix_.c_str());
            std::fflush(stdout);
            Run({InPath("wineboot"), "-i"});
            // wineboot leaves its server running for a while; a resident one starts after it.
            Run({server_, "-w"});
        }
        serverPid_ = FindServer();
        if (serverPid_ < 0) {
            Run({server_, "-p"});
            startedServer_ = true;
            for (int i = 0; i < 50 && serverPid_ < 0; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                serverPid_ = FindServer();
            }
        }
        return serverPid_ > 0;
    }

    pid_t ServerPid() const { return serverPid_; }
    const std::vector<std::string>& Environment() const { return env_; }
    const std::string& Loader() const { return wine_; }

    // A fresh dosdevices link: a mapping left by an earlier run names a pty that is gone.
    void MapCom(const std::string& pty)
    {
        std::error_code error;
        fs::remove(ComLink(), error);
        fs::create_symlink(pty, ComLink(), error);
    }

    struct Result {
        int status = -1;
        double cpu = 0;
        std::string out;  // both outputs, without carriage returns
    };

    Result Exe(const std::string& exe, std::vector<std::string> args,
               std::chrono::milliseconds limit = std::chrono::minutes(2))
    {
        args.insert(args.begin(), {wine_, exe});
        const fs::path output = work_ / "output";
        Result r;
        const pid_t pid = Spawn(args, env_, output);
        if (pid < 0)
            return r;
        const Reaped end = Reap(pid, limit);
        r.status = end.status;
        r.cpu = end.cpu;
        std::ifstream in(output);
        for (char c; in.get(c);)
            if (c != '\r')
                r.out += c;
        std::error_code error;
        fs::remove(output, error);
        return r;
    }

private:
    fs::path ComLink() const
    {
        return prefix_ / "dosdevices" / ("com" + std::to_string(kComNumber));
    }

    void Run(const std::vector<std::string>& argv)
    {
        const pid_t pid = Spawn(argv, env_);
        if (pid > 0)
            Reap(pid);
    }

    // The server of this prefix works in a folder named after the prefix's device and inode
    // (below /tmp/.wine-<uid>, or a folder the prefix's file "wineserver" names).
    pid_t FindServer() const
    {
        struct stat st {};
        if (::stat(prefix_.c_str(), &st) != 0)
            return -1;
        char dir[64];
        std::snprintf(dir, sizeof dir, "server-%llx-%llx",
                      static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            if (ReadText(entry.path() / "comm").rfind("wineserver", 0) != 0)
                continue;
            std::error_code cwdError;
            if (fs::read_symlink(entry.path() / "cwd", cwdError).filename() == dir)
                return static_cast<pid_t>(std::stol(name));
        }
        return -1;
    }

    fs::path prefix_, work_;
    std::string wine_, server_;
    std::vector<std::string> env_;
    pid_t serverPid_ = -1;
    bool startedServer_ = false;
};

// A simulator with its own state folder, mapped as the bench's COM port.
struct MappedSim {
    MappedSim(Wine& wine, const fs::path& work, const std::string& tag,
              std::vector<std::string> args)
        : sim(K64_SIM_PATH, [&] {
              args.insert(args.begin(), {"--state", (work / tag).string()});
              return args;
          }())
    {
        if (sim.Started())
            wine.MapCom(sim.PtyPath());
    }
    SimProcess sim;
};

// 1. k64ctl.exe waiting for a unit that never answers. The simulator's trace, read through a
// FIFO, tells when the request arrived; the CPU of k64ctl.exe and of the wineserver is sampled
// then and 3.8 s later, inside the 4 s reply time-out, so the start-up is not in the figure.
void SilentWait(Wine& wine, const std::string& exe, const fs::path& work)
{
    const fs::path fifo = work / "trace";
    ::mkfifo(fifo.c_str(), 0600);
    // Opened before the simulator opens it for writing, which would block without a reader, and
    // kept open until the simulator has gone: a write to a FIFO nobody reads kills the writer.
    struct Reader {
        int fd;
        ~Reader()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } reader{::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    const int trace = reader.fd;
    MappedSim unit(wine, work, "silent", {"--no-reply", "10", "--trace", fifo.string()});
    if (trace < 0 || !unit.sim.Started()) {
        std::printf("silent unit: k64-sim did not start\n");
        return;
    }
    constexpr auto kWindow = std::chrono::milliseconds(3800);
    const auto t0 = Clock::now();
    const pid_t pid = Spawn({wine.Loader(), exe, "--port", kCom, "id"}, wine.Environment());
    std::string pending;
    std::optional<Clock::time_point> request;
    while (!request && Clock::now() - t0 < std::chrono::seconds(30)) {
        pollfd fd{trace, POLLIN, 0};
        if (::poll(&fd, 1, 1000) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(trace, buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));  // no writer yet
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        if (pending.find(" rx ") != std::string::npos)
            request = Clock::now();
    }
    if (!request) {
        std::printf("silent unit: the request never reached k64-sim\n");
        Reap(pid);
        return;
    }
    const fs::path proc = "/proc/" + std::to_string(pid);
    const std::string comm = ReadText(proc / "comm");
    std::error_code error;
    const std::string image = fs::read_symlink(proc / "exe", error).string();
    const auto exeCpu0 = ProcessCpu(pid);
    const auto serverCpu0 = ProcessCpu(wine.ServerPid());
    const auto w0 = Clock::now();
    std::this_thread::sleep_until(*request + kWindow);
    const auto exeCpu1 = ProcessCpu(pid);
    const auto serverCpu1 = ProcessCpu(wine.ServerPid());
    const double window = Seconds(Clock::now() - w0);
    const Reaped end = Reap(pid);
    const double wall = Seconds(Clock::now() - t0);
    // What the server spends with no program of ours running, for comparison; measured after,
    // not before, as Wine's services started by the first run keep it busy for a while.
    const auto idle0 = ProcessCpu(wine.ServerPid());
    std::this_thread::sleep_for(kWindow);
    const auto idle1 = ProcessCpu(wine.ServerPid());

    std::printf("silent unit (`id`, one 4 s reply time-out): status %d, whole run %.3f s, "
                "request sent %.3f s after the start\n",
                end.status, wall, Seconds(*request - t0));
    std::printf("  the child we wait for is pid %d: comm \"%s\", image %s\n", pid, comm.c_str(),
                image.c_str());
    if (exeCpu0 && exeCpu1)
        std::printf("  k64ctl.exe CPU over %.3f s of the wait: %.2f ms = %.4f %% of the wait "
                    "(target < 0.1 %%)\n",
                    window, 1e3 * (*exeCpu1 - *exeCpu0), 100.0 * (*exeCpu1 - *exeCpu0) / window);
    std::printf("  k64ctl.exe CPU of the whole run (wait4): %.3f s; sampled before the end of "
                "the wait: %.3f s\n",
                end.cpu, exeCpu1.value_or(0));
    if (serverCpu0 && serverCpu1 && idle0 && idle1)
        std::printf(
            "  wineserver CPU over the same %.3f s: %.2f ms = %.4f %%; over %.3f s with no "
            "program running, just after: %.2f ms (Wine's: the server does the waiting on the pty)\n",
            window, 1e3 * (*serverCpu1 - *serverCpu0), 100.0 * (*serverCpu1 - *serverCpu0) / window,
            Seconds(kWindow), 1e3 * (*idle1 - *idle0));
}

// 2. The round trip of one GetId: whole runs with and without the exchange, then the exchanges
// timed inside one process.
double RoundTrip(Wine& wine, const std::string& exe, const std::string& deviceBench,
                 const fs::path& work)
{
    MappedSim unit(wine, work, "answering", {});
    if (!unit.sim.Started()) {
        std::printf("GetId: k64-sim did not start\n");
        return 0;
    }
    constexpr int kRuns = 15;
    std::vector<double> version, id;
    int failed = 0;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = Clock::now();
        failed += wine.Exe(exe, {"--version"}).status != 0;
        version.push_back(Seconds(Clock::now() - t0));
        t0 = Clock::now();
        failed += wine.Exe(exe, {"--port", kCom, "id"}).status != 0;
        id.push_back(Seconds(Clock::now() - t0));
    }
    const double startup = Median(version);
    const auto [versionMin, versionMax] = std::minmax_element(version.begin(), version.end());
    const auto [idMin, idMax] = std::minmax_element(id.begin(), id.end());
    std::printf("whole k64ctl.exe runs x%d, wall median (min-max): `--version` %.1f ms (%.1f-%.1f; "
                "start-up and exit, Wine's), `id` %.1f ms (%.1f-%.1f), difference of the medians "
                "%.1f ms (the exchange, the port's opening and the command; within the spread of "
                "the start-up), %d failed\n",
                kRuns, 1e3 * startup, 1e3 * *versionMin, 1e3 * *versionMax, 1e3 * Median(id),
                1e3 * *idMin, 1e3 * *idMax, 1e3 * (Median(id) - startup), failed);
    if (!fs::exists(deviceBench)) {
        std::printf("%s is missing; build the windows preset for the in-process figure\n",
                    deviceBench.c_str());
        return startup;
    }
    const Wine::Result r = wine.Exe(deviceBench, {kCom, "500"});
    std::printf("%s", r.out.c_str());
    if (r.status != 0)
        std::printf("bench_device_win.exe: status %d\n", r.status);
    return startup;
}

// 3. A firmware update through the whole program, against the floor bench_update uses.
void FirmwareUpdate(Wine& wine, const std::string& exe, const fs::path& work, double startup)
{
    MappedSim unit(wine, work, "updating", {"--prepare-delay-ms", "0"});
    const auto image = k64::resources::Find("blow");
    if (!unit.sim.Started() || !image) {
        std::printf("firmware update: k64-sim did not start or the image is missing\n");
        return;
    }
    const long blocks = static_cast<long>(
        (image->size() + k64::update::kHeadSize + k64::UpdateBlockSize - 1) / k64::UpdateBlockSize);
    const double floor = static_cast<double>(blocks) *
                         std::chrono::duration<double>(k64::update::kTimer1Interval).count();
    for (int i = 0; i < 3; ++i) {
        const auto server0 = ProcessCpu(wine.ServerPid());
        const auto t0 = Clock::now();
        const Wine::Result r =
            wine.Exe(exe, {"--port", kCom, "update-firmware", "--yes", "--no-backup"},
                     std::chrono::minutes(10));
        const double wall = Seconds(Clock::now() - t0);
        const auto server1 = ProcessCpu(wine.ServerPid());
        std::printf("firmware, k64ctl.exe under Wine %s  blocks %4ld  wall %7.3f s  floor %6.3f s  "
                    "ratio %5.2f  (less the start-up: %7.3f s, ratio %5.2f)  cpu %6.3f s, "
                    "wineserver cpu %6.3f s\n",
                    r.status == 0 ? "ok  " : "FAIL", blocks, wall, floor, wall / floor,
                    wall - startup, (wall - startup) / floor, r.cpu,
                    server0 && server1 ? *server1 - *server0 : 0.0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef K64_WINDOWS_BUILD
    std::string windowsBuild = K64_WINDOWS_BUILD;
#else
    std::string windowsBuild = "build/windows";
#endif
    if (argc > 1)
        windowsBuild = argv[1];
    const std::string exe = (fs::path(windowsBuild) / "cli" / "k64ctl.exe").string();
    const std::string deviceBench =
        (fs::path(windowsBuild) / "bench" / "bench_device_win.exe").string();
    const std::string wine = InPath("wine"), server = InPath("wineserver");
    if (wine.empty() || server.empty()) {
        std::printf("bench_wine: wine is not installed; nothing to measure\n");
        return 0;
    }
    if (!fs::exists(exe)) {
        std::printf("bench_wine: %s is missing; build the windows preset first\n", exe.c_str());
        return 0;
    }

    char pattern[] = "/tmp/bench_wine.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("bench_wine: mkdtemp");
        return 1;
    }
    const fs::path work = pattern;
    {
        Wine session(windowsBuild, wine, server, work);
        if (!session.Start()) {
            std::printf("bench_wine: no wineserver could be started for the prefix\n");
        } else {
            std::printf("k64ctl.exe under Wine against k64-sim as %s; wineserver pid %d\n",
                        kCom.c_str(), session.ServerPid());
            // The first run after a server start also starts Wine's own services.
            session.Exe(exe, {"--version"});
            SilentWait(session, exe, work);
            const double startup = RoundTrip(session, exe, deviceBench, work);
            FirmwareUpdate(session, exe, work, startup);
            std::printf("Wine's, not Windows': the wineserver's CPU (on Windows the kernel waits "
                        "on the port) and the process start-up in every whole-run wall time\n");
        }
    }
    std::error_code error;
    fs::remove_all(work, error);
    return 0;
}
