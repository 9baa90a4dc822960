// k64ctl station against simulated units that appear as links in a watched folder: what each
// unit was sent, the log line it left, its settings afterwards, the output and the exit status.

#include "parameters/parameter_list.h"
#include "update_harness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

namespace k64::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

struct Plug {
    std::vector<std::string> simArgs;  // besides its id, link, trace and settings
    bool taken;                        // it has a log line
    bool ok;                           // its log line says so
    bool committed;                    // a firmware commit reached it
};

struct StationCase {
    const char* name;
    std::vector<Plug> units;  // plugged in this order
    const char* between;      // each waits for one more output line holding this; "" at once
    int count;                // --count; 0 ends with `signal`, sent once every transfer runs
    int signal;
    int status;
    const char* once;  // a text the output holds exactly once
};

class Station : public ::testing::TestWithParam<StationCase> {
protected:
    // Reads the output until it holds `text` `times` times (an empty text: until it ends), for
    // at most a minute.
    bool WaitFor(ChildProcess& station, const std::string& text, std::size_t times)
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while ((text.empty() || Count(text) < times) &&
               std::chrono::steady_clock::now() < deadline) {
            if (const auto line = station.ReadLine(1s))
                out_ += *line + "\n";
            else if (station.OutputEnded())
                break;
        }
        return Count(text) >= times;
    }
    std::size_t Count(const std::string& text) const
    {
        std::size_t n = 0;
        for (std::size_t at = out_.find(text); at != std::string::npos;
             at = out_.find(text, at + 1))
            ++n;
        return n;
    }
    std::vector<std::uint16_t> Sent(std::size_t i) const
    {
        return Codes(ReceivedFrames(dir_ / ("trace" + std::to_string(i))));
    }
    std::string Setting(const SimProcess& sim, const std::string& key)
    {
        MemoryPortStore store(sim.PtyPath());
        ListPortCatalog catalog;
        TDevice device(store, catalog);
        std::string text;
        if (!Succeeded(device.ReadSettings(&text)))
            return "?";
        ParameterList list;
        list.ReadText(std::move(text));
        return list.parameters[static_cast<std::size_t>(list.IndexOfKey(key))].value;
    }

    TempDir dir_;
    std::string out_;
};

