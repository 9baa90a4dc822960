// The connection checks on injected facts: one healthy machine, changed one fact at a time.

#include "service/connection_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace k64::service {
namespace {

constexpr unsigned kDialout = 20;
constexpr unsigned kUser = 1000;

// A node that is no port is never asked; one without access refuses the open.
void NoNode(DoctorFacts& f)
{
    f.node = {};
    f.unit = {};
}
void NoAccess(DoctorFacts& f) { f.unit.idResult = kPortNotOpened; }

DoctorFacts Healthy()
{
    DoctorFacts f;
    f.port = "/dev/ttyACM0";
    f.node = {"ttyACM0", true, true, 0660, 0, kDialout, "dialout", 166, 0};
    f.usb = UsbDetails{"0483", "5740", "QF", "K64 GSM", "160012"};
    f.user = {kUser, "anna", {kUser, kDialout}, {kUser, kDialout}};
    f.unit = {kOk, 16001234, kOk, "K64_r2", "000.014"};
    return f;
}

// Each check's mark (+ ok, ! problem, - skipped), a fix for exactly the problems, and `says` in
// the line or fix of check number `check`.
void ExpectReport(const std::vector<CheckResult>& results, const std::string& statuses, int check,
                  const char* says)
{
    std::string marks;
    for (const CheckResult& r : results) {
        marks += r.status == CheckStatus::kOk ? '+' : r.status == CheckStatus::kProblem ? '!' : '-';
        EXPECT_EQ(r.status == CheckStatus::kProblem, !r.fix.empty()) << r.found;
    }
    EXPECT_EQ(marks, statuses);
    ASSERT_LT(static_cast<std::size_t>(check), results.size());
    const CheckResult& r = results[static_cast<std::size_t>(check)];
    EXPECT_NE((r.found + "\n" + r.fix).find(says), std::string::npos) << r.found << "\n" << r.fix;
}

struct DoctorCase {
    const char* name;
    std::function<void(DoctorFacts&)> change;
    const char* statuses;  // per check: + ok, ! problem, - skipped
    int check;             // the check whose line or fix holds `says`
    const char* says;
};

void PrintTo(const DoctorCase& c, std::ostream* os) { *os << c.name; }

class DoctorChecks : public ::testing::TestWithParam<DoctorCase> {};

TEST_P(DoctorChecks, ReportEachFindingWithItsFix)
{
    const DoctorCase& c = GetParam();
    DoctorFacts facts = Healthy();
    c.change(facts);
    const std::vector<CheckResult> results = RunDoctorChecks(facts);
    ASSERT_EQ(results.size(), 5u);
    ExpectReport(results, c.statuses, c.check, c.says);
    // A lock file's word alone never gets a process killed.
    if (facts.lock.pid != 0 && !facts.lock.seenOpen) {
        for (const CheckResult& r : results)
            EXPECT_EQ(r.fix.find("kill " + std::to_string(facts.lock.pid)), std::string::npos);
    }
    // Whatever the doctor prints as a problem, its exit code admits.
    EXPECT_EQ(ReportExitCode(results),
              std::string(c.statuses).find('!') == std::string::npos ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DoctorChecks,
    ::testing::Values(
        DoctorCase{"Healthy", [](DoctorFacts&) {}, "+++++", 4,
                   "серийный номер 16001234, тип K64_r2, версия прошивки 000.014"},
        DoctorCase{"MissingListsUsbPorts",
                   [](DoctorFacts& f) {
                       NoNode(f);
                       f.usbPorts = {{"/dev/ttyACM1", *f.usb}};
                   },
                   "!--+-", 0, "/dev/ttyACM1  USB 0483:5740 QF K64 GSM, серийный 160012"},
        DoctorCase{"MissingWithBrlttyRunning",
                   [](DoctorFacts& f) {
                       NoNode(f);
                       f.running = {{700, "brltty"}};
                   },
                   "!--+-", 0, "sudo apt remove brltty"},
        DoctorCase{"NotACharacterDevice",
                   [](DoctorFacts& f) {
                       NoNode(f);
                       f.node = {"passwd", true, false, 0644, 0, 0, "root", 0, 0};
                   },
                   "!--+-", 0, "не порт устройства"},
        DoctorCase{"NotInGroup",
                   [](DoctorFacts& f) {
                       f.user.session = f.user.listed = {kUser};
                       NoAccess(f);
                   },
                   "+!++!", 1,
                   "sudo usermod -aG dialout anna\nзатем выйдите из системы и войдите снова"},
        DoctorCase{"AddedButSameSession",
                   [](DoctorFacts& f) {
                       f.user.session = {kUser};
                       NoAccess(f);
                   },
                   "+!++!", 1, "newgrp dialout"},
        DoctorCase{"GroupMayNotWrite",
                   [](DoctorFacts& f) {
                       f.node.mode = 0640;
                       NoAccess(f);
                   },
                   "+!++!", 1, "ATTRS{idVendor}==\"0483\", ATTRS{idProduct}==\"5740\""},
        DoctorCase{"OthersPseudoTerminal",
                   [](DoctorFacts& f) {
                       f.node = {"3", true, true, 0600, 0, 0, "root", 136, 3};
                       NoAccess(f);
                   },
                   "+!++!", 1, "от его имени"},
        DoctorCase{
            "OwnNode",
            [](DoctorFacts& f) { f.node = {"3", true, true, 0600, kUser, 5, "tty", 136, 3}; },
            "+++++", 1, "принадлежит вам"},
        DoctorCase{"Root",
                   [](DoctorFacts& f) {
                       f.user = {0, "root", {0}, {0}};
                   },
                   "+++++", 2, "не занят."},
        DoctorCase{"OpenToAll",
                   [](DoctorFacts& f) {
                       f.node.mode = 0666;
                       f.user.session = {kUser};
                   },
                   "+++++", 1, "открыт всем"},
        DoctorCase{"ModemManagerHoldsIt",
                   [](DoctorFacts& f) {
                       f.holders = f.running = {{812, "ModemManager"}};
                       f.unit.idResult = kPortNotOpened;
                   },
                   "++!!!", 2, "процесс 812 (ModemManager)"},
        DoctorCase{"ModemManagerFixNamesTheRule",
                   [](DoctorFacts& f) {
                       f.running = {{812, "ModemManager"}};
                   },
                   "+++!+", 3, "ENV{ID_MM_DEVICE_IGNORE}=\"1\""},
        DoctorCase{"ModemManagerWithoutUsbIds",
                   [](DoctorFacts& f) {
                       f.running = {{812, "ModemManager"}};
                       f.usb.reset();
                   },
                   "+++!+", 3, "SUBSYSTEM==\"tty\", KERNEL==\"ttyACM0\", ENV"},
        DoctorCase{"NodeNameNeverPastedIntoTheCommand",
                   [](DoctorFacts& f) {
                       f.running = {{812, "ModemManager"}};
                       f.usb.reset();
                       f.node.name = "tty'$(reboot)'";
                   },
                   "+++!+", 3, "KERNEL==\"ИМЯ_ПОРТА\""},
        DoctorCase{"ModemManagerIgnoresMarkedPort",
                   [](DoctorFacts& f) {
                       f.running = {{812, "ModemManager"}};
                       f.udev = {{"ID_MM_DEVICE_IGNORE", "1"}};
                   },
                   "+++++", 3, "помечен"},
        DoctorCase{"ModemManagerAndPseudoTerminal",
                   [](DoctorFacts& f) {
                       f.running = {{812, "ModemManager"}};
                       f.node.major = 136;
                   },
                   "+++++", 3, "псевдотерминалы"},
        DoctorCase{"HolderNameEscaped",
                   [](DoctorFacts& f) {
                       f.holders = {{4242, "mini\x1b[2Jcom"}};
                   },
                   "++!++", 2, "mini\\x1B[2Jcom или завершите процесс: kill 4242"},
        DoctorCase{"LockFileNotAFile",
                   [](DoctorFacts& f) {
                       f.lock = {"/run/lock/LCK..ttyACM0", true, 0, "", false};
                       NoAccess(f);
                   },
                   "++!+!", 2,
                   "Файл блокировки /run/lock/LCK..ttyACM0 не является обычным файлом."},
        DoctorCase{"LockNamesUnseenProcess",
                   [](DoctorFacts& f) {
                       f.lock = {"/run/lock/LCK..ttyACM0", false, 1, "systemd", false};
                       NoAccess(f);
                   },
                   "++!+!", 2, "удалите файл: sudo rm '/run/lock/LCK..ttyACM0'"},
        DoctorCase{"LockPathQuotedForTheShell",
                   [](DoctorFacts& f) {
                       f.lock = {"/run/lock/LCK..tty'x", false, 1, "systemd", false};
                       NoAccess(f);
                   },
                   "++!+!", 2, "sudo rm '/run/lock/LCK..tty'\\''x'"},
        DoctorCase{"LockHolderBetweenExchanges",
                   [](DoctorFacts& f) {
                       f.lock = {"/run/lock/LCK..ttyACM0", false, 4242, "k64ctl", true};
                       NoAccess(f);
                   },
                   "++!+!", 2, "процесс 4242 (k64ctl)"},
        DoctorCase{"BrlttyHolds",
                   [](DoctorFacts& f) {
                       f.holders = {{700, "brltty"}};
                   },
                   "++!++", 2, "sudo apt remove brltty"},
        DoctorCase{"ExclusiveFlagLeftOnUnit",
                   [](DoctorFacts& f) {
                       NoAccess(f);
                       f.openFailure.kind = quon::io::PortFailure::Kind::kExclusiveFlag;
                   },
                   "++!+!", 2, "Переподключите кабель USB блока: флаг снимется вместе с портом."},
        DoctorCase{"ExclusiveFlagLeftOnPseudoTerminal",
                   [](DoctorFacts& f) {
                       NoAccess(f);
                       f.node.major = 136;
                       f.openFailure.kind = quon::io::PortFailure::Kind::kExclusiveFlag;
                   },
                   "++!+!", 2,
                   "флаг монопольного доступа остался от прерванной программы.\nПерезапустите "
                   "программу на другом конце псевдотерминала"},
        DoctorCase{"NoReply", [](DoctorFacts& f) { f.unit.idResult = kNoReply; }, "++++!", 4,
                   "нет ответа на запрос серийного номера за 4 с"},
        DoctorCase{"BusyWithoutVisibleHolder",
                   [](DoctorFacts& f) { f.unit.idResult = kPortNotOpened; }, "++++!", 4,
                   "закройте программы"},
        DoctorCase{"VersionUnreadable", [](DoctorFacts& f) { f.unit.versionResult = kBadReply; },
                   "++++!", 4, "ответ на запрос версии не разобран"}),
    [](const ::testing::TestParamInfo<DoctorCase>& info) { return info.param.name; });

// Windows: a numbered port that exists or not, what opening it said, the unit.
struct WindowsCase {
    const char* name;
    std::function<void(WindowsFacts&)> change;
    const char* statuses;
    int check;
    const char* says;
};

void PrintTo(const WindowsCase& c, std::ostream* os) { *os << c.name; }

class WindowsChecks : public ::testing::TestWithParam<WindowsCase> {};

TEST_P(WindowsChecks, ReportEachFindingWithItsFix)
{
    const WindowsCase& c = GetParam();
    WindowsFacts facts{
        "COM7", true, {"COM3", "COM7"}, {}, {kOk, 16001234, kOk, "K64_r2", "000.014"}};
    c.change(facts);
    ExpectReport(RunWindowsChecks(facts), c.statuses, c.check, c.says);
}

using quon::io::PortFailure;
INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsChecks,
    ::testing::Values(WindowsCase{"Healthy", [](WindowsFacts&) {}, "+++", 2,
                                  "серийный номер 16001234"},
                      WindowsCase{"MissingListsThePorts",
                                  [](WindowsFacts& f) {
                                      f.exists = false;
                                      f.present = {"COM3", "COM9"};
                                      f.unit = {};
                                  },
                                  "!--", 0, "Есть порты: COM3, COM9.\nУкажите порт блока"},
                      WindowsCase{"NoPortsAtAll",
                                  [](WindowsFacts& f) {
                                      f.exists = false;
                                      f.present.clear();
                                      f.unit = {};
                                  },
                                  "!--", 0, "«Порты (COM и LPT)»"},
                      WindowsCase{"HeldByAnotherProgram",
                                  [](WindowsFacts& f) {
                                      f.openFailure = PortFailure::Of(PortFailure::Kind::kHeld, 5);
                                      f.unit.idResult = kPortNotOpened;
                                  },
                                  "+!!", 1, "другое окно k64tool"},
                      WindowsCase{"SystemRefusal",
                                  [](WindowsFacts& f) {
                                      f.openFailure =
                                          PortFailure::Of(PortFailure::Kind::kSystem, 31);
                                      f.openFailure.systemText = "Device\x1b[2J failed";
                                      f.unit.idResult = kPortNotOpened;
                                  },
                                  "+!!", 1, "Порт не открывается: Device\\x1B[2J failed (код 31)."},
                      WindowsCase{"Silent", [](WindowsFacts& f) { f.unit.idResult = kNoReply; },
                                  "++!", 2, "нет ответа на запрос серийного номера"}),
    [](const ::testing::TestParamInfo<WindowsCase>& info) { return info.param.name; });

}  // namespace
}  // namespace k64::service
