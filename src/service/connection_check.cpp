#include "connection_check.h"

#include "port_failure_text.h"
#include "shown_text.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace k64::service {
namespace {

constexpr const char* kModemManager = "ModemManager";
constexpr const char* kBrltty = "brltty";

bool Contains(const std::vector<unsigned>& ids, unsigned id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool Running(const DoctorFacts& facts, const std::string& name)
{
    return std::any_of(facts.running.begin(), facts.running.end(),
                       [&](const ProcessInfo& p) { return p.name == name; });
}

bool NodeUsable(const DoctorFacts& facts)
{
    return facts.node.exists && facts.node.characterDevice;
}

std::string UsbText(const UsbDetails& usb)
{
    std::string text = "USB " + usb.vendorId + ":" + usb.productId;
    for (const std::string* part : {&usb.manufacturer, &usb.product})
        if (!part->empty())
            text += " " + EscapedName(*part);
    if (!usb.serial.empty())
        text += ", серийный " + EscapedName(usb.serial);
    return text;
}

std::string GroupText(const DeviceNode& node)
{
    return node.groupName.empty() ? std::to_string(node.groupId) : EscapedName(node.groupName);
}

bool IsPseudoTerminal(const DeviceNode& node)
{
    return quon::io::IsPseudoTerminalMajor(node.major);
}

// A name that can stand in the rule as it is: nothing that the shell or udev would read.
bool PlainName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
}

// The udev rule that gives the port to the dialout group and keeps ModemManager off it, as
// commands to run. A USB unit is matched by its ids, which survive a new device number.
std::string UdevRuleFix(const DoctorFacts& facts)
{
    const std::string& name = facts.node.name;
    const std::string match =
        facts.usb ? "ATTRS{idVendor}==\"" + facts.usb->vendorId + "\", ATTRS{idProduct}==\"" +
                        facts.usb->productId + "\""
                  : "KERNEL==\"" + (PlainName(name) ? name : std::string("ИМЯ_ПОРТА")) + "\"";
    return "echo 'SUBSYSTEM==\"tty\", " + match +
           ", ENV{ID_MM_DEVICE_IGNORE}=\"1\", GROUP=\"dialout\", MODE=\"0660\"' | "
           "sudo tee /etc/udev/rules.d/70-k64.rules\n"
           "sudo udevadm control --reload && sudo udevadm trigger";
}

CheckResult CheckNode(const DoctorFacts& facts)
{
    const std::string port = EscapedName(facts.port);
    if (!facts.node.exists) {
        std::string fix;
        if (facts.usbPorts.empty()) {
            fix =
                "Подключите блок кабелем USB: его порт появится как /dev/ttyACM0 (или со следующим "
                "номером).";
            if (Running(facts, kBrltty))
                fix += "\nЗапущен brltty: он забирает себе USB-преобразователи последовательного "
                       "порта. Если дисплея Брайля нет: sudo apt remove brltty";
        } else {
            fix = "Подключены USB-порты:";
            for (const auto& [name, usb] : facts.usbPorts)
                fix += "\n  " + EscapedName(name) + "  " + UsbText(usb);
            fix += "\nУкажите порт блока: k64ctl doctor --port ИМЯ";
        }
        return {CheckStatus::kProblem, "Порт " + port + " не найден.", fix};
    }
    if (!facts.node.characterDevice)
        return {CheckStatus::kProblem, port + " — не порт устройства, а файл или каталог.",
                "Укажите порт блока; k64ctl ports перечисляет порты."};
    return {CheckStatus::kOk,
            "Порт " + port + ": символьное устройство" +
                (facts.usb ? ", " + UsbText(*facts.usb) : "") + ".",
            ""};
}

CheckResult CheckAccess(const DoctorFacts& facts)
{
    const DeviceNode& node = facts.node;
    const UserGroups& user = facts.user;
    const std::string mode = " (права " + ModeText(node.mode) + ")";
    const std::string group = GroupText(node);
    if (user.userId == 0)
        return {CheckStatus::kOk, "Доступ: вы root.", ""};
    if (node.ownerId == user.userId && (node.mode & 0600) == 0600)
        return {CheckStatus::kOk, "Доступ: порт принадлежит вам" + mode + ".", ""};
    if ((node.mode & 0006) == 0006)
        return {CheckStatus::kOk, "Доступ: порт открыт всем" + mode + ".", ""};
    if ((node.mode & 0060) != 0060) {
        // A pseudo-terminal belongs to the program that made it; udev has no say there.
        return {
            CheckStatus::kProblem,
            "Доступ: права порта " + ModeText(node.mode) + " не дают группе " + group +
                " читать и писать.",
            IsPseudoTerminal(node)
                ? "Псевдотерминал принадлежит другому пользователю: запустите k64ctl от его имени."
                : UdevRuleFix(facts)};
    }
    const std::string userName = user.userName.empty() ? "\"$USER\"" : EscapedName(user.userName);
    if (Contains(user.session, node.groupId))
        return {CheckStatus::kOk, "Доступ: порт у группы " + group + mode + ", вы в ней.", ""};
    if (Contains(user.listed, node.groupId))
        return {CheckStatus::kProblem,
                "Доступ: порт у группы " + group + mode +
                    "; вы в нее добавлены, но этот сеанс "
                    "начат раньше.",
                "Выйдите из системы и войдите снова: группы сеанса задаются при входе "
                "(в этом терминале до тех пор: newgrp " +
                    group + ")."};
    return {CheckStatus::kProblem, "Доступ: порт у группы " + group + mode + ", а вас в ней нет.",
            "sudo usermod -aG " + group + " " + userName +
                "\nзатем выйдите из системы и войдите снова: группы сеанса задаются при входе."};
}

// Only a process seen with the port open is ever named for killing.
std::string HolderFix(const ProcessInfo& holder, const DoctorFacts& facts)
{
    if (holder.name == kModemManager)
        return "ModemManager опрашивает порт как модем. Пометьте порт, чтобы он его не трогал:\n" +
               UdevRuleFix(facts) +
               "\nили, если модемы не нужны: sudo systemctl disable --now ModemManager";
    if (holder.name == kBrltty)
        return "brltty (дисплеи Брайля) забирает USB-преобразователи. Если дисплея Брайля нет: "
               "sudo apt remove brltty";
    return "Закройте " + EscapedName(holder.name) + " или завершите процесс: kill " +
           std::to_string(holder.pid);
}

// A path as one shell word for a command the user pastes: a quote inside it cannot end the word.
std::string ShellQuoted(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A lock file that keeps everybody off the port, or names a process whose descriptors cannot
// be seen from here; empty when the lock file is in order.
std::optional<CheckResult> CheckLockFile(const DoctorFacts& facts)
{
    const quon::io::PortLockView& lock = facts.lock;
    const std::string path = EscapedName(lock.path);
    if (lock.notRegularFile)
        return CheckResult{CheckStatus::kProblem,
                           "Файл блокировки " + path + " не является обычным файлом.",
                           "Никакая программа не может занять порт, пока он там. Проверьте, "
                           "что это, и удалите: sudo rm -r " +
                               ShellQuoted(path)};
    if (lock.pid == 0 || lock.seenOpen)
        return std::nullopt;
    const std::string& name = lock.processName;
    return CheckResult{
        CheckStatus::kProblem,
        "Файл блокировки " + path + " называет процесс " + std::to_string(lock.pid) +
            (name.empty() ? "" : " (" + EscapedName(name) + ")") +
            ", но открыт ли им порт, отсюда не видно.",
        "Если этот процесс не работает с портом, файл остался от прежней программы; проверьте "
        "от root (sudo k64ctl doctor) или удалите файл: sudo rm " +
            ShellQuoted(path)};
}

CheckResult CheckHolders(const DoctorFacts& facts)
{
    if (std::optional<CheckResult> lock = CheckLockFile(facts))
        return *std::move(lock);
    std::vector<ProcessInfo> holders = facts.holders;
    // Between two exchanges a holder has the port only through its lock.
    const ProcessInfo locker{facts.lock.pid, facts.lock.processName};
    if (facts.lock.seenOpen && std::find(holders.begin(), holders.end(), locker) == holders.end())
        holders.push_back(locker);
    if (holders.empty() && facts.openFailure.kind == quon::io::PortFailure::Kind::kExclusiveFlag) {
        return {CheckStatus::kProblem,
                "Порт закрыт для других программ, но программы, которая его держит, не видно: "
                "флаг монопольного доступа остался от прерванной программы.",
                IsPseudoTerminal(facts.node)
                    ? "Перезапустите программу на другом конце псевдотерминала (ту, что его "
                      "создала): флаг снимется вместе с ним."
                    : "Переподключите кабель USB блока: флаг снимется вместе с портом."};
    }
    if (holders.empty()) {
        return {CheckStatus::kOk,
                std::string("Порт никем не занят") +
                    (facts.user.userId != 0 ? " (процессы других пользователей без root не видны)."
                                            : "."),
                ""};
    }
    std::string found = "Порт занят:";
    std::string fix;
    for (const ProcessInfo& holder : holders) {
        found += (&holder == &holders.front() ? " процесс " : ", процесс ") +
                 std::to_string(holder.pid) + " (" + EscapedName(holder.name) + ")";
        fix += (fix.empty() ? "" : "\n") + HolderFix(holder, facts);
    }
    return {CheckStatus::kProblem, found + ".", fix};
}

CheckResult CheckModemManager(const DoctorFacts& facts)
{
    if (!Running(facts, kModemManager))
        return {CheckStatus::kOk, "ModemManager не запущен.", ""};
    if (!NodeUsable(facts))
        return {CheckStatus::kSkipped,
                "ModemManager запущен; пометку порта не проверить: порта нет.", ""};
    if (IsPseudoTerminal(facts.node))
        return {CheckStatus::kOk, "ModemManager запущен, но псевдотерминалы он не опрашивает.", ""};
    const auto ignore = facts.udev.find("ID_MM_DEVICE_IGNORE");
    if (ignore != facts.udev.end() && ignore->second == "1")
        return {CheckStatus::kOk,
                "ModemManager запущен, порт помечен ID_MM_DEVICE_IGNORE: он его не трогает.", ""};
    return {CheckStatus::kProblem,
            "ModemManager запущен, а порт не помечен ID_MM_DEVICE_IGNORE: ModemManager будет "
            "опрашивать его как модем.",
            UdevRuleFix(facts) +
                "\nили, если модемы не нужны: sudo systemctl disable --now ModemManager"};
}

std::string FailureText(int result, const char* request)
{
    switch (result) {
    case kPortNotOpened: return std::string("порт не открывается для запроса ") + request;
    case kNoReply:
        return std::string("нет ответа на запрос ") + request + " за " +
               std::to_string(
                   std::chrono::duration_cast<std::chrono::seconds>(protocol::kReplyTimeout)
                       .count()) +
               " с";
    default: return std::string("ответ на запрос ") + request + " не разобран";
    }
}

CheckResult CheckUnit(const UnitAnswer& unit, bool portUsable, bool earlierProblem)
{
    // Frames are never written into something that is no port.
    if (!portUsable)
        return {CheckStatus::kSkipped, "Устройство: не опрашивалось, нет порта.", ""};
    if (UnitAnswered(unit)) {
        return {CheckStatus::kOk,
                "Устройство ответило: серийный номер " +
                    std::to_string(static_cast<std::int32_t>(unit.id)) + ", тип " +
                    ForTerminal(unit.type) + ", версия прошивки " + ForTerminal(unit.version) + ".",
                ""};
    }
    const bool idFailed = !Succeeded(unit.idResult);
    const int result = idFailed ? unit.idResult : unit.versionResult;
    std::string fix;
    if (earlierProblem)
        fix = "Сначала устраните неполадки выше.";
    else if (result == kPortNotOpened)
        fix =
            "Порт занят другой программой или блок отключился; закройте программы, которые работают "
            "с портом, и повторите.";
    else
        fix =
            "Проверьте, что на этом порту блок K64 (k64ctl ports, k64ctl find), что он включен, и "
            "переподключите кабель USB.";
    return {CheckStatus::kProblem,
            "Устройство не ответило: " +
                FailureText(result, idFailed ? "серийного номера" : "версии") + ".",
            fix};
}

}  // namespace

UnitAnswer AskUnit(TDevice& device)
{
    UnitAnswer unit;
    unit.idResult = device.GetId(&unit.id);
    std::string text;
    if (Succeeded(unit.idResult) && Succeeded(unit.versionResult = device.GetVersion(&text))) {
        VersionInfo info{};
        device.ParseVersion(&info, text);
        unit.type.assign(info.Type, ::strnlen(info.Type, sizeof info.Type));
        unit.version.assign(info.Version, ::strnlen(info.Version, sizeof info.Version));
    }
    return unit;
}

bool UnitAnswered(const UnitAnswer& unit)
{
    return Succeeded(unit.idResult) && Succeeded(unit.versionResult);
}

namespace {
const char* Mark(CheckStatus status)
{
    switch (status) {
    case CheckStatus::kOk: return "[ок] ";
    case CheckStatus::kProblem: return "[!!] ";
    case CheckStatus::kSkipped: break;
    }
    return "[--] ";
}
}  // namespace

std::vector<std::string> ReportLines(const std::vector<CheckResult>& results)
{
    std::vector<std::string> lines;
    for (const CheckResult& check : results) {
        lines.push_back(Mark(check.status) + check.found);
        for (std::size_t start = 0; start < check.fix.size();) {
            const std::size_t end = std::min(check.fix.find('\n', start), check.fix.size());
            lines.push_back("     " + check.fix.substr(start, end - start));
            start = end + 1;
        }
    }
    return lines;
}

int ReportExitCode(const std::vector<CheckResult>& results)
{
    // The unit check is a problem whenever the unit did not answer.
    return std::any_of(results.begin(), results.end(),
                       [](const CheckResult& r) { return r.status == CheckStatus::kProblem; })
               ? 1
               : 0;
}

ConnectionReport MakeReport(const std::vector<CheckResult>& results)
{
    ConnectionReport report{ReportLines(results), ReportExitCode(results), {}};
    const auto problem = std::find_if(results.begin(), results.end(), [](const CheckResult& r) {
        return r.status == CheckStatus::kProblem;
    });
    if (problem != results.end())
        report.problem = problem->found;
    return report;
}

std::vector<CheckResult> RunDoctorChecks(const DoctorFacts& facts)
{
    std::vector<CheckResult> results{CheckNode(facts)};
    if (NodeUsable(facts)) {
        results.push_back(CheckAccess(facts));
        results.push_back(CheckHolders(facts));
    } else {
        results.push_back({CheckStatus::kSkipped, "Доступ: не проверялся, нет порта.", ""});
        results.push_back(
            {CheckStatus::kSkipped, "Другие программы на порту: не проверялись, нет порта.", ""});
    }
    results.push_back(CheckModemManager(facts));
    const bool earlierProblem =
        std::any_of(results.begin(), results.end(),
                    [](const CheckResult& r) { return r.status == CheckStatus::kProblem; });
    results.push_back(CheckUnit(facts.unit, NodeUsable(facts), earlierProblem));
    return results;
}

std::vector<CheckResult> RunWindowsChecks(const WindowsFacts& facts)
{
    using Kind = quon::io::PortFailure::Kind;
    const std::string port = EscapedName(facts.port);
    std::vector<CheckResult> results;
    if (facts.exists) {
        results.push_back({CheckStatus::kOk, "Порт " + port + " есть в системе.", ""});
    } else if (facts.present.empty()) {
        results.push_back({CheckStatus::kProblem, "Порт " + port + " не найден, COM-портов нет.",
                           "Подключите блок кабелем USB: его порт появится в диспетчере "
                           "устройств, в разделе «Порты (COM и LPT)»."});
    } else {
        std::string ports;
        for (const std::string& name : facts.present)
            ports += (ports.empty() ? "" : ", ") + EscapedName(name);
        results.push_back({CheckStatus::kProblem, "Порт " + port + " не найден.",
                           "Есть порты: " + ports +
                               ".\nУкажите порт блока: k64ctl doctor --port ИМЯ "
                               "(k64ctl find ищет блок на всех)."});
    }

    const quon::io::PortFailure& failure = facts.openFailure;
    if (!facts.exists)
        results.push_back(
            {CheckStatus::kSkipped, "Другие программы на порту: не проверялись, нет порта.", ""});
    else if (failure.kind == Kind::kHeld)
        results.push_back({CheckStatus::kProblem, "Порт занят другой программой.",
                           "Закройте программу, которая с ним работает (терминал, другое окно "
                           "k64tool или k64ctl), и повторите."});
    else if (failure)
        results.push_back(
            {CheckStatus::kProblem,
             "Порт не открывается" +
                 (failure.systemText.empty() ? std::string()
                                             : ": " + EscapedName(failure.systemText)) +
                 " (код " + std::to_string(failure.error) + ").",
             "Переподключите кабель USB; если не помогло, удалите порт в диспетчере "
             "устройств и подключите блок снова."});
    else
        results.push_back(
            {CheckStatus::kOk, "Порт открывается, другие программы его не держат.", ""});

    const bool earlierProblem = results.front().status == CheckStatus::kProblem ||
                                results.back().status == CheckStatus::kProblem;
    results.push_back(CheckUnit(facts.unit, facts.exists, earlierProblem));
    return results;
}

}  // namespace k64::service
