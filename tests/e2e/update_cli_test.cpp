// k64ctl update-firmware / update-sound as a user runs them, against the simulated unit:
// exit status, what goes to standard output and error, and what reached the unit.

#include "support/child_process.h"
#include "update_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace k64::test {
namespace {

// Runs k64ctl with stdin from /dev/null (no terminal) and its settings kept in `dir`.
ProgramResult RunK64ctl(const TempDir& dir, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{K64CTL_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProgramResult r =
        RunProgram(argv, {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
                          "QT_QPA_PLATFORM=offscreen", "LANG=C.UTF-8"});
    if (!r.failure.empty())
        ADD_FAILURE() << r.failure;
    return r;
}

const std::string kFirmwareLog =
    "Подготовка к обновлению, ждите ...\nЗагрузка новой версии программы ...\n";
const std::string kSoundLog = "Подготовка к записи, ждите...\nИдет запись звуковых данных...\n";

struct CliCase {
    const char* name;
    std::vector<std::string> sim;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string errHas;  // a piece standard error must hold
    std::vector<std::uint16_t> codes;
};

class UpdateCliTest : public ::testing::TestWithParam<CliCase> {};

TEST_P(UpdateCliTest, ExitStatusOutputAndWire)
{
    const CliCase& c = GetParam();
    TempDir dir;
    std::vector<std::string> options = c.sim;
    options.insert(options.end(), {"--trace", dir / "trace", "--prepare-delay-ms", "0"});
    SimProcess sim(SimProgram(), options);
    ASSERT_TRUE(sim.Started());
    std::vector<std::string> args{"--port", sim.PtyPath()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramResult r = RunK64ctl(dir, args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    sim.Stop();
    auto codes = Codes(ReceivedFrames(dir / "trace"));
    EXPECT_EQ(codes, c.codes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateCliTest,
    ::testing::Values(
        CliCase{"FirmwareConfirmed",
                {},
                {"update-firmware", "--yes", "--no-backup"},
                0,
                kFirmwareLog + "Загрузка закончена.\n",
                "Начать обновление ? -> ОК",
                ExpectedCodes({14, 195}, 73, {190})},
        CliCase{"FirmwareWithoutTerminalOrYes", {}, {"update-firmware"}, 2, "", "--yes", {}},
        CliCase{"SoundWithoutTerminalOrYes", {}, {"update-sound"}, 2, "", "--yes", {}},
        CliCase{"FirmwareAsNewIsAskedAndUpdated",
                {"--version", "000.014"},
                {"update-firmware", "--yes", "--no-backup"},
                0,
                kFirmwareLog + "Загрузка закончена.\n",
                "Обновлять или нет? -> Да",
                ExpectedCodes({14, 195}, 73, {190})},
        CliCase{"FirmwareVersionRefused",
                {"--wrong-reply", "14"},
                {"update-firmware", "--yes", "--no-backup"},
                1,
                "",
                "Устройство не подключено или занято",
                {14}},
        CliCase{"FirmwarePrepareRefused",
                {"--wrong-reply", "195"},
                {"update-firmware", "--yes", "--no-backup"},
                1,
                "Подготовка к обновлению, ждите ...\nОбновление отменено.\n",
                "Устройство не подключено или занято",
                {14, 195}},
        CliCase{"FirmwareBlockRefused",
                {"--wrong-reply", "192"},
                {"update-firmware", "--yes", "--no-backup"},
                1,
                kFirmwareLog + "Обновление отменено.\n",
                "Ошибка при передачи данных",
                ExpectedCodes({14, 195}, 1)},
        CliCase{"FirmwareCommitRefused",
                {"--wrong-reply", "190"},
                {"update-firmware", "--yes", "--no-backup"},
                1,
                kFirmwareLog + "Обновление отменено.\n",
                "Нет подтвеждения CRC",
                ExpectedCodes({14, 195}, 73, {190})},
        // The settings are kept after the questions, before the prepare request; a unit that
        // does not give them is not updated, and the way round is named.
        CliCase{"FirmwareSettingsNotGiven",
                {"--wrong-reply", "200"},
                {"update-firmware", "--yes"},
                1,
                "Подготовка к обновлению, ждите ...\nОбновление отменено.\n",
                "Устройство не передало свои настройки, резервная копия не сделана.\n"
                "k64ctl: без резервной копии: --no-backup\n",
                {14, 200}},
        CliCase{"SoundPrepareRefused",
                {"--wrong-reply", "196"},
                {"update-sound", "--yes"},
                1,
                "Подготовка к записи, ждите...\n",
                "Обновление отменено.",
                {196}},
        CliCase{"SoundBlockRefused",
                {"--wrong-reply", "192"},
                {"update-sound", "--yes"},
                1,
                kSoundLog,
                "Ошибка при передачи данных",
                {196, 192}}),
    [](const auto& info) { return std::string(info.param.name); });

// Waits until the running k64ctl prints `line`; everything it printed up to there.
std::string OutputUntil(ChildProcess& ctl, const std::string& line)
{
    std::string seen;
    while (auto next = ctl.ReadLine(std::chrono::seconds(30))) {
        seen += *next + "\n";
        if (*next == line)
            break;
    }
    return seen;
}

// The port is held from prepare to commit: another k64ctl in the middle of the transfer is
// refused at once and sends nothing, and the transfer goes through.
TEST(UpdateCliTest, SecondProgramDuringSoundUpdateIsRefused)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {"--trace", dir / "trace", "--prepare-delay-ms", "0"});
    ASSERT_TRUE(sim.Started());
    ::setenv("K64_HISTORY_DIR", (dir / "history").c_str(), 1);
    ChildProcess update(K64CTL_PATH, {"--port", sim.PtyPath(), "update-sound", "--yes"},
                        ChildProcess::Errors::Discard);
    ASSERT_NE(OutputUntil(update, "Идет запись звуковых данных...").find("записи"),
              std::string::npos);
    const std::vector<std::vector<std::string>> others = {{"id"},
                                                          {"write-settings", dir / "empty.txt"},
                                                          {"diag", "--seconds", "1"},
                                                          {"update-firmware", "--yes"}};
    std::ofstream(dir / "empty.txt").close();
    for (const auto& second : others) {
        std::vector<std::string> args{"--port", sim.PtyPath()};
        args.insert(args.end(), second.begin(), second.end());
        const ProgramResult r = RunK64ctl(dir, args);
        EXPECT_EQ(r.status, 1) << second[0];
        EXPECT_NE(r.err.find("Устройство не подключено или занято"), std::string::npos) << r.err;
    }
    EXPECT_EQ(update.WaitExit(std::chrono::seconds(60)), 0);
    sim.Stop();
    EXPECT_EQ(Codes(ReceivedFrames(dir / "trace")), ExpectedCodes({196}, 634, {190}));
}

struct SignalCase {
    const char* name;
    int signal;
    const char* command;
    const char* transferLine;  // printed when the blocks start
};

class UpdateSignalTest : public ::testing::TestWithParam<SignalCase> {};

// A stop signal ends the transfer between two blocks as "Стоп" does: no commit, exit 128 + the
// signal, and the port is free again. A second Ctrl-C while stopping changes nothing.
TEST_P(UpdateSignalTest, StopsBetweenBlocksWithoutCommit)
{
    const SignalCase& c = GetParam();
    TempDir dir;
    // Slow acknowledgements keep the short firmware transfer running long enough to be hit.
    SimProcess sim(SimProgram(),
                   {"--trace", dir / "trace", "--prepare-delay-ms", "0", "--delay", "192:20"});
    ASSERT_TRUE(sim.Started());
    ::setenv("K64_HISTORY_DIR", (dir / "history").c_str(), 1);
    ChildProcess update(K64CTL_PATH, {"--port", sim.PtyPath(), c.command, "--yes"},
                        ChildProcess::Errors::Discard);
    OutputUntil(update, c.transferLine);
    ::kill(update.Pid(), c.signal);
    if (c.signal == SIGINT)
        ::kill(update.Pid(), SIGINT);
    EXPECT_EQ(OutputUntil(update, "Обновление отменено."), "Обновление отменено.\n");
    EXPECT_EQ(update.WaitExit(std::chrono::seconds(30)), 128 + c.signal);

    EXPECT_EQ(RunK64ctl(dir, {"--port", sim.PtyPath(), "id"}).status, 0);
    sim.Stop();
    const auto codes = Codes(ReceivedFrames(dir / "trace"));
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 190), 0);
    EXPECT_EQ(codes.back(), 10);  // the id request after the stop
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateSignalTest,
    ::testing::Values(
        SignalCase{"FirmwareInt", SIGINT, "update-firmware", "Загрузка новой версии программы ..."},
        SignalCase{"FirmwareTerm", SIGTERM, "update-firmware",
                   "Загрузка новой версии программы ..."},
        SignalCase{"FirmwareHup", SIGHUP, "update-firmware", "Загрузка новой версии программы ..."},
        SignalCase{"SoundInt", SIGINT, "update-sound", "Идет запись звуковых данных..."},
        SignalCase{"SoundTerm", SIGTERM, "update-sound", "Идет запись звуковых данных..."},
        SignalCase{"SoundHup", SIGHUP, "update-sound", "Идет запись звуковых данных..."}),
    [](const auto& info) { return std::string(info.param.name); });

// With the backup: kept once the questions are answered, compared after the commit; without a
// terminal or --yes the refusal is said once and nothing is sent.
TEST(UpdateCliTest, FirmwareKeepsTheSettingsBetweenTheQuestionsAndThePrepare)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {"--trace", dir / "trace", "--prepare-delay-ms", "0"});
    ASSERT_TRUE(sim.Started());
    const ProgramResult refused = RunK64ctl(dir, {"--port", sim.PtyPath(), "update-firmware"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.find("--yes"), refused.err.rfind("--yes")) << refused.err;

    const ProgramResult r = RunK64ctl(dir, {"--port", sim.PtyPath(), "update-firmware", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string kept = "Подготовка к обновлению, ждите ...\nНастройки устройства 16001234 "
                             "сохранены в истории: " +
                             (dir / "home/.local/share/k64/history/");
    EXPECT_TRUE(r.out.starts_with(kept)) << r.out;
    EXPECT_TRUE(r.out.ends_with("Загрузка закончена.\n")) << r.out;
    sim.Stop();
    EXPECT_EQ(Codes(ReceivedFrames(dir / "trace")),
              ExpectedCodes({14, 200, 10, 195}, 73, {190, 200}));
}

TEST(UpdateCliTest, MissingPortFailsWithoutSending)
{
    TempDir dir;
    const ProgramResult r =
        RunK64ctl(dir, {"--port", dir / "no-such-port", "update-firmware", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Устройство не подключено или занято"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace k64::test
