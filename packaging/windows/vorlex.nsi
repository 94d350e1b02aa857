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
!define SCREEN_SAVER_ON "i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE}"
!define IN_USE_ADVICE "End the screen saver and choose Retry, or Cancel: nothing has been changed."

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Vorlex"
; An upgrade keeps the folder of the installed version.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
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
!define WHERE_TEXT "The screen saver goes into the Windows directory, its licences into $PROGRAMFILES\Vorlex."
!define MUI_COMPONENTSPAGE_TEXT_TOP "${WHERE_TEXT} Untick the box to keep the current screen saver."
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
      "${FILE} is in use, probably by the running screen saver.$\r$\n$\r$\n${IN_USE_ADVICE}" \
      /SD IDCANCEL IDRETRY +2
    Abort "${FILE} is in use; nothing has been changed."
  ${Loop}
!macroend

; Ends the install after a failed rename; the previous version stays as it was (its entry is
; written only after both files are in place).
Function Failed
  MessageBox MB_OK|MB_ICONSTOP \
    "The files could not be written into $WINDIR (is the disk full?).$\r$\n$\r$\nThe previous version has been kept." \
    /SD IDOK
  Abort "The files could not be written; the previous version has been kept."
FunctionEnd

; Moves the installed FILE aside (FILE.old) so that a failure can put it back.
!macro Retire FILE
  ${If} ${FileExists} "$WINDIR\${FILE}"
    Rename "$WINDIR\${FILE}" "$WINDIR\${FILE}.old"
  ${EndIf}
!macroend

!macro Restore FILE
  Delete "$WINDIR\${FILE}"
  Rename "$WINDIR\${FILE}.old" "$WINDIR\${FILE}"
!macroend

; Size and time of the glyph file as installed: the uninstaller removes only that file.
!macro GlyphStamp OUT
  StrCpy ${OUT} ""
  ClearErrors
  FileOpen $0 "$WINDIR\glyph2.ani" r
  ${IfNot} ${Errors}
    FileSeek $0 0 END $1
    FileClose $0
    GetFileTime "$WINDIR\glyph2.ani" $2 $3
    StrCpy ${OUT} "$1 $2 $3"
  ${EndIf}
!macroend

Section "-Vorlex screen saver" SecFiles
  !insertmacro RequireWritable "$WINDIR\vorlex.scr"
  !insertmacro RequireWritable "$WINDIR\glyph2.ani"

  Delete "$WINDIR\vorlex.scr.old"
  Delete "$WINDIR\glyph2.ani.old"
  ClearErrors
  SetOutPath "$INSTDIR"
  File "${DOCS_DIR}\LICENSE.txt"
  File "${DOCS_DIR}\DejaVu-LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Both files under temporary names first: a full disk stops the install here, before anything is replaced.
  SetOutPath "$WINDIR"
  File "/oname=glyph2.ani.new" "${FILES_DIR}\glyph2.ani"
  File "/oname=vorlex.scr.new" "${FILES_DIR}\vorlex.scr"
  ${IfNot} ${Errors}
    !insertmacro Retire vorlex.scr
  ${EndIf}
  ${IfNot} ${Errors}
    !insertmacro Retire glyph2.ani
    ${If} ${Errors}
      !insertmacro Restore vorlex.scr
    ${EndIf}
  ${EndIf}
  ${IfNot} ${Errors}
    Rename "$WINDIR\vorlex.scr.new" "$WINDIR\vorlex.scr"
    Rename "$WINDIR\glyph2.ani.new" "$WINDIR\glyph2.ani"
    ${If} ${Errors}
      !insertmacro Restore vorlex.scr
      !insertmacro Restore glyph2.ani
    ${EndIf}
  ${EndIf}
  ${If} ${Errors}
    Call Failed
  ${EndIf}
  Delete /REBOOTOK "$WINDIR\vorlex.scr.old"
  Delete /REBOOTOK "$WINDIR\glyph2.ani.old"

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
  !insertmacro GlyphStamp $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "GlyphFile" $1
SectionEnd

Section "Make Vorlex the current screen saver" SecActivate
  GetFullPathName /SHORT $0 "$WINDIR\vorlex.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  System::Call 'user32::SystemParametersInfo(${SCREEN_SAVER_ON})'
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${DESKTOP_KEY}" /TIMEOUT=2000
SectionEnd

; Any failure, also a write that NSIS itself gives up on: the temporary copies go.
Function .onInstFailed
  Delete "$WINDIR\vorlex.scr.new"
  Delete "$WINDIR\glyph2.ani.new"
FunctionEnd

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
  ; A glyph file of the user's own (another size or time than the one installed) stays.
  ReadRegStr $4 HKLM "${UNINSTALL_KEY}" "GlyphFile"
  !insertmacro GlyphStamp $5
  ${If} $4 == $5
    Delete /REBOOTOK "$WINDIR\glyph2.ani"
  ${EndIf}
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
