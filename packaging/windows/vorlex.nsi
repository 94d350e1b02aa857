; Installer of the Vorlex Code Emulator screen saver, built on Linux:
;   makensis -DVERSION=x.y.z -DFILES_DIR=DIR -DDOCS_DIR=DIR -DICON=FILE -DOUTFILE=FILE vorlex.nsi
; FILES_DIR holds vorlex.scr and glyph2.ani, DOCS_DIR the licence texts (CRLF).
; Silent use: /S installs; /S /ACTIVATE also makes Vorlex the current screen saver.
; The uninstaller keeps the settings in silent mode and asks otherwise.

Unicode true
SetCompressor /SOLID lzma
; The saver goes into the Windows directory and the uninstall entry into HKLM.
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Vorlex Code Emulator"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlex"
!define SETTINGS_KEY "Software\Zelvoran\Vorlex Code Emulator"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Vorlex"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "Zelvoran"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) Zelvoran, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "The screen saver goes into the Windows directory, its licences into $PROGRAMFILES\Vorlex. Untick the box to keep the current screen saver."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running saver holds vorlex.scr open. Both files are checked before either is written,
; so a refusal leaves the installed version whole.
!macro RequireWritable FILE
  ${Do}
    ${IfNot} ${FileExists} "${FILE}"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $0 "${FILE}" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${FILE} is in use, probably by the running screen saver.$\r$\n$\r$\nEnd the screen saver and choose Retry, or Cancel: nothing has been changed." \
      /SD IDCANCEL IDRETRY +2
    Abort "${FILE} is in use; nothing has been changed."
  ${Loop}
!macroend

Section "-Vorlex screen saver" SecFiles
  !insertmacro RequireWritable "$WINDIR\vorlex.scr"
  !insertmacro RequireWritable "$WINDIR\glyph2.ani"

  SetOutPath "$WINDIR"
  File "${FILES_DIR}\vorlex.scr"
  File "${FILES_DIR}\glyph2.ani"
  SetOutPath "$INSTDIR"
  File "${DOCS_DIR}\LICENSE.txt"
  File "${DOCS_DIR}\DejaVu-LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zelvoran"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$WINDIR\vorlex.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB: the licence folder with the uninstaller, and the two files.
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  ${GetSize} "$WINDIR" "/M=vorlex.scr /S=0K /G=0" $2 $3 $4
  IntOp $1 $1 + $2
  ${GetSize} "$WINDIR" "/M=glyph2.ani /S=0K /G=0" $2 $3 $4
  IntOp $1 $1 + $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Section "Make Vorlex the current screen saver" SecActivate
  GetFullPathName /SHORT $0 "$WINDIR\vorlex.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${DESKTOP_KEY}" /TIMEOUT=2000
SectionEnd

Function .onInit
  ; Silent installs leave the current saver alone unless /ACTIVATE asks otherwise.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ACTIVATE" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecActivate}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; SCRNSAVE.EXE is cleared only while it names this saver, long or short path.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$WINDIR\vorlex.scr"
  ${If} $0 != ""
    GetFullPathName /SHORT $2 $0
    StrCpy $3 0
    ${If} $0 == "$WINDIR\vorlex.scr"
    ${OrIf} $0 == $1
      StrCpy $3 1
    ${ElseIf} $1 != ""
    ${AndIf} $2 == $1
      StrCpy $3 1
    ${EndIf}
    ${If} $3 == 1
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${DESKTOP_KEY}" /TIMEOUT=2000
    ${EndIf}
  ${EndIf}

  Delete /REBOOTOK "$WINDIR\vorlex.scr"
  Delete /REBOOTOK "$WINDIR\glyph2.ani"
  Delete "$WINDIR\vorlexcode.log"
  Delete "$WINDIR\vorlexcode_fs.log"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\DejaVu-LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION \
    "Also remove the Vorlex settings (resolution, number of streams, highlights)?" \
    /SD IDNO IDNO keep_settings
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Zelvoran"
keep_settings:
SectionEnd
