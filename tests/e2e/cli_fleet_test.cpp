// k64ctl --ports and --all against several simulated units at once: every unit's result in the
// summary and in the JSON document, the exit status, what reached each unit and its history.

#include "parameters/settings_history.h"
#include "support/child_process.h"
#include "update_harness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace k64::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

std::vector<std::string> Environment(const TempDir& dir, const std::string& extraPorts = "")
{
    return {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
            "K64_HISTORY_DIR=" + (dir / "history"), "K64_EXTRA_PORTS=" + extraPorts,
            "LANG=C.UTF-8"};
}

struct Unit {
    std::vector<std::string> simArgs;  // besides its id and trace
    bool ok;
};

struct FleetCase {
    const char* name;
    std::vector<Unit> units;
    std::vector<std::string> command;
    int status;
    std::size_t atOnce;  // the most units served at the same time
};

class Fleet : public ::testing::TestWithParam<FleetCase> {
protected:
    void Start(const std::vector<Unit>& units)
    {
        for (std::size_t i = 0; i < units.size(); ++i) {
            std::vector<std::string> args = {"--id",   std::to_string(16000101 + i), "--trace",
                                             Trace(i), "--prepare-delay-ms",         "0"};
            args.insert(args.end(), units[i].simArgs.begin(), units[i].simArgs.end());
            sims_.push_back(std::make_unique<SimProcess>(SimProgram(), args));
            ASSERT_TRUE(sims_.back()->Started());
            ports_ += (i ? "," : "") + sims_.back()->PtyPath();
        }
    }
    std::string Trace(std::size_t i) const { return dir_ / ("trace" + std::to_string(i)); }
    std::vector<std::uint16_t> Received(std::size_t i)
    {
        sims_[i]->Stop();
        return Codes(ReceivedFrames(Trace(i)));
    }
    std::size_t HistoryEntries() const { return ListHistory(dir_ / "history").size(); }
    // The units between their first request and their commit, as their traces tell. A unit
    // begins only once an earlier one is over, so reading the later ones first never counts one
    // that began after another ended together with it.
    std::size_t Busy() const
    {
        std::size_t busy = 0;
        for (std::size_t i = sims_.size(); i-- > 0;) {
            std::ifstream in(Trace(i));
            const std::string trace{std::istreambuf_iterator<char>(in), {}};
            if (trace.find(" rx ") != std::string::npos &&
                trace.find(" rx BE 00 ") == std::string::npos) {
                ++busy;
            }
        }
        return busy;
    }

    TempDir dir_;
    std::vector<std::unique_ptr<SimProcess>> sims_;
    std::string ports_;
};

