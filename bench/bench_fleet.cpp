// k64ctl on many simulated units at once. Firmware updates on 1, 2, 4 and 8 units, each line paced
// at 115200 baud: the wall time against one unit's (on a 2-core machine the aim is 8 units
// within 1.3 times one unit's) and k64ctl's processor time per unit. Then the search: 7 silent
// ports and one unit, `--all` (all asked at once) against plain `find` (one port after another).

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace k64::test;
using Clock = std::chrono::steady_clock;

struct Run {
    double wall = 0;
    double cpu = 0;
    int status = -1;
};

Run RunCtl(const TempDir& dir, std::vector<std::string> args, const std::string& extraPorts = "")
{
    args.insert(args.begin(), K64CTL_PATH);
    const Clock::time_point start = Clock::now();
    const ProgramResult r = RunProgram(
        args,
        {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
         "K64_HISTORY_DIR=" + (dir / "history"), "K64_EXTRA_PORTS=" + extraPorts, "LANG=C.UTF-8"},
        std::chrono::minutes(10));
    return {std::chrono::duration<double>(Clock::now() - start).count(), r.cpuSeconds, r.status};
}

std::vector<std::unique_ptr<SimProcess>> StartSims(int count, std::vector<std::string> args)
{
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> own = args;
        own.insert(own.end(), {"--id", std::to_string(16000001 + i)});
        sims.push_back(std::make_unique<SimProcess>(SimProgram(), own));
        if (!sims.back()->Started())
            std::fprintf(stderr, "bench_fleet: k64-sim did not start\n");
    }
    return sims;
}

std::string Joined(const std::vector<std::unique_ptr<SimProcess>>& sims, char separator)
{
    std::string list;
    for (const auto& sim : sims)
        list += (list.empty() ? "" : std::string(1, separator)) + sim->PtyPath();
    return list;
}

}  // namespace

int main()
{
    std::printf("firmware update at 115200 baud, units at once (k64ctl --ports)\n");
    std::printf("%6s %9s %12s %14s %7s\n", "units", "wall s", "x one unit", "CPU s per unit",
                "status");
    double one = 0;
    for (const int units : {1, 2, 4, 8}) {
        TempDir dir;
        const auto sims = StartSims(units, {"--baud", "115200", "--prepare-delay-ms", "0"});
        const Run run =
            RunCtl(dir, {"--ports", Joined(sims, ','), "update-firmware", "--yes", "--no-backup"});
        if (units == 1)
            one = run.wall;
        std::printf("%6d %9.2f %12.2f %14.3f %7d\n", units, run.wall, one > 0 ? run.wall / one : 0,
                    run.cpu / units, run.status);
        std::fflush(stdout);
    }

    std::printf("\nsearch: 7 silent ports, then one unit\n");
    TempDir dir;
    auto ports = StartSims(7, {"--no-reply", "10"});
    auto unit = StartSims(1, {});
    ports.push_back(std::move(unit.front()));
    const std::string extra = Joined(ports, ':');
    const Run all = RunCtl(dir, {"--all", "id"}, extra);
    const Run find = RunCtl(dir, {"find"}, extra);
    std::printf("%-14s %9s %7s\n", "", "wall s", "status");
    std::printf("%-14s %9.2f %7d\n", "k64ctl --all id", all.wall, all.status);
    std::printf("%-14s %9.2f %7d\n", "k64ctl find", find.wall, find.status);
    return 0;
}
