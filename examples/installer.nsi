; An installer that lays down a VISA library with visaprep around it: before
; its own files go in, it backs up the site's VISA configuration and sets
; aside another company's visa32.dll; afterwards it puts the site's
; configuration back over the default it installed. If the installation
; fails or is cancelled after the backup, it puts the configuration back
; all the same, so no backup outlives the run that made it: a second run's
; "BackUp" would otherwise copy this installer's default over it. A run cut
; off where no handler runs (a power cut, a killed process) leaves a mark in
; the registry, and the next run puts that run's backup back first; a
; visaini.bak without the mark is a stranger's, and is never put back.
;
;   makensis -DVISAPREP=path\visaprep.exe -DPAYLOAD=folder installer.nsi
;
; PAYLOAD holds this installer's own visa32.dll and visaconf.ini. TARGET
; (x86-unicode, the default, or amd64-unicode) and OUTFILE may be set too.
; visaprep.exe is 32-bit, and so is an x86 installer: both see the 32-bit
; system directory and registry view on 64-bit Windows, where your library
; goes too.

!ifndef TARGET
  !define TARGET x86-unicode
!endif
!ifndef VISAPREP
  !define VISAPREP visaprep.exe
!endif
!ifndef PAYLOAD
  !define PAYLOAD payload
!endif
!ifndef OUTFILE
  !define OUTFILE visa-library.exe
!endif
; Where the mark lives, in the installer's registry view under HKLM: from
; the backup until the configuration is back.
!ifndef MARK_KEY
  !define MARK_KEY "Software\VISA library"
!endif
!define MARK_VALUE "visaprep backup"

Target ${TARGET}
Name "VISA library"
OutFile "${OUTFILE}"
; visaprep writes to the system directory and the framework directory.
RequestExecutionLevel admin

; "1" from the backup until the configuration is put back.
Var BackedUp
; The backup file, where visaprep makes it.
Var Backup

Section "Prepare"
  ; $PLUGINSDIR exists only once this is called; the installer deletes it,
  ; and visaprep.exe with it, when it ends.
  InitPluginsDir
  SetOutPath $PLUGINSDIR
  File "/oname=visaprep.exe" "${VISAPREP}"
  ReadRegStr $0 HKLM "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCpy $Backup "$0Tavrex\visaini.bak"
  ; A run cut off after its backup: that backup is the site's configuration,
  ; and this run's backup would overwrite it, so it goes back first.
  ReadRegStr $0 HKLM "${MARK_KEY}" "${MARK_VALUE}"
  StrCmp $0 "" backUp
    ExecWait '"$PLUGINSDIR\visaprep.exe" Copy'
    IfFileExists $Backup 0 backUp
      Abort "An interrupted installation saved the VISA configuration in $Backup, and it could not be put back."
  backUp:
  ; Its exit status is always 0: the files tell what it did.
  ExecWait '"$PLUGINSDIR\visaprep.exe" BackUp RemoveVisa32'
  WriteRegStr HKLM "${MARK_KEY}" "${MARK_VALUE}" 1
  ; Windows writes the registry to the disk lazily; the mark must be there
  ; before this installer's files are.
  System::Call "advapi32::RegFlushKey(p 0x80000002)"
  StrCpy $BackedUp 1
SectionEnd

Section "VISA library"
  SetOutPath $SYSDIR
  File "${PAYLOAD}\visa32.dll"
  ReadRegStr $0 HKLM "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCmp $0 "" done
    SetOutPath "$0Tavrex"
    File "${PAYLOAD}\visaconf.ini"
  done:
  !ifdef FAIL_AFTER_FILES
    ; The tests' stand-in for any failure once this installer's files are in.
    Abort "failing after the files, as asked"
  !endif
  !ifdef PAUSE_AFTER_FILES
    ; The tests' stand-in for a cut: waits, its files in, to be killed.
    Sleep 3600000
  !endif
SectionEnd

Section "Restore"
  Call RestoreConfiguration
SectionEnd

Function RestoreConfiguration
  StrCmp $BackedUp 1 0 restored
    ExecWait '"$PLUGINSDIR\visaprep.exe" Copy'
    StrCpy $BackedUp ""
    ; A backup still there was not put back: the mark stays, for the next run.
    IfFileExists $Backup restored
      DeleteRegValue HKLM "${MARK_KEY}" "${MARK_VALUE}"
      DeleteRegKey /ifempty HKLM "${MARK_KEY}"
  restored:
FunctionEnd

; A section that fails (Abort, a file that cannot be written) ends here.
Function .onInstFailed
  Call RestoreConfiguration
FunctionEnd

; Cancel on any page; before "Prepare" ran there is nothing to put back.
Function .onUserAbort
  Call RestoreConfiguration
FunctionEnd
