; visaprep for an NSIS installer that lays down a VISA library: before your
; files go in, visaprep backs up the site's VISA configuration and sets
; aside another company's visa32.dll; after them, and on every way out of a
; failed or cancelled installation, it puts the configuration back. A run
; cut off where no handler runs (a power cut, a killed process) leaves a
; mark in the registry, and the next run puts that run's backup back before
; making its own; a visaini.bak without the mark is a stranger's, and is
; never put back.
;
;   !include "visaprep.nsh"
;   Section "Prepare"            !insertmacro VisaprepBackUp    SectionEnd
;   ...your sections with your files...
;   Section "Restore"            !insertmacro VisaprepRestore   SectionEnd
;   Function .onInstFailed       !insertmacro VisaprepRestore   FunctionEnd
;   Function .onUserAbort        !insertmacro VisaprepRestore   FunctionEnd
;
; A script without the two callbacks stays safe: a failed or cancelled run
; leaves the configuration in visaini.bak and the mark set, and the next run
; of the installer puts it back first.
;
; Defines, all optional: VISAPREP, the path of visaprep.exe when the
; installer is built (default visaprep.exe); VISAPREP_MARK_KEY, the key
; under HKLM that holds the mark (default Software\<your Name>), in the
; installer's registry view, which for an x86 installer is the 32-bit one
; that visaprep sees too. Needs the System plugin that comes with NSIS.

!ifndef VISAPREP_NSH
!define VISAPREP_NSH

!ifndef VISAPREP
  !define VISAPREP visaprep.exe
!endif
!ifndef VISAPREP_MARK_KEY
  !define VISAPREP_MARK_KEY "Software\$(^Name)"
!endif
!define VISAPREP_MARK_VALUE "visaprep backup"

; "1" from the backup until the configuration is put back.
Var VisaprepBackedUp
; The backup file, where visaprep makes it.
Var VisaprepBackup

!macro VisaprepBackUp
  Call VisaprepBackUp
!macroend

!macro VisaprepRestore
  Call VisaprepRestore
!macroend

Function VisaprepBackUp
  ; $PLUGINSDIR exists only once this is called; the installer deletes it,
  ; and visaprep.exe with it, when it ends.
  InitPluginsDir
  SetOutPath $PLUGINSDIR
  File "/oname=visaprep.exe" "${VISAPREP}"
  ReadRegStr $0 HKLM "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCpy $VisaprepBackup "$0Tavrex\visaini.bak"
  ; A run cut off after its backup: that backup is the site's configuration,
  ; and this run's backup would overwrite it, so it goes back first.
  ReadRegStr $0 HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}"
  StrCmp $0 "" backUp
    ExecWait '"$PLUGINSDIR\visaprep.exe" Copy'
    IfFileExists $VisaprepBackup 0 backUp
      Abort "An interrupted installation saved the VISA configuration in $VisaprepBackup, and it could not be put back."
  backUp:
  ; Its exit status is always 0: the files tell what it did.
  ExecWait '"$PLUGINSDIR\visaprep.exe" BackUp RemoveVisa32'
  WriteRegStr HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}" 1
  ; Windows writes the registry to the disk lazily; the mark must be there
  ; before the installer's files are. 0x80000002 is HKEY_LOCAL_MACHINE.
  System::Call "advapi32::RegFlushKey(p 0x80000002)"
  StrCpy $VisaprepBackedUp 1
FunctionEnd

; Puts the configuration back once, and only after the backup; the mark
; goes once no backup is left.
Function VisaprepRestore
  StrCmp $VisaprepBackedUp 1 0 restored
    ExecWait '"$PLUGINSDIR\visaprep.exe" Copy'
    StrCpy $VisaprepBackedUp ""
    IfFileExists $VisaprepBackup restored
      DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}"
      DeleteRegKey /ifempty HKLM "${VISAPREP_MARK_KEY}"
  restored:
FunctionEnd

!endif
