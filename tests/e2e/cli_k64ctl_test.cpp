// k64ctl as a user runs it: the real program against the simulated unit on a pseudo-terminal,
// with a settings folder of its own per test so the real user's stored port is never touched.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using k64::test::ProgramResult;
using k64::test::TempDir;

std::string Ctl() { return K64CTL_PATH; }

// The k64ctl usage text begins with this line.
constexpr const char* kUsageStart = "Использование: k64ctl";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every test gets its own settings folder and temporary folder.
class K64ctl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.Valid());
        ASSERT_TRUE(files_.Valid());
    }

    // Runs k64ctl; `extraPorts` null leaves K64_EXTRA_PORTS unset.
    ProgramResult Run(std::vector<std::string> args,
                      std::optional<std::string> extraPorts = std::nullopt)
    {
        args.insert(args.begin(), Ctl());
        ProgramResult r = k64::test::RunProgram(
            args, k64::test::EnvironmentWith({{"XDG_CONFIG_HOME", config_.Path()},
                                              {"K64_HISTORY_DIR", History()},
                                              {"K64_EXTRA_PORTS", extraPorts},
                                              {"LC_ALL", std::string("C.UTF-8")}}));
        if (!r.failure.empty())
            ADD_FAILURE() << r.failure;
        return r;
    }

    std::string File(const std::string& name) const { return files_ / name; }
    std::string History() const { return files_ / "history"; }
    std::string StoredSettings() const { return ReadFile(config_ / "QF/TB_USB_PORT.conf"); }

    TempDir config_{"k64ctl-test"};
    TempDir files_{"k64ctl-test"};
};

std::unique_ptr<k64::test::SimProcess> StartSim(std::vector<std::string> args = {})
{
    auto sim = std::make_unique<k64::test::SimProcess>(k64::test::SimProgram(), args);
    EXPECT_TRUE(sim->Started());
    return sim;
}

// ---------------------------------------------------------------------------------------------
// Command line

