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

// A request that failed. The settings read and the serial number say it with a full stop,
// the other actions without.
inline constexpr const char* kDeviceBusyStop = "Устройство не подключено или занято.";
inline constexpr const char* kDeviceBusy = "Устройство не подключено или занято";

inline constexpr const char* kSettingsWritten = "Настройки записаны.";
// The settings a firmware update changed were written back.
inline constexpr const char* kSettingsRestored = "Настройки восстановлены.";

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
