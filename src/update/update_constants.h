#pragma once
// Fixed numbers and texts of the firmware and sound transfers. The texts are shown to the user
// byte for byte as written here.

#include "common/shared_texts.h"
#include "device/protocol.h"

#include <chrono>
#include <cstdint>

namespace k64 {

// The largest data part of one block request, for firmware and sound alike.
inline constexpr int UpdateBlockSize = protocol::kUpdateBlockSize;
static_assert(UpdateBlockSize == 1024);

namespace update {

// Block pacing of the main window's timers.
inline constexpr std::chrono::milliseconds kTimer1Interval{1};   // firmware
inline constexpr std::chrono::milliseconds kTimer2Interval{10};  // sound

// Both transfers put an 8-byte head in front of the payload; block offsets count from it.
inline constexpr int kHeadSize = 8;
inline constexpr unsigned char kFirmwareHeadByte = 0xFF;

// Where the firmware image keeps its version record, and the record's field sizes.
inline constexpr int kImageVersionOffset = 256;
inline constexpr int kVersionInfoSize = 96;

// The largest image or container the transfers accept: offsets and sizes travel as signed
// 32-bit values and the sizes must survive adding the head.
inline constexpr std::int64_t kMaxPayloadSize = 0x7FFFFFFF - kHeadSize;

namespace text {
inline constexpr const char* kUpdateError = "Ошибка обновления.";

inline constexpr const char* kFirmwareQuestion =
    "После обновления возможно произойдет сброс настроек.\n"
    "Рекомендуется сохранить текущие настройки. (Кнопка \"Сохранить в файл\").\n"
    "Начать обновление ?";
inline constexpr const char* kNotOlderQuestion =
    "Устройство уже содержит новейшую или равную версию.\n"
    "                         Обновлять или нет?";
inline constexpr const char* kDeviceBusyCancelled =
    "Устройство не подключено или занято.\nОбновление отменено.";
inline constexpr const char* kTransferError = "Ошибка при передачи данных";
inline constexpr const char* kNoCrcConfirmation = "Нет подтвеждения CRC";
inline constexpr const char* kSoundWritten = "Данные успешно записаны.";
inline constexpr const char* kSoundQuestion =
    "Произвести загрузку звуковых данных?\nСтарые данные будут удалены безвозвратно!";

inline constexpr const char* kLogPreparingFirmware = "Подготовка к обновлению, ждите ...";
inline constexpr const char* kLogLoadingFirmware = "Загрузка новой версии программы ...";
inline constexpr const char* kLogFinished = "Загрузка закончена.";
inline constexpr const char* kLogCancelled = "Обновление отменено.";
inline constexpr const char* kLogPreparingSound = "Подготовка к записи, ждите...";
inline constexpr const char* kLogWritingSound = "Идет запись звуковых данных...";
// "Стоп" leaves the unit's sound area erased by the prepare request: it asks first and says so.
inline constexpr const char* kStopSoundQuestion =
    "Прервать обновление? Голосовые сообщения устройства будут недоступны до следующего "
    "обновления.";
inline constexpr const char* kLogSoundErased =
    "Голосовые сообщения устройства стерты и недоступны до следующего обновления звука.";

inline constexpr const char* kTitleSeparator = "     Версия: ";
inline constexpr const char* kFirmwareCaption = "Обновить прошивку до ";
inline constexpr const char* kSoundCaption = "Обновить звук до ";
inline constexpr const char* kStopCaption = "Стоп";
}  // namespace text

}  // namespace update
}  // namespace k64
