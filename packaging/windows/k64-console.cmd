@echo off
rem A command prompt for k64ctl: the program's folder on PATH, the user's Documents as the
rem current folder (files saved by k64ctl land where the user may write).
chcp 65001 >nul
set "PATH=%~dp0;%PATH%"
if exist "%USERPROFILE%\Documents" (cd /d "%USERPROFILE%\Documents") else cd /d "%USERPROFILE%"
echo K64: k64ctl --help - список команд, k64ctl doctor - проверка подключения.
echo.