// The job is the firmware (when older) and the dealer's preset merged into each unit's own
// settings (NoteKick=4 stays).
TEST_P(Station, EveryUnitPluggedInGetsTheJob)
{
    const StationCase& c = GetParam();
    const std::string watch = dir_ / "watch";
    std::filesystem::create_directory(watch);
    std::ofstream(dir_ / "dealer.txt") << "MicLevel=12\r\nUserNumber1=+79001234567\r\n";
    std::ofstream(dir_ / "own.txt") << "NoteKick=4\n";
    ::setenv("K64_EXTRA_PORTS", "", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("K64_HISTORY_DIR", (dir_ / "history").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    std::vector<std::string> args = {
        "station",         "--update-firmware", "--settings", dir_ / "dealer.txt",
        "--merge",         "--watch",           watch,        "--log",
        dir_ / "log.jsonl"};
    if (c.count != 0)
        args.insert(args.end(), {"--count", std::to_string(c.count)});
    ChildProcess station(K64CTL_PATH, args, ChildProcess::Errors::Discard);
    ASSERT_TRUE(WaitFor(station, "Станция ждет устройства", 1)) << out_;

    std::vector<std::unique_ptr<SimProcess>> sims;
    for (std::size_t i = 0; i < c.units.size(); ++i) {
        if (i > 0 && *c.between) {
            ASSERT_TRUE(WaitFor(station, c.between, i)) << out_;
        }
        std::vector<std::string> simArgs = {"--id",
                                            std::to_string(16000101 + i),
                                            "--link",
                                            watch + "/u" + std::to_string(i),
                                            "--trace",
                                            dir_ / ("trace" + std::to_string(i)),
                                            "--settings-file",
                                            dir_ / "own.txt",
                                            "--prepare-delay-ms",
                                            "0"};
        simArgs.insert(simArgs.end(), c.units[i].simArgs.begin(), c.units[i].simArgs.end());
        sims.push_back(std::make_unique<SimProcess>(SimProgram(), simArgs));
        ASSERT_TRUE(sims.back()->Started());
    }
    if (c.signal != 0) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        const auto sending = [&](std::size_t i) {
            const auto codes = Sent(i);
            return std::count(codes.begin(), codes.end(), sim::kDataFragment) > 0;
        };
        for (std::size_t i = 0; i < sims.size(); ++i)
            while (!sending(i) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(50ms);
        ::kill(station.Pid(), c.signal);
    }
    // Its output to the end, then its status.
    WaitFor(station, "", 0);
    EXPECT_EQ(station.WaitExit(10s), c.status);
    EXPECT_EQ(Count(c.once), 1u) << out_;

    std::map<std::string, Json> logged;
    std::ifstream log(dir_ / "log.jsonl");
    for (std::string line; std::getline(log, line);) {
        const Json unit = Json::parse(line);
        logged[unit["serial"]] = unit;
    }
    for (std::size_t i = 0; i < c.units.size(); ++i) {
        const Plug& plug = c.units[i];
        const auto unit = logged.find(std::to_string(16000101 + i));
        ASSERT_EQ(unit != logged.end(), plug.taken) << i << out_;
        const auto codes = Sent(i);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), sim::kCommitUpdate), plug.committed) << i;
        if (!plug.taken)
            continue;
        EXPECT_EQ(unit->second["ok"], plug.ok) << i << out_;
        EXPECT_EQ(unit->second["error"].is_null(), plug.ok) << i;
        if (!plug.ok)
            continue;
        EXPECT_EQ(unit->second["steps"].size(), 2u);
        EXPECT_EQ(Setting(*sims[i], "MicLevel"), "12");
        EXPECT_EQ(Setting(*sims[i], "UserNumber1"), "+79001234567");
        EXPECT_EQ(Setting(*sims[i], "NoteKick"), "4");
    }
}

constexpr const char* kDone = "готово — можно отключать";
const Plug kUnit{{}, true, true, true};

INSTANTIATE_TEST_SUITE_P(
    Rows, Station,
    ::testing::Values(
        StationCase{"OneUnit", {kUnit}, "", 1, 0, 0, kDone},
        StationCase{"TwoAtOnce", {kUnit, kUnit}, "", 2, 0, 0, "Готово: 2, с ошибкой: 0"},
        // Asked once: the unit plugged after it does not make the station ask it again.
        StationCase{"SilentPort",
                    {{{"--no-reply", "10"}, false, false, false}, kUnit},
                    "порт пропущен до отключения",
                    1,
                    0,
                    0,
                    "u0: Устройство не ответило за 4 с; выполните k64ctl doctor; порт пропущен "
                    "до отключения"},
        StationCase{"UnpluggedMidJob",
                    {{{"--hangup-after", "20"}, true, false, false}, kUnit},
                    "",
                    2,
                    0,
                    1,
                    "Готово: 1, с ошибкой: 1"},
        // Nothing of the update is sent to a unit as new as the image; its settings are.
        StationCase{
            "AlreadyUpToDate", {{{"--version", "000.014"}, true, true, false}}, "", 1, 0, 0, kDone},
        StationCase{"CtrlCMidJob",
                    {{{"--baud", "115200"}, true, false, false}},
                    "",
                    0,
                    SIGINT,
                    130,
                    "16000101 ошибка: прервано"},
        // The third is plugged once two are done; the station has ended and does not take it.
        StationCase{"CountTwo",
                    {kUnit, kUnit, {{}, false, false, false}},
                    kDone,
                    2,
                    0,
                    0,
                    "Готово: 2, с ошибкой: 0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace k64::test
