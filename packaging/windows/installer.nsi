; The Windows installer: the portable folder installed under Program Files, a Start-menu entry, an
; uninstaller, and (chosen on the components page) Ravik LCD offered for opening pictures and
; .bin frame files. Built by tools/package-windows.sh:
;   makensis -DVERSION=1.00 -DSOURCE=<portable folder> -DOUTFILE=<setup.exe>
;            -DUNINSTALL_LIST=<the folder's files as Delete and RMDir lines> installer.nsi
; A 64-bit installer for the 64-bit program (and so it runs under a 64-bit-only Wine).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define PRODUCT "Ravik LCD"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RavikLCD"
!define PROG_ID "RavikLCD.File"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Ravik LCD"
InstallDirRegKey HKLM "Software\RavikLCD" "InstallDir"
RequestExecutionLevel admin
ManifestDPIAware true

!define MUI_ICON "${SOURCE}\ravik-lcd.ico"
!define MUI_UNICON "${SOURCE}\ravik-lcd.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\ravik-lcd.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动 Ravik LCD"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (c) 2026 The Ravik LCD developers (MIT)"

Section "Ravik LCD（程序、运行库与 CMake 包）" SecProgram
    SectionIn RO
    SetRegView 64
    ; Installed for every user of the machine, so the Start-menu entry is everyone's too.
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\卸载.exe"
    CreateDirectory "$SMPROGRAMS\Ravik LCD"
    CreateShortcut "$SMPROGRAMS\Ravik LCD\Ravik LCD.lnk" "$INSTDIR\ravik-lcd.exe"
    CreateShortcut "$SMPROGRAMS\Ravik LCD\卸载 Ravik LCD.lnk" "$INSTDIR\卸载.exe"
    WriteRegStr HKLM "Software\RavikLCD" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ravik-lcd.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\卸载.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Offered in "Open with" for these types; the files' default program stays as it is.
!macro OfferFor SUFFIX
    WriteRegStr HKLM "Software\Classes\${SUFFIX}\OpenWithProgids" "${PROG_ID}" ""
    WriteRegStr HKLM "Software\Classes\Applications\ravik-lcd.exe\SupportedTypes" "${SUFFIX}" ""
!macroend
!macro NoLongerOfferFor SUFFIX
    DeleteRegValue HKLM "Software\Classes\${SUFFIX}\OpenWithProgids" "${PROG_ID}"
!macroend

Section "用 Ravik LCD 打开图片和 .bin 文件" SecOpenWith
    SetRegView 64
    WriteRegStr HKLM "Software\Classes\${PROG_ID}" "" "Ravik LCD 文件"
    WriteRegStr HKLM "Software\Classes\${PROG_ID}\DefaultIcon" "" "$INSTDIR\ravik-lcd.exe,0"
    WriteRegStr HKLM "Software\Classes\${PROG_ID}\shell\open\command" "" '"$INSTDIR\ravik-lcd.exe" "%1"'
    WriteRegStr HKLM "Software\Classes\Applications\ravik-lcd.exe" "FriendlyAppName" "Ravik LCD"
    WriteRegStr HKLM "Software\Classes\Applications\ravik-lcd.exe\shell\open\command" "" '"$INSTDIR\ravik-lcd.exe" "%1"'
    !insertmacro OfferFor ".png"
    !insertmacro OfferFor ".jpg"
    !insertmacro OfferFor ".jpeg"
    !insertmacro OfferFor ".bmp"
    !insertmacro OfferFor ".gif"
    !insertmacro OfferFor ".tif"
    !insertmacro OfferFor ".tiff"
    !insertmacro OfferFor ".webp"
    !insertmacro OfferFor ".tga"
    !insertmacro OfferFor ".ico"
    !insertmacro OfferFor ".bin"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "ravik-lcd.exe 及其模块、Qt 与运行库、固件运行库源码和 CMake 包。"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecOpenWith} "在资源管理器的“打开方式”中列出 Ravik LCD（图片与 .bin 帧文件），不改变这些文件的默认程序。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    !insertmacro NoLongerOfferFor ".png"
    !insertmacro NoLongerOfferFor ".jpg"
    !insertmacro NoLongerOfferFor ".jpeg"
    !insertmacro NoLongerOfferFor ".bmp"
    !insertmacro NoLongerOfferFor ".gif"
    !insertmacro NoLongerOfferFor ".tif"
    !insertmacro NoLongerOfferFor ".tiff"
    !insertmacro NoLongerOfferFor ".webp"
    !insertmacro NoLongerOfferFor ".tga"
    !insertmacro NoLongerOfferFor ".ico"
    !insertmacro NoLongerOfferFor ".bin"
    DeleteRegKey HKLM "Software\Classes\${PROG_ID}"
    DeleteRegKey HKLM "Software\Classes\Applications\ravik-lcd.exe"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\RavikLCD"
    Delete "$SMPROGRAMS\Ravik LCD\Ravik LCD.lnk"
    Delete "$SMPROGRAMS\Ravik LCD\卸载 Ravik LCD.lnk"
    RMDir "$SMPROGRAMS\Ravik LCD"
    ; Only what the installer put there (the list tools/package-windows.sh writes), so that files
    ; of the user's in the folder stay.
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\卸载.exe"
    RMDir "$INSTDIR"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