// The same firmware update on every unit: a silent unit or a refused commit fails that unit
// alone; the others are updated, each with its settings kept first.
TEST_P(Fleet, EveryUnitGetsItsOwnResult)
{
    const FleetCase& c = GetParam();
    Start(c.units);
    std::vector<std::string> argv = {K64CTL_PATH, "--json", "--ports", ports_};
    argv.insert(argv.end(), c.command.begin(), c.command.end());
    auto run =
        std::async(std::launch::async, [&] { return RunProgram(argv, Environment(dir_), 120s); });
    std::size_t atOnce = 0;
    while (run.wait_for(10ms) != std::future_status::ready)
        atOnce = std::max(atOnce, Busy());
    EXPECT_EQ(atOnce, c.atOnce);
    const ProgramResult r = run.get();
    ASSERT_EQ(r.failure, "");
    EXPECT_EQ(r.status, c.status) << r.err;
    const Json document = Json::parse(r.out);
    ASSERT_EQ(document["units"].size(), c.units.size()) << r.out;
    std::size_t answering = 0;
    for (std::size_t i = 0; i < c.units.size(); ++i) {
        const Json& unit = document["units"][i];
        EXPECT_EQ(unit["port"], sims_[i]->PtyPath());
        EXPECT_EQ(unit["ok"], c.units[i].ok) << i << r.err;
        EXPECT_EQ(unit["error"].is_null(), c.units[i].ok) << i;
        EXPECT_GE(unit["seconds"].get<double>(), 0.0);
        const auto codes = Received(i);
        if (unit["serial"].is_null())
            continue;
        ++answering;
        EXPECT_EQ(unit["serial"], std::to_string(16000101 + i));
        // Data went to every unit that answered; a commit only where it was confirmed.
        EXPECT_NE(std::count(codes.begin(), codes.end(), sim::kDataFragment), 0) << i;
        EXPECT_EQ(std::count(codes.begin(), codes.end(), sim::kCommitUpdate), 1) << i;
    }
    // Every unit that answered had its settings kept before the update.
    EXPECT_EQ(HistoryEntries(), answering);
    // Every unit that answered has its output whole, after a line naming it.
    for (std::size_t i = 0; i < c.units.size(); ++i) {
        if (document["units"][i]["serial"].is_null())
            continue;
        const std::size_t head = r.err.find("== " + sims_[i]->PtyPath() + " ");
        ASSERT_NE(head, std::string::npos) << r.err;
        const std::size_t next = r.err.find("\n== ", head + 1);
        const std::string output = r.err.substr(head, next - head);
        EXPECT_NE(output.find(c.units[i].ok ? "Загрузка закончена." : "Обновление отменено."),
                  std::string::npos)
            << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fleet,
    ::testing::Values(
        FleetCase{
            "AllSucceed", {{{}, true}, {{}, true}, {{}, true}}, {"update-firmware", "--yes"}, 0, 3},
        FleetCase{"OneSilent",
                  {{{}, true}, {{"--no-reply", "10"}, false}, {{}, true}},
                  {"update-firmware", "--yes", "--jobs", "2"},
                  1,
                  2},
        FleetCase{"OneRejectsTheCommit",
                  {{{}, true}, {{"--reject-commit"}, false}},
                  {"update-firmware", "--yes"},
                  1,
                  2}),
    [](const ::testing::TestParamInfo<FleetCase>& info) { return info.param.name; });

// Ctrl-C or SIGTERM in the middle of the transfers stops every one of them at a block boundary:
// no unit gets a commit, and the status is the signal's as shells count it.
TEST(FleetSignal, StopsEveryTransferWithoutCommit)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        TempDir dir;
        std::vector<std::unique_ptr<SimProcess>> sims;
        std::string ports;
        for (int i = 0; i < 2; ++i) {
            sims.push_back(std::make_unique<SimProcess>(
                SimProgram(),
                std::vector<std::string>{"--trace", dir / ("trace" + std::to_string(i)),
                                         "--prepare-delay-ms", "0", "--baud", "115200"}));
            ASSERT_TRUE(sims.back()->Started());
            ports += (i ? "," : "") + sims.back()->PtyPath();
        }
        for (const std::string& variable : Environment(dir))
            ::putenv(strdup(variable.c_str()));
        ChildProcess fleet(K64CTL_PATH, {"--ports", ports, "update-sound", "--yes"},
                           ChildProcess::Errors::Discard);
        // Until both transfers run.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        const auto sending = [&](int i) {
            const auto codes = Codes(ReceivedFrames(dir / ("trace" + std::to_string(i))));
            return std::count(codes.begin(), codes.end(), sim::kDataFragment) > 0;
        };
        while (!(sending(0) && sending(1)) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(50ms);
        ::kill(fleet.Pid(), signal);
        EXPECT_EQ(fleet.WaitExit(30s), 128 + signal);
        for (int i = 0; i < 2; ++i) {
            sims[i]->Stop();
            const auto codes = Codes(ReceivedFrames(dir / ("trace" + std::to_string(i))));
            EXPECT_EQ(std::count(codes.begin(), codes.end(), sim::kCommitUpdate), 0) << i;
        }
    }
}

// A port that cannot be had fails its unit with the reason a run on one unit gives, in the
// document and the summary alike; a file the write would refuse, and questions nobody is there
// to answer, are refused before any unit is asked anything, with the status the help gives them.
TEST(FleetRefusals, ReasonsKeptAndFilesCheckedFirst)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {"--trace", dir / "trace"});
    ASSERT_TRUE(sim.Started());
    const std::string missing = dir / "gone/x";
    const std::string reasons[] = {
        "/etc/passwd — не последовательный порт; выполните k64ctl doctor",
        "Порт " + missing + " не найден: блок не подключен; выполните k64ctl doctor"};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), K64CTL_PATH);
        return RunProgram(args, Environment(dir));
    };
    const ProgramResult json = run({"--json", "--ports", "/etc/passwd," + missing, "id"});
    EXPECT_EQ(json.status, 1);
    const Json units = Json::parse(json.out)["units"];
    ASSERT_EQ(units.size(), 2u) << json.out;
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(units[i]["error"], reasons[i]);
    const ProgramResult table = run({"--ports", "/etc/passwd," + missing, "id"});
    for (const std::string& reason : reasons)
        EXPECT_NE(table.out.find("  " + reason + "\n"), std::string::npos) << table.out;

    std::ofstream(dir / "omega.txt") << "Balans=\xCE\xA9\r\n";  // no such letter in Windows-1251
    const std::string refusal = "Файл настроек " + dir / "omega.txt" +
                                ", строка 1: символа \"\xCE\xA9\" (U+03A9) нет в кодировке "
                                "Windows-1251";
    for (const char* command : {"write-settings", "restore"}) {
        const ProgramResult r =
            run({"--json", "--ports", sim.PtyPath() + "," + missing, command, dir / "omega.txt"});
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(Json::parse(r.out), (Json{{"error", {{"message", refusal}, {"exit_code", 2}}}}));
    }
    const ProgramResult unanswered =
        run({"--json", "--ports", sim.PtyPath() + "," + missing, "update-sound"});
    EXPECT_EQ(unanswered.status, 2);
    EXPECT_EQ(Json::parse(unanswered.out),
              (Json{{"error",
                     {{"message", "update-sound задает вопросы; без терминала подтвердите их "
                                  "ключом --yes"},
                      {"exit_code", 2}}}}));
    sim.Stop();
    EXPECT_TRUE(ReceivedFrames(dir / "trace").empty());
}

}  // namespace
}  // namespace k64::test
