; The Windows installer of Vorlane, built by the target "installer" (packaging/CMakeLists.txt) with
; makensis. It installs for the current user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Vorlane; puts Vorlane on the Start menu; and registers its uninstaller under the
; user's "Uninstall" key, where Apps & Features finds it. The uninstaller removes what was installed and
; leaves what the user made: galleries (*.gsk, wherever they are, the program folder included), the
; wallpaper copy "Temp.bmp" and the settings file "Vorlane.ini".
; The system's screen-saver settings list the screen savers of the system folder, which a user without
; administrator rights cannot write, and the one the user's account has chosen: the component "screen
; saver" (off unless chosen on the components page, or /SCREENSAVER with /S) makes vorlane-saver.scr that
; one, as the file's own "Install" command does; the uninstaller takes the choice back while it is still
; this file.
; Defined by the build: VERSION, VERSION_QUAD (four numbers), STAGING (the installed files), FILES (InstallerFiles.nsh, which
; names them), ICON and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Vorlane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "${FILES}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vorlane16.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one shown when the user's is neither.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString SectionProgram ${LANG_JAPANESE} "Vorlane"
LangString SectionProgram ${LANG_ENGLISH} "Vorlane"
LangString SectionSaver ${LANG_JAPANESE} "Vorlane をこのアカウントのスクリーンセーバーにする"
LangString SectionSaver ${LANG_ENGLISH} "Make Vorlane this account's screen saver"

!define SAVER "vorlane-saver.scr"
!define DESKTOP_KEY "Control Panel\Desktop"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "2026 Vorlane maintainers"

Section "$(SectionProgram)" SectionProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !insertmacro VorlaneInstallFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Vorlane16.exe" "" "$INSTDIR\Vorlane16.exe" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vorlane16.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The screen saver's path as the system's own choice records it: short, without blanks.
Section /o "$(SectionSaver)" SectionSaver
  GetFullPathName /SHORT $0 "$INSTDIR\${SAVER}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/SCREENSAVER" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SectionSaver} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$INSTDIR\${SAVER}"
  ; StrCmp compares without regard to case, as the system's paths are.
  ${If} $0 != ""
  ${AndIf} $0 == $1
  ${OrIf} $0 == "$INSTDIR\${SAVER}"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !insertmacro VorlaneRemoveFiles
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: galleries and "Temp.bmp" keep the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
