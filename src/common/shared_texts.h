#pragma once
// Message box texts that the windows, the update transfers and k64ctl all show, kept once so the
// three cannot drift apart.

#include <cstddef>
#include <string>

namespace k64::texts {

// Captions.
inline constexpr const char* kError = "Ошибка";
inline constexpr const char* kAttention = "Внимание";
inline constexpr const char* kMessage = "Сообщение";
inline constexpr const char* kLoadImpossible = "Загрузка не возможна";
// The search for the unit: its caption when found, its text when not.
inline constexpr const char* kDeviceFound = "Устройство найдено";
inline constexpr const char* kDeviceNotFound = "Устройство не найдено";

// A request that failed. The settings read and the serial number say it with a full stop,
// the other actions without.
inline constexpr const char* kDeviceBusyStop = "Устройство не подключено или занято.";
inline constexpr const char* kDeviceBusy = "Устройство не подключено или занято";

inline constexpr const char* kSettingsWritten = "Настройки записаны.";
// The settings read back after a write: the same as were sent, other values, or none.
inline constexpr const char* kVerified = "Проверено: устройство хранит записанные настройки.";
inline constexpr const char* kReadBackDiffers =
    "Проверка не пройдена, устройство хранит другие значения:";
inline constexpr const char* kReadBackSilent =
    "Проверка не пройдена: устройство не вернуло настройки.";
// The settings a firmware update changed were written back.
inline constexpr const char* kSettingsRestored = "Настройки восстановлены.";

// Why the unit's settings could not be kept before a change, and the question that follows.
inline constexpr const char* kBackupUnitSilent =
    "Устройство не передало свои настройки, резервная копия не сделана.";
inline std::string BackupNotStored(const std::string& why)
{
    return why + ".\nРезервная копия настроек не сделана.";
}
inline constexpr const char* kContinueWithoutBackup = "Продолжить без резервной копии?";

// The Russian noun form that goes with `count`: 1, 21 one; 2-4, 22-24 few; 0, 5-20, 25 many.
inline const char* PluralForm(std::size_t count, const char* one, const char* few, const char* many)
{
    const std::size_t tens = count % 100;
    const std::size_t units = count % 10;
    if (tens >= 11 && tens <= 14)
        return many;
    if (units == 1)
        return one;
    return units >= 2 && units <= 4 ? few : many;
}

// How many of the unit's settings a firmware update changed.
inline std::string ChangedValues(std::size_t count)
{
    return "Обновление изменило " + std::to_string(count) + " " +
           PluralForm(count, "значение", "значения", "значений") + " настроек.";
}

// The unit's version as the main window logs it.
inline constexpr const char* kLogType = "Тип устройства   : ";
inline constexpr const char* kLogVersion = "Версия прошивки : ";

// Settings that one frame cannot carry; nothing was sent.
inline std::string SettingsTooLong(std::size_t length, std::size_t limit)
{
    return "Настройки не помещаются в одну посылку: " + std::to_string(length) +
           " байт, допустимо не более " + std::to_string(limit) + ". Ничего не отправлено.";
}

}  // namespace k64::texts
