; The Windows installer of the K64 service tool, made by scripts/package-windows, which passes
; VERSION, STAGE (the unpacked release), OUTFILE, ICON and FILES (the uninstall list it wrote).
; For all users when the installing account may (an administrator), for this user alone
; otherwise; /S installs silently, /D=FOLDER chooses the folder. A 64-bit installer for a 64-bit
; program: it sees the 64-bit Program Files and registry without redirection.

Target amd64-unicode
SetCompressor /SOLID lzma
!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "K64 service tool"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\K64Tool"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel highest
ShowInstDetails nevershow
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "K64 service tool developers"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© K64 service tool developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\k64tool.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Var Root  ; HKLM for all users, HKCU for this user

Function .onInit
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        SetShellVarContext all
        StrCpy $Root "HKLM"
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${EndIf}
    ${Else}
        SetShellVarContext current
        StrCpy $Root "HKCU"
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
        ${EndIf}
    ${EndIf}
FunctionEnd

!macro WriteUninstallKey ROOT
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "Publisher" "K64 service tool developers"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\k64tool.exe"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

Section "Install"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\k64tool.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
    ${If} $Root == "HKLM"
        !insertmacro WriteUninstallKey HKLM
    ${Else}
        !insertmacro WriteUninstallKey HKCU
    ${EndIf}
SectionEnd

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
FunctionEnd

; Only what the installer put there goes: the folder may have been one the user shares.
Section "Uninstall"
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ${If} $Root == "HKLM"
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
