; A VISA library installer with visaprep around its files, and its uninstaller.
;   makensis -DVISAPREP=path\visaprep.exe -DPAYLOAD=folder installer.nsi
; PAYLOAD holds the library's visa32.dll and visaconf.ini; TARGET
; (x86-unicode or amd64-unicode), OUTFILE and VERSION may be set too. A
; later version installs over an earlier one. AUTHORS_KEY,
; NAME_WITH_VERSION, INSTALL_TYPES and REG_VIEW_64 are the tests' own.
!define /ifndef TARGET x86-unicode
!define /ifndef VERSION 1.0
!define /ifndef PAYLOAD payload
!define /ifndef OUTFILE visa-library.exe
; Before the include's variables: NSIS fixes the target with the first.
Target ${TARGET}
; Before the include: the name of this product as it stays from version to
; version, which names the key of visaprep's records.
!define /ifndef VISAPREP_ID "VISA library"
!include "..\installer\visaprep.nsh"
!include "MUI2.nsh"

!ifdef NAME_WITH_VERSION
Name "VISA library ${VERSION}"
!else
Name "VISA library"
!endif
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\VISA library"
RequestExecutionLevel admin
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VISA library"

; Modern UI 2 has its own .onUserAbort, and calls yours from it.
!define MUI_CUSTOMFUNCTION_ABORT OnUserAbort
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!ifdef INSTALL_TYPES
InstType "Full"
!endif

; Hidden sections ("-") are in every install type and never on the
; components page: nobody can switch the pattern off.
Section "-Prepare"
  !insertmacro VisaprepBackUp
SectionEnd

Section "VISA library"
  !ifdef INSTALL_TYPES
    SectionIn 1
  !endif
  ; The tests' stand-in for a failure before the library's file.
  !ifdef FAIL_BEFORE_FILES
    Abort "failing before the files, as asked"
  !endif
  ; The 32-bit library goes where visaprep looks, whatever the target.
  SetOutPath $VisaprepSystem
  File "${PAYLOAD}\visa32.dll"
  ; FRAMEWORK_PATH, as visaprep read it.
  StrCmp $VisaprepFramework "" +3
    SetOutPath "$VisaprepFrameworkTavrex"
    File "${PAYLOAD}\visaconf.ini"
  ; The tests' stand-ins for a failure and for a cut, once the files are in.
  !ifdef FAIL_AFTER_FILES
    Abort "failing after the files, as asked"
  !endif
  !ifdef PAUSE_AFTER_FILES
    Sleep 3600000
  !endif
  SetOutPath $INSTDIR
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "VISA library"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ; The tests' stand-in for an installer's own settings under its name.
  !ifdef AUTHORS_KEY
    WriteRegStr HKLM "Software\$(^Name)" "InstallDir" $INSTDIR
  !endif
SectionEnd

Section "-Restore"
  !insertmacro VisaprepRestore
SectionEnd

!ifdef INSTALL_TYPES | REG_VIEW_64
Function .onInit
  !ifdef INSTALL_TYPES
    SetCurInstType 0
  !endif
  !ifdef REG_VIEW_64
    SetRegView 64
  !endif
FunctionEnd
!endif

Function .onInstFailed
  !insertmacro VisaprepRestore
  !ifdef AUTHORS_KEY
    DeleteRegKey HKLM "Software\$(^Name)"
  !endif
  DetailPrint "The installation failed."
FunctionEnd

Function OnUserAbort
  !insertmacro VisaprepRestore
FunctionEnd

; The site's visaconf.ini stays: it is the site's, not this library's. The
; include deletes $SYSDIR\visa32.dll, as long as it is this library's.
Section "Uninstall"
  !insertmacro VisaprepUninstall
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !ifdef AUTHORS_KEY
    DeleteRegKey HKLM "Software\$(^Name)"
  !endif
  Delete "$INSTDIR\uninstall.exe"
  RMDir $INSTDIR
SectionEnd
