#pragma once
// Message box texts that the windows, the update transfers and k64ctl all show, kept once so the
// three cannot drift apart.

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

} // namespace k64::texts
