#pragma once
// Every text the three windows show, byte for byte, but those they share with k64ctl and the
// update transfers (common/shared_texts.h, namespace texts) and the transfers' own
// (update/update_constants.h).

#include "common/shared_texts.h"

namespace k64::ui::text {

// Main window.
inline constexpr const char* kPortGroup = " Порт подключения ";
inline constexpr const char* kPortHint = "Номер порта к которому подключено устройства";
inline constexpr const char* kFindPort = "Определить";
inline constexpr const char* kFindPortHint = "Сканирование портов и поиск устройства";
inline constexpr const char* kBlowHint = "Нажать для обновления прошивки";
inline constexpr const char* kRead = "Загрузить настройки из устройства";
inline constexpr const char* kOpenFile = "Открыть файл с настройками";
inline constexpr const char* kGetSerial = "Серийный номер";
inline constexpr const char* kGetVersion = "Версия ПО";
inline constexpr const char* kLogSerial = "Серийный номер устройства ";
// The stored port appeared in or went from the port list.
inline constexpr const char* kLogPortAppeared = "Подключено: ";
inline constexpr const char* kLogPortGone = "Отключено: ";
// Closing the window while a transfer runs; a stopped sound transfer leaves the unit mute.
inline constexpr const char* kCloseDuringUpdate = "Идет обновление. Прервать его?";
inline constexpr const char* kCloseDuringSound =
    "Идет обновление звука. Прервать его?\nГолосовые сообщения устройства будут недоступны до "
    "следующего обновления.";
// The settings a firmware update changed, offered back.
inline constexpr const char* kUpdateCaption = "Обновление прошивки";
inline constexpr const char* kRestoreQuestion = "Вернуть прежние настройки?";
inline constexpr const char* kLogSettingsKept = "Настройки устройства сохранены в истории: ";
// The unit gave its settings but not its id: its history entry is filed under "unknown".
inline constexpr const char* kLogSerialUnknown =
    "Серийный номер не получен: настройки сохранены в истории под именем «unknown»";
inline constexpr const char* kLogOldSettingsAt =
    "Прежние настройки можно открыть кнопкой «Открыть файл с настройками»: ";
inline constexpr const char* kCheckConnection = "Проверка подключения";
// The guide and the program's own particulars, from the log's context menu and F1.
inline constexpr const char* kGuideMenu = "Руководство";
inline constexpr const char* kAbout = "О программе";
inline constexpr const char* kGuideMissing =
    "Руководство не найдено: оно ставится вместе с программой, в папку guide.";
inline constexpr const char* kGuideNotOpened =
    "Не удалось открыть руководство: нет программы для просмотра страниц. Откройте файл сами: ";
// Follows the reason of a failed request in the log.
inline constexpr const char* kLookAtConnectionCheck =
    "; подробнее — «Проверка подключения» в меню журнала (правая кнопка мыши)";
inline constexpr const char* kDiagnosticDuringUpdate =
    "Идет обновление устройства.\nДиагностика будет доступна после его окончания.";

// Settings files, for opening and saving alike.
inline constexpr const char* kSettingsFilter = "текстовые файлы настроек (*.txt)";
inline constexpr const char* kSettingsSuffix = "txt";

// Parameter editor.
inline constexpr const char* kEditorCaption = "Редактор параметров";
inline constexpr const char* kEditorCaptionChanged = "Редактор параметров. Настройки изменены!";
// For a few seconds after a write that kept the unit's old settings first.
inline constexpr const char* kEditorCaptionKept =
    "Редактор параметров. Прежние настройки устройства сохранены в истории";
inline constexpr const char* kSaveMenu = "Записать в файл";
inline constexpr const char* kSendMenu = "Записать в устройство";
inline constexpr const char* kExitMenu = "Выйти";
inline constexpr const char* kParameterName = "Название параметра";
inline constexpr const char* kSmsGroup = "Формат SMS команды для изменения параметра";
inline constexpr const char* kSmsSample = "Set8026,UsetNumber2=+79272XXXXXX";
inline constexpr const char* kDescriptionGroup = "Описание параметра";
inline constexpr const char* kSendQuestion = "Записать настройки в устройство?";
inline constexpr const char* kCloseQuestion = "Настройки изменены, выйти без сохранения?";
inline constexpr const char* kSmsPrefix = "Set";
inline constexpr const char* kPinKey = "PinCod";
// Follows the typed text when it holds a character the unit's code page lacks.
inline constexpr const char* kNotRepresentable =
    " - содержит знаки, которые устройство не может сохранить";

// Diagnostic window.
inline constexpr const char* kDiagnosticCaption = "DiagnosticForm";
inline constexpr const char* kAxisPrefixes[3] = {"X = ", "Y = ", "Z = "};
inline constexpr const char* kSaveRecording = "Сохранить запись…";
inline constexpr const char* kRecordingFilter = "записи диагностики (*.csv)";
inline constexpr const char* kRecordingSuffix = "csv";

}  // namespace k64::ui::text
