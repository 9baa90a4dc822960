; The Windows installer of the K64 service tool, made by scripts/package-windows, which passes
; VERSION, STAGE (the unpacked release), OUTFILE, ICON, LICENCE (the licence text with a byte-order
; mark), WIZARD and HEADER (the pages' pictures) and FILES (the uninstall list it wrote).
; For all users when the installing account may (an administrator), for this user alone
; otherwise; /S installs silently, /D=FOLDER chooses the folder, /PATH puts k64ctl on the PATH.
; An existing installation is found through its uninstall key: its folder is offered, and it is
; removed before the new one is put in, so there is only ever one. A 64-bit installer for a
; 64-bit program: it sees the 64-bit Program Files and registry without redirection.

Target amd64-unicode
SetCompressor /SOLID lzma
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh
!include WordFunc.nsh
${StrStr}

!define PRODUCT "K64 service tool"
!define PUBLISHER "K64 service tool developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\K64Tool"
; k64tool.exe holds this mutex while it runs.
!define RUNNING_MUTEX "Global\K64ToolRunning"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define CONSOLE "Командная строка K64"
!define GUIDE "Руководство"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel highest
ShowInstDetails nevershow
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${HEADER}"
!define MUI_HEADERIMAGE_UNBITMAP "${HEADER}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Программа настройки и обслуживания блока K64: поиск блока, \
серийный номер и версия прошивки, чтение, правка и запись настроек, обновление прошивки и \
голосовых сообщений, диагностика.$\r$\n$\r$\nЕсли программа уже установлена, она будет \
обновлена в той же папке. Закройте ее перед продолжением.$\r$\n$\r$\nНажмите «Далее»."
!define MUI_FINISHPAGE_RUN "$INSTDIR\k64tool.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\guide\index.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Открыть руководство"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Var Root      ; HKLM for all users, HKCU for this user
Var Previous  ; the folder of the installation found, empty when there is none

; Refuses to go on while the program runs: its files could not be replaced or removed. Asks again
; after the user closes it; silently it just stops.
!macro RefuseWhileRunning UN
Function ${UN}RefuseWhileRunning
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
        ${If} $0 == 0
            Return
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Программа ${PRODUCT} запущена. Закройте ее и нажмите «Повтор»." /SD IDCANCEL IDRETRY +2
        Abort
    ${Loop}
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."

; The folder of an installation in $Root's uninstall key, into $Previous.
!macro FindPrevious
    ${If} $Root == "HKLM"
        ReadRegStr $Previous HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${Else}
        ReadRegStr $Previous HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
    ${IfNot} ${FileExists} "$Previous\uninstall.exe"
        StrCpy $Previous ""
    ${EndIf}
!macroend

!macro WriteUninstallKey ROOT SIZE
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\k64tool.exe"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE}  ; KiB
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

Section "${PRODUCT}" SecMain
    SectionIn RO
    Call RefuseWhileRunning
    ; The installation there is taken away first, wherever it is: a version's files that the new
    ; one no longer has do not stay behind, and the uninstall list names one folder only.
    ${If} $Previous != ""
        ExecWait '"$Previous\uninstall.exe" /S _?=$Previous'
        Delete "$Previous\uninstall.exe"
        RMDir "$Previous"
    ${EndIf}
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\k64tool.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${GUIDE}.lnk" "$INSTDIR\guide\index.html"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${CONSOLE}.lnk" "$SYSDIR\cmd.exe" \
        '/K ""$INSTDIR\k64-console.cmd""' "$INSTDIR\k64ctl.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    ${If} $Root == "HKLM"
        !insertmacro WriteUninstallKey HKLM $0
    ${Else}
        !insertmacro WriteUninstallKey HKCU $0
    ${EndIf}
SectionEnd

Section /o "Добавить k64ctl в PATH" SecPath
    ${If} $Root == "HKLM"
        ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT}" "Path"
    ${Else}
        ReadRegStr $0 HKCU "Environment" "Path"
    ${EndIf}
    ; Only when it is not there yet, so that an upgrade does not add it twice.
    ${StrStr} $1 ";$0;" ";$INSTDIR;"
    ${If} $1 == ""
        ${If} $0 == ""
            StrCpy $0 "$INSTDIR"
        ${Else}
            StrCpy $0 "$0;$INSTDIR"
        ${EndIf}
        ${If} $Root == "HKLM"
            WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT}" "Path" "$0"
        ${Else}
            WriteRegExpandStr HKCU "Environment" "Path" "$0"
        ${EndIf}
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
    ${If} $Root == "HKLM"
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "K64AddedToPath" 1
    ${Else}
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "K64AddedToPath" 1
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "Программа, k64ctl для командной строки, руководство."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Команда k64ctl будет работать в любой командной строке, не только в «${CONSOLE}»."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        SetShellVarContext all
        StrCpy $Root "HKLM"
    ${Else}
        SetShellVarContext current
        StrCpy $Root "HKCU"
    ${EndIf}
    !insertmacro FindPrevious
    ; /D= fills $INSTDIR before this; otherwise the installation found keeps its folder.
    ${If} $INSTDIR == ""
        ${If} $Previous != ""
            StrCpy $INSTDIR $Previous
        ${ElseIf} $Root == "HKLM"
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${Else}
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
        ${EndIf}
    ${EndIf}
    ; On PATH when asked for (/PATH), or when the installation found had put it there.
    ${If} $Root == "HKLM"
        ReadRegDWORD $2 HKLM "${UNINSTALL_KEY}" "K64AddedToPath"
    ${Else}
        ReadRegDWORD $2 HKCU "${UNINSTALL_KEY}" "K64AddedToPath"
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PATH" $1
    ${IfNot} ${Errors}
        StrCpy $2 1
    ${EndIf}
    ${If} $2 == 1
        SectionSetFlags ${SecPath} ${SF_SELECTED}
    ${EndIf}
    Call RefuseWhileRunning
FunctionEnd

; The uninstaller serves the installation it sits in: for all users when the machine's key
; names its folder.
Function un.onInit
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        SetShellVarContext all
        StrCpy $Root "HKLM"
    ${Else}
        SetShellVarContext current
        StrCpy $Root "HKCU"
    ${EndIf}
    Call un.RefuseWhileRunning
FunctionEnd

; Only what the installer put there goes: the folder may have been one the user shares.
Section "Uninstall"
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${GUIDE}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${CONSOLE}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ${If} $Root == "HKLM"
        ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "K64AddedToPath"
        ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT}" "Path"
    ${Else}
        ReadRegDWORD $1 HKCU "${UNINSTALL_KEY}" "K64AddedToPath"
        ReadRegStr $0 HKCU "Environment" "Path"
    ${EndIf}
    ${If} $1 == 1
        ${un.WordReplace} "$0" ";$INSTDIR" "" "+" $0
        ${un.WordReplace} "$0" "$INSTDIR" "" "+" $0
        ${If} $Root == "HKLM"
            WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT}" "Path" "$0"
        ${Else}
            WriteRegExpandStr HKCU "Environment" "Path" "$0"
        ${EndIf}
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
    ${If} $Root == "HKLM"
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    ; Files the user put there (a settings file saved into the folder) are not the installer's
    ; to remove; the user is told that the folder stays.
    ${If} ${FileExists} "$INSTDIR\*.*"
        MessageBox MB_OK|MB_ICONINFORMATION "Папка $INSTDIR не удалена: в ней остались файлы, \
которые не ставила программа установки." /SD IDOK
    ${EndIf}
SectionEnd
