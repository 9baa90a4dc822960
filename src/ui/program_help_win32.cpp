#include "ui/program_help.h"

#include <string>

#include <windows.h>

namespace k64::ui {

const char* const kProgramHelp =
    "Использование: k64tool.exe [ПАРАМЕТРЫ Qt]\n"
    "\n"
    "Настройка и обслуживание блока K64: поиск устройства на COM-портах, серийный\n"
    "номер и версия прошивки, чтение, правка, сохранение и запись настроек, обновление\n"
    "прошивки и голосовых сообщений, диагностика. Блок подключается по USB и виден\n"
    "как COM-порт (например, COM5). Порт выбирается в окне программы и запоминается\n"
    "в реестре: HKEY_LOCAL_MACHINE\\SOFTWARE\\QF\\TB_USB_PORT, значение Port.\n"
    "\n"
    "Параметры:\n"
    "  -h, --help    эта справка\n"
    "  --version     версия программы, ее прошивка и звук, лицензия\n"
    "\n"
    "Переменная окружения K64_HISTORY_DIR: папка истории настроек вместо\n"
    "%LOCALAPPDATA%\\k64\\history.\n"
    "\n"
    "Работа с флешки: если рядом с k64tool.exe лежит файл k64-portable.ini, порт\n"
    "хранится в нем, а история настроек в папке history рядом с программой; реестр и\n"
    "профиль пользователя не меняются.\n"
    "\n"
    "Руководство техника: клавиша F1 в любом окне программы.\n"
    "Те же действия из командной строки: k64ctl.exe.\n";

void PrintProgramAnswer(const std::string& text)
{
    // A window program gets no console of its own: typed in a command prompt, the answer goes
    // to that prompt's console, in UTF-16 so that its code page does not matter; redirected, to
    // the file or pipe as UTF-8.
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS))
        out = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              size);
        DWORD written = 0;
        ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace k64::ui
