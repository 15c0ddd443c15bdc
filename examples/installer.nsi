; A VISA library installer with visaprep around its files, and its uninstaller.
;   makensis -DVISAPREP=path\visaprep.exe -DPAYLOAD=folder installer.nsi
; PAYLOAD holds the library's visa32.dll and visaconf.ini; TARGET
; (x86-unicode or amd64-unicode), OUTFILE and VERSION may be set too. A
; later version installs over an earlier one. AUTHORS_KEY and
; NAME_WITH_VERSION are the tests' own.
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

!ifdef NAME_WITH_VERSION
Name "VISA library ${VERSION}"
!else
Name "VISA library"
!endif
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\VISA library"
RequestExecutionLevel admin
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VISA library"

Section "Prepare"
  !insertmacro VisaprepBackUp
SectionEnd

Section "VISA library"
  ; The tests' stand-in for a failure before the library's file.
  !ifdef FAIL_BEFORE_FILES
    Abort "failing before the files, as asked"
  !endif
  SetOutPath $SYSDIR
  File "${PAYLOAD}\visa32.dll"
  ReadRegStr $0 HKLM "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCmp $0 "" +3
    SetOutPath "$0Tavrex"
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

Section "Restore"
  !insertmacro VisaprepRestore
SectionEnd

Function .onInstFailed
  !insertmacro VisaprepRestore
  !ifdef AUTHORS_KEY
    DeleteRegKey HKLM "Software\$(^Name)"
  !endif
  DetailPrint "The installation failed."
FunctionEnd

Function .onUserAbort
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
