#include "port_failure_text.h"

#include "shown_text.h"

namespace k64::service {

using Kind = quon::io::PortFailure::Kind;

std::string ModeText(unsigned mode)
{
    std::string text;
    for (int shift = 6; shift >= 0; shift -= 3) {
        text += (mode >> shift) & 4 ? 'r' : '-';
        text += (mode >> shift) & 2 ? 'w' : '-';
        text += (mode >> shift) & 1 ? 'x' : '-';
    }
    return text;
}

std::string PortFailureLine(const std::string& port, const quon::io::PortFailure& failure)
{
    const std::string name = EscapedName(port);
    std::string reason;
    switch (failure.kind) {
    case Kind::kNone: return {};
    case Kind::kMissing: reason = "Порт " + name + " не найден: блок не подключен"; break;
    case Kind::kPermissionDenied:
        reason = "Нет доступа к " + name + ": ";
        // Outside the port's group the group is the whole story; otherwise the owner and the
        // mode are.
        if (!failure.userInGroup && (failure.mode & 0060) == 0060)
            reason += "группа " + EscapedName(failure.groupName);
        else
            reason += "владелец " + EscapedName(failure.ownerName) + ", группа " +
                      EscapedName(failure.groupName) + ", права " + ModeText(failure.mode);
        break;
    case Kind::kHeld:
        reason = "Порт " + name + " занят ";
        if (failure.holderPid == 0)
            reason += "другой программой";
        else
            reason +=
                "процессом " + std::to_string(failure.holderPid) +
                (failure.holderName.empty() ? "" : " (" + EscapedName(failure.holderName) + ")");
        break;
    case Kind::kExclusiveFlag:
        reason = "Порт " + name +
                 " закрыт для других программ, но программы, которая его держит, не видно: "
                 "флаг монопольного доступа остался от прерванной программы; " +
                 (failure.pseudoTerminal
                      ? "его снимет перезапуск программы на другом конце псевдотерминала"
                      : "его снимет переподключение блока");
        break;
    case Kind::kNotTerminal: reason = name + " — не последовательный порт"; break;
    case Kind::kLockNotRegularFile:
        reason = "Файл блокировки " + EscapedName(failure.lockPath) + " не является обычным файлом";
        break;
    case Kind::kSystem:
        reason = "Порт " + name + " не открывается: " + EscapedName(failure.systemText);
        break;
    }
    return reason;
}

std::string SilenceLine(std::chrono::milliseconds waited)
{
    if (waited.count() <= 0)
        return {};
    const auto seconds = std::chrono::round<std::chrono::seconds>(waited).count();
    return "Устройство не ответило за " + std::to_string(seconds) + " с";
}

}  // namespace k64::service