TEST_F(K64ctl, HelpPrintsUsageAndDefaultPort)
{
    for (const char* option : {"--help", "-h"}) {
        const ProgramResult r = Run({"id", option});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(kUsageStart, 0), 0u) << r.out;
        EXPECT_NE(r.out.find("/dev/ttyACM0"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(K64ctl, PortsListsExtraPortsLastSkippingEmptyEntriesEscaped)
{
    const ProgramResult r = Run({"ports"}, "::/tmp/k64-a::/tmp/k64-b:/tmp/k64\x1b[2J\\c:");
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "/tmp/k64-a");
    EXPECT_EQ(lines[lines.size() - 2], "/tmp/k64-b");
    EXPECT_EQ(lines.back(), "/tmp/k64\\x1B[2J\\\\c");  // control bytes escaped, never sent raw
    for (const std::string& line : lines)
        EXPECT_FALSE(line.empty());
}

// ---------------------------------------------------------------------------------------------
// Parameter list

TEST_F(K64ctl, ParamsListsEveryParameterInUtf8)
{
    const ProgramResult r = Run({"params"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> parameters;
    std::vector<std::string> noteKickItems;
    std::string current;
    for (const std::string& line : Lines(r.out)) {
        if (!line.empty() && line[0] == '\t') {
            if (current.rfind("NoteKick\t", 0) == 0)
                noteKickItems.push_back(line);
            continue;
        }
        parameters.push_back(line);
        current = line;
    }
    EXPECT_EQ(parameters.size(), 23u);
    EXPECT_EQ(parameters.front(), "PinCod\tНастройки связи\tstring\t\t4\t4\tПин код ");
    EXPECT_NE(std::find(parameters.begin(), parameters.end(),
                        "MicLevel\tНастройки связи\tnumber\t8\t1\t14\tЧувствительность микрофона"),
              parameters.end());
    ASSERT_EQ(noteKickItems.size(), 7u);
    EXPECT_EQ(noteKickItems[4], "\t4\tSMS всем абонентам");
}

// ---------------------------------------------------------------------------------------------
// Port search

TEST_F(K64ctl, FindReportsTheUnitAndStoresItsPort)
{
    const auto sim = StartSim({"--id", "4294967295"});
    const ProgramResult found = Run({"find"}, sim->PtyPath());
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, "Порт:\t" + sim->PtyPath() + "\nТип:\tK64_r2\nВерсия:\t000.013\n" +
                             "Номер:\t4294967295\n");

    // Later calls without --port and without the extra ports go to the stored port.
    const ProgramResult id = Run({"id"});
    EXPECT_EQ(id.status, 0) << id.err;
    EXPECT_EQ(id.out, "Серийный номер устройства -1\n");
}

TEST_F(K64ctl, FindWithoutUnitKeepsTheStoredPort)
{
    const auto sim = StartSim();
    ASSERT_EQ(Run({"find"}, sim->PtyPath()).status, 0);
    const std::string stored = StoredSettings();

    const ProgramResult missing = Run({"find"}, File("no-such-port"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "Устройство не найдено\n");
    EXPECT_EQ(StoredSettings(), stored);
    EXPECT_EQ(Run({"id"}).status, 0);
}

TEST_F(K64ctl, PortOptionIsNeverStored)
{
    const auto sim = StartSim();
    const ProgramResult r = Run({"--port", sim->PtyPath(), "id"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(StoredSettings().find(sim->PtyPath()), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Serial number and version

struct IdCase {
    const char* id;
    const char* shown;
};

void PrintTo(const IdCase& c, std::ostream* os) { *os << c.id; }

class SerialNumber : public K64ctl, public ::testing::WithParamInterface<IdCase> {};

TEST_P(SerialNumber, ShownAsSigned32Bit)
{
    const auto sim = StartSim({"--id", GetParam().id});
    const ProgramResult r = Run({"id", "--port", sim->PtyPath()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("Серийный номер устройства ") + GetParam().shown + "\n");
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialNumber,
                         ::testing::Values(IdCase{"0", "0"}, IdCase{"16001234", "16001234"},
                                           IdCase{"2147483647", "2147483647"},
                                           IdCase{"2147483648", "-2147483648"},
                                           IdCase{"4294967295", "-1"}));

struct VersionCase {
    const char* type;
    const char* version;
    const char* shownType;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.type << ' ' << c.version; }

class Version : public K64ctl, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(Version, LogsTypeAndFirmwareVersion)
{
    const VersionCase& c = GetParam();
    const auto sim = StartSim({"--type", c.type, "--version", c.version});
    const ProgramResult r = Run({"--port=" + sim->PtyPath(), "version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("Тип устройства  : ") + c.shownType +
                         "\nВерсия прошивки : " + c.version + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, Version,
                         ::testing::Values(VersionCase{"K64_r2", "000.014", "K64_r2"},
                                           VersionCase{"TB_r2", "000.013", "K73 (r2)"},
                                           VersionCase{"TB_r2x", "001.000", "TB_r2x"},
                                           VersionCase{"tb_r2", "000.001", "tb_r2"},
                                           VersionCase{"TB_r1", "000.013", "TB_r1"}));

// ---------------------------------------------------------------------------------------------
// Failed requests: the desktop program's box text on stderr, exit status 1

struct FailureCase {
    const char* name;
    std::vector<std::string> simArgs;  // empty: no unit, the port does not exist
    std::vector<std::string> args;     // "@" is replaced by the settings file written first
    const char* err;
    const char* silence = "";  // the line of a unit that did not answer
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedRequest : public K64ctl, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedRequest, ReportsOnStderr)
{
    const FailureCase& c = GetParam();
    std::unique_ptr<k64::test::SimProcess> sim;
    std::string port = File("no-such-port");
    if (!c.simArgs.empty()) {
        sim = StartSim(c.simArgs);
        port = sim->PtyPath();
    }
    WriteFile(File("in.txt"), "MicLevel=10\r\n");
    std::vector<std::string> args = {"--port", port};
    for (const std::string& arg : c.args)
        args.push_back(arg == "@" ? File("in.txt") : arg);
    const ProgramResult r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // Without a port, or from a silent unit, the reason follows the message; a unit that
    // answered badly has none.
    const std::string reason =
        sim ? c.silence
            : "Порт " + port + " не найден: блок не подключен; выполните k64ctl doctor\n";
    EXPECT_EQ(r.err, std::string(c.err) + "\n" + reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedRequest,
    ::testing::Values(
        FailureCase{"IdNoPort", {}, {"id"}, "Устройство не подключено или занято."},
        FailureCase{"VersionNoPort", {}, {"version"}, "Устройство не подключено или занято"},
        FailureCase{"ReadNoPort", {}, {"read-settings"}, "Устройство не подключено или занято."},
        FailureCase{
            "WriteNoPort", {}, {"write-settings", "@"}, "Устройство не подключено или занято"},
        FailureCase{"IdNoReply",
                    {"--no-reply", "10"},
                    {"id"},
                    "Устройство не подключено или занято.",
                    "Устройство не ответило за 4 с; выполните k64ctl doctor\n"},
        FailureCase{"IdMalformed",
                    {"--malformed-reply", "10"},
                    {"id"},
                    "Устройство не подключено или занято."},
        FailureCase{"VersionWrongReply",
                    {"--wrong-reply", "14"},
                    {"version"},
                    "Устройство не подключено или занято"},
        FailureCase{"ReadWrongReply",
                    {"--wrong-reply", "200"},
                    {"read-settings"},
                    "Устройство не подключено или занято."},
        FailureCase{"WriteWrongReply",
                    {"--wrong-reply", "201"},
                    {"write-settings", "@", "--no-backup"},
                    "Устройство не подключено или занято"},
        FailureCase{
            "DiagNoPort", {}, {"diag", "--seconds", "1"}, "Устройство не подключено или занято"},
        FailureCase{"DiagHangUp",
                    {"--hangup-after", "1"},
                    {"diag", "--seconds", "5"},
                    "Устройство не подключено или занято"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Diagnostic mode

TEST_F(K64ctl, DiagShowsAxesAsTheyChangeAndTheOtherLines)
{
    const auto sim = StartSim({"--diag-interval-ms", "10"});
    const ProgramResult r = Run({"--port", sim->PtyPath(), "diag", "--seconds", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, int> seen;
    std::map<char, std::string> lastAxis;
    for (const std::string& line : Lines(r.out)) {
        if (line.size() > 4 && line[1] == ' ' && line.substr(2, 2) == "= ") {
            // An axis is printed only when its text changes.
            EXPECT_NE(lastAxis[line[0]], line);
            lastAxis[line[0]] = line;
            ++seen[line.substr(0, 1)];
        } else {
            ++seen[line.substr(0, line.find(':') + 1)];
        }
    }
    for (const char* kind : {"X", "Y", "Z", "$AccE:", "$VS:", "$Can:"})
        EXPECT_GT(seen[kind], 0) << kind << " in\n" << r.out;
    EXPECT_EQ(seen.size(), 6u) << r.out;
}

// ---------------------------------------------------------------------------------------------
// Connection check

TEST_F(K64ctl, DoctorChecksPortHoldersAndUnit)
{
    const ProgramResult missing = Run({"doctor", "--port", File("no-such-port")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(Lines(missing.out).at(0), "[!!] Порт " + File("no-such-port") + " не найден.")
        << missing.out;

    const auto sim = StartSim({"--id", "4294967295"});
    const ProgramResult good = Run({"doctor", "--port", sim->PtyPath()});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    const std::vector<std::string> lines = Lines(good.out);
    ASSERT_EQ(lines.size(), 5u) << good.out;
    for (const std::string& line : lines)
        EXPECT_EQ(line.rfind("[ок] ", 0), 0u) << line;
    EXPECT_NE(lines.back().find("серийный номер -1, тип K64_r2, версия прошивки 000.013"),
              std::string::npos);

    // This test process keeping the port open is named as its holder.
    k64::test::SimLine held(sim->PtyPath());
    ASSERT_TRUE(held.IsOpen());
    const ProgramResult busy = Run({"doctor", "--port", sim->PtyPath()});
    EXPECT_EQ(busy.status, 1);  // a problem line, although the unit answered
    EXPECT_NE(busy.out.find("[!!] Порт занят: процесс " + std::to_string(::getpid()) + " ("),
              std::string::npos)
        << busy.out;
}

// ---------------------------------------------------------------------------------------------
// Settings

class Settings : public K64ctl {
protected:
    void SetUp() override
    {
        K64ctl::SetUp();
        WriteFile(File("unit.txt"),
                  "MicLevel=10\nNoteKick=4\nUnknownKey=1\nBalans=\xE1\xE0\xEB\xE0\xED\xF1\n");
        sim_ = StartSim({"--settings-file", File("unit.txt")});
        ASSERT_TRUE(sim_->Started());
    }
    ProgramResult OnUnit(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", sim_->PtyPath()});
        return Run(args);
    }
    // key=value lines as read-settings prints them, by key.
    std::map<std::string, std::string> UnitValues()
    {
        const ProgramResult r = OnUnit({"read-settings"});
        EXPECT_EQ(r.status, 0) << r.err;
        std::map<std::string, std::string> values;
        for (const std::string& line : Lines(r.out))
            values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        return values;
    }

    std::unique_ptr<k64::test::SimProcess> sim_;
};

TEST_F(Settings, ReadPrintsEveryParameterInListOrder)
{
    const ProgramResult r = OnUnit({"read-settings"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 23u);

    std::vector<std::string> keys;
    for (const std::string& line : Lines(Run({"params"}).out))
        if (!line.empty() && line[0] != '\t')
            keys.push_back(line.substr(0, line.find('\t')));
    ASSERT_EQ(keys.size(), lines.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, lines[i].find('=')), keys[i]) << "line " << i;

    const std::map<std::string, std::string> values = UnitValues();
    EXPECT_EQ(values.at("MicLevel"), "10");
    EXPECT_EQ(values.at("NoteKick"), "4");
    EXPECT_EQ(values.at("Balans"), "баланс");  // Windows-1251 on the unit, UTF-8 here
    EXPECT_EQ(values.at("CanMode"), "1");      // not in the unit's text: its default
    EXPECT_EQ(values.count("UnknownKey"), 0u);
}

TEST_F(Settings, ReadToFileSavesWhatDiffersFromDefaultsWithCrLf)
{
    WriteFile(File("out.txt"), "old content that must go\r\n");
    const ProgramResult r = OnUnit({"read-settings", "--output", File("out.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(File("out.txt")),
              "Balans=\xE1\xE0\xEB\xE0\xED\xF1\r\nMicLevel=10\r\nNoteKick=4\r\n");
}

TEST_F(Settings, ReadToUnwritableFileFails)
{
    const ProgramResult r = OnUnit({"read-settings", "--output", File("missing-folder/out.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing-folder/out.txt"), std::string::npos) << r.err;
}

constexpr const char* kVerified = "Проверено: устройство хранит записанные настройки.";

TEST_F(Settings, SavedFileWritesBackUnchanged)
{
    ASSERT_EQ(OnUnit({"read-settings", "--output", File("saved.txt")}).status, 0);
    const std::map<std::string, std::string> before = UnitValues();
    const ProgramResult r = OnUnit({"write-settings", File("saved.txt")});
    EXPECT_EQ(r.status, 0) << r.err;
    // No change listed before it.
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{Lines(r.out).front(), "Настройки записаны.", kVerified}));
    EXPECT_EQ(UnitValues(), before);
}

struct WriteCase {
    const char* name;
    std::string file;
    bool force;
    int status;
    std::string err;
    std::map<std::string, std::string> expected;  // values on the unit afterwards
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WriteSettings : public Settings, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteSettings, ChecksLimitsBeforeSending)
{
    const WriteCase& c = GetParam();
    WriteFile(File("in.txt"), c.file);
    std::vector<std::string> args = {"write-settings", File("in.txt")};
    if (c.force)
        args.push_back("--force");
    const ProgramResult r = OnUnit(args);
    EXPECT_EQ(r.status, c.status);
    std::string err = r.err;
    if (const std::size_t at = err.find(File("in.txt")); at != std::string::npos)
        err.replace(at, File("in.txt").size(), "IN");
    EXPECT_EQ(err, c.err);
    if (c.status == 0) {
        EXPECT_TRUE(r.out.ends_with("Настройки записаны.\n" + std::string(kVerified) + "\n"))
            << r.out;
    } else {
        EXPECT_EQ(r.out, "");
    }
    const std::map<std::string, std::string> values = UnitValues();
    for (const auto& [key, value] : c.expected)
        EXPECT_EQ(values.at(key), value) << key;
}

// The unit starts with MicLevel 10, NoteKick 4 and Balans "баланс"; a write replaces the whole
// text, so keys the file leaves out go back to their defaults.
INSTANTIATE_TEST_SUITE_P(
    Cases, WriteSettings,
    ::testing::Values(
        WriteCase{"Valid",
                  "MicLevel=12\r\nPinCod=5739\r\n",
                  false,
                  0,
                  "",
                  {{"MicLevel", "12"}, {"PinCod", "5739"}, {"NoteKick", "3"}, {"Balans", ""}}},
        WriteCase{"LfAndHexAccepted",
                  "MicLevel=$E\nBalans=*100#\n",
                  false,
                  0,
                  "",
                  {{"MicLevel", "$E"}, {"Balans", "*100#"}}},
        WriteCase{"Cp1251Text",
                  "Balans=\xE1\xE0\xEB\xE0\xED\xF1\r\n",
                  false,
                  0,
                  "",
                  {{"Balans", "баланс"}, {"MicLevel", "8"}}},
        // What today's editors save reaches the unit in its own encoding.
        WriteCase{"Utf8Text",
                  "MicLevel=9\r\nBalans=бал №1\r\n",
                  false,
                  0,
                  "",
                  {{"Balans", "бал №1"}, {"MicLevel", "9"}}},
        WriteCase{"Utf8WithMark",
                  "\xEF\xBB\xBF"
                  "MicLevel=9\r\nBalans=баланс\r\n",
                  false,
                  0,
                  "",
                  {{"Balans", "баланс"}, {"MicLevel", "9"}}},
        WriteCase{"Utf8NotInCp1251",
                  "MicLevel=9\r\nBalans=Ω\r\n",
                  true,
                  2,
                  "Файл настроек IN, строка 2: символа \"Ω\" (U+03A9) нет в кодировке "
                  "Windows-1251\n",
                  {{"Balans", "баланс"}, {"MicLevel", "10"}}},
        WriteCase{"AboveMax",
                  "MicLevel=15\r\n",
                  false,
                  2,
                  "MicLevel: 15 - многовато будет.\n",
                  {{"MicLevel", "10"}, {"NoteKick", "4"}}},
        WriteCase{"BelowMin",
                  "MicLevel=0\r\n",
                  false,
                  2,
                  "MicLevel: 0 - маловато будет.\n",
                  {{"MicLevel", "10"}}},
        WriteCase{"NotANumber",
                  "MicLevel=abc\r\n",
                  false,
                  2,
                  "MicLevel: abc - не является целым цислом\n",
                  {{"MicLevel", "10"}}},
        WriteCase{"EmptyNumber",
                  "MicLevel=\r\n",
                  false,
                  2,
                  "MicLevel:  - не является целым цислом\n",
                  {{"MicLevel", "10"}}},
        WriteCase{"EveryRefusalNamed",
                  "PinCod=123\r\nMicLevel=15\r\nBalans=123456789\r\n",
                  false,
                  2,
                  "PinCod: Маленькая длинна текста\nBalans: Превышена длинна текста\n"
                  "MicLevel: 15 - многовато будет.\n",
                  {{"MicLevel", "10"}, {"PinCod", ""}}},
        WriteCase{"ForceSendsAnyway",
                  "MicLevel=15\r\nPinCod=123\r\n",
                  true,
                  0,
                  "",
                  {{"MicLevel", "15"}, {"PinCod", "123"}}},
        WriteCase{"EmptyFileRestoresDefaults",
                  "",
                  false,
                  0,
                  "",
                  {{"MicLevel", "8"}, {"NoteKick", "3"}, {"Balans", ""}}},
        // Files that are no settings text would reset every value: refused even with --force.
        WriteCase{"BinaryRefusedEvenForced",
                  "MicLevel=12\r\n\x7F"
                  "ELF",
                  true,
                  2,
                  "Не является файлом настроек: IN (двоичные данные)\n",
                  {{"MicLevel", "10"}}},
        WriteCase{"NoKnownKeyRefusedEvenForced",
                  "root:x:0:0:root:/root:/bin/bash\nmiclevel=3\n",
                  true,
                  2,
                  "В файле нет ни одной строки \"параметр=значение\" с известным параметром: IN\n",
                  {{"MicLevel", "10"}}},
        WriteCase{"UnknownLinesListedAndSkipped",
                  "hello\r\nMicLevel=12\r\n",
                  false,
                  0,
                  "k64ctl: строка пропущена: hello\n",
                  {{"MicLevel", "12"}}},
        WriteCase{"TooLongForOneFrame",
                  "Balans=" + std::string(70000, 'x') + "\r\n",
                  true,
                  1,
                  "Настройки не помещаются в одну посылку: 70008 байт, допустимо не более 65534. "
                  "Ничего не отправлено.\n",
                  {{"MicLevel", "10"}}}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

struct MergeCase {
    const char* name;
    std::vector<std::string> sim;  // the unit's faults
    std::string file;
    std::vector<std::string> command;  // the command and its options, the file after the first
    int status;
    std::string err;
    std::map<std::string, std::string> expected;  // values on the unit afterwards
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class MergeSettings : public Settings, public ::testing::WithParamInterface<MergeCase> {};

// --merge sets the keys the file gives over the unit's own settings and leaves the others; what
// was written is read back.
TEST_P(MergeSettings, OverlaysThePresetAndReadsItBack)
{
    const MergeCase& c = GetParam();
    sim_.reset();
    std::vector<std::string> simArgs = {"--settings-file", File("unit.txt")};
    simArgs.insert(simArgs.end(), c.sim.begin(), c.sim.end());
    sim_ = StartSim(simArgs);
    ASSERT_TRUE(sim_->Started());
    WriteFile(File("in.txt"), c.file);
    std::vector<std::string> args = c.command;
    args.insert(args.begin() + 1, File("in.txt"));
    const ProgramResult r = OnUnit(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    const std::map<std::string, std::string> values = UnitValues();
    for (const auto& [key, value] : c.expected)
        EXPECT_EQ(values.at(key), value) << key;
}

// The unit starts with MicLevel 10, NoteKick 4 and Balans "баланс".
INSTANTIATE_TEST_SUITE_P(
    Cases, MergeSettings,
    ::testing::Values(
        // A value equal to its default is set too; Balans stays.
        MergeCase{"KeysOverlaid",
                  {},
                  "MicLevel=12\r\nNoteKick=3\r\n",
                  {"write-settings", "--merge"},
                  0,
                  "",
                  {{"MicLevel", "12"}, {"NoteKick", "3"}, {"Balans", "баланс"}}},
        MergeCase{"RestoreOverlays",
                  {},
                  "MicLevel=12\r\n",
                  {"restore", "--merge"},
                  0,
                  "",
                  {{"MicLevel", "12"}, {"NoteKick", "4"}}},
        MergeCase{"LimitsChecked",
                  {},
                  "MicLevel=15\r\n",
                  {"write-settings", "--merge"},
                  2,
                  "MicLevel: 15 - многовато будет.\n",
                  {{"MicLevel", "10"}}},
        MergeCase{"UnknownKeyRefusedEvenForced",
                  {},
                  "MicLevel=12\r\nMicLevell=13\r\n",
                  {"write-settings", "--merge", "--force"},
                  2,
                  "k64ctl: строка не задает известный параметр: MicLevell=13\n",
                  {{"MicLevel", "10"}}},
        MergeCase{"ReadBackDiffers",
                  {"--drop-setting", "MicLevel"},
                  "MicLevel=12\r\n",
                  {"write-settings", "--merge"},
                  1,
                  "Проверка не пройдена, устройство хранит другие значения: Чувствительность "
                  "микрофона (MicLevel): записано «12», прочитано «8»\n",
                  {{"MicLevel", "8"}, {"NoteKick", "4"}}},
        MergeCase{"ReadBackNotAsked",
                  {"--drop-setting", "MicLevel"},
                  "MicLevel=12\r\n",
                  {"write-settings", "--merge", "--no-verify"},
                  0,
                  "",
                  {{"MicLevel", "8"}}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Settings history

// A write keeps what it replaces and lists its changes; restore (of the latest entry) brings the
// unit's settings back byte for byte; history lists both entries, newest first.
TEST_F(Settings, WriteIsKeptAndRestoreLatestUndoesIt)
{
    ASSERT_EQ(OnUnit({"read-settings", "--output", File("before.txt")}).status, 0);
    WriteFile(File("new.txt"), "MicLevel=12\r\nNoteKick=1\r\n");
    const ProgramResult write = OnUnit({"write-settings", File("new.txt")});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_NE(write.out.find("Чувствительность микрофона (MicLevel): «10» -> «12»\n"),
              std::string::npos)
        << write.out;
    EXPECT_NE(write.out.find("(Balans): «баланс» -> «»\n"), std::string::npos) << write.out;

    const ProgramResult restore = OnUnit({"restore"});
    ASSERT_EQ(restore.status, 0) << restore.err;
    ASSERT_EQ(OnUnit({"read-settings", "--output", File("after.txt")}).status, 0);
    EXPECT_EQ(ReadFile(File("after.txt")), ReadFile(File("before.txt")));

    // Time, serial, values that differ from the defaults, path: before the restore, before the write.
    const std::vector<std::string> history = Lines(Run({"history", "--unit", "16001234"}).out);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_NE(history[0].find("\t16001234\t2\t" + History() + "/"), std::string::npos)
        << history[0];
    EXPECT_NE(history[1].find("\t16001234\t3\t" + History() + "/"), std::string::npos)
        << history[1];
}

// Any byte but zero is a value the unit keeps: settings holding control bytes go into the
// history and come back from it as they were.
TEST_F(Settings, ControlBytesInValuesComeBackFromTheHistory)
{
    WriteFile(File("odd.txt"), "MicLevel=10\nBalans=*1\x01\x1B\x08#\n");
    sim_ = StartSim({"--settings-file", File("odd.txt")});
    ASSERT_EQ(OnUnit({"backup"}).status, 0);
    WriteFile(File("plain.txt"), "MicLevel=12\r\n");
    ASSERT_EQ(OnUnit({"write-settings", File("plain.txt")}).status, 0);
    EXPECT_EQ(OnUnit({"diff", "latest"}).status, 1);
    const ProgramResult restore = OnUnit({"restore", "latest"});
    ASSERT_EQ(restore.status, 0) << restore.err;
    ASSERT_EQ(OnUnit({"read-settings", "--output", File("after.txt")}).status, 0);
    EXPECT_EQ(ReadFile(File("after.txt")), "Balans=*1\x01\x1B\x08#\r\nMicLevel=10\r\n");
}

// diff: 0 the same, 1 different (one line each, enumerations by their text), 2 trouble.
TEST_F(Settings, DiffTable)
{
    struct Case {
        std::string a;
        std::optional<std::string> b;  // no B: the unit
        int status;
        std::string out;
    } cases[] = {
        {"MicLevel=10\r\n", "MicLevel=10\n\n", 0, ""},
        {"MicLevel=10\r\nNoteKick=4\r\n", "MicLevel=12\r\n", 1,
         "Чувствительность микрофона (MicLevel): «10» -> «12»\n"
         "Сработал датчик удара (NoteKick): «SMS всем абонентам» -> «SMS и вызов активному абоненту»\n"},
        {"MicLevel=10\nNoteKick=4\nBalans=\xE1\xE0\xEB\xE0\xED\xF1\n", std::nullopt, 0, ""},
        {"MicLevel=10\nNoteKick=4\n", std::nullopt, 1, "Запрос баланса (Balans): «» -> «баланс»\n"},
        {"", "\x01binary", 2, ""},
    };
    for (const Case& c : cases) {
        WriteFile(File("a.txt"), c.a);
        std::vector<std::string> args = {"diff", File("a.txt")};
        if (c.b) {
            WriteFile(File("b.txt"), *c.b);
            args.push_back(File("b.txt"));
        }
        const ProgramResult r = OnUnit(args);
        EXPECT_EQ(r.status, c.status) << c.a << r.err;
        EXPECT_EQ(r.out, c.out) << c.a;
    }
    const ProgramResult missing = OnUnit({"diff", File("absent.txt"), "unit"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("absent.txt"), std::string::npos) << missing.err;
}

// A firmware update that resets the settings is caught: the changes and the way back are shown,
// or with --restore-settings the settings are written back at once.
TEST_F(Settings, UpdateThatResetsTheSettingsIsCaughtAndUndone)
{
    sim_ = StartSim({"--settings-file", File("unit.txt"), "--reset-settings-on-commit",
                     "--prepare-delay-ms", "0"});
    const std::map<std::string, std::string> before = UnitValues();
    const ProgramResult update = OnUnit({"update-firmware", "--yes"});
    ASSERT_EQ(update.status, 0) << update.err;
    EXPECT_NE(update.out.find("(MicLevel): «10» -> «8»\n"), std::string::npos) << update.out;
    EXPECT_NE(update.err.find("k64ctl restore latest"), std::string::npos) << update.err;
    ASSERT_EQ(OnUnit({"restore", "latest"}).status, 0);
    EXPECT_EQ(UnitValues(), before);

    const ProgramResult again = OnUnit({"update-firmware", "--yes", "--restore-settings"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.ends_with("Настройки восстановлены.\n")) << again.out;
    EXPECT_EQ(UnitValues(), before);
}

TEST_F(Settings, WriteFromMissingFileFailsAndSendsNothing)
{
    const ProgramResult r = OnUnit({"write-settings", File("absent.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("absent.txt"), std::string::npos) << r.err;
    EXPECT_EQ(UnitValues().at("MicLevel"), "10");
}

}  // namespace
