; visaprep for an NSIS installer that lays down a VISA library: before your
; files go in, visaprep backs up the site's VISA configuration and sets
; aside another company's visa32.dll; after them, and on every way out of a
; failed or cancelled installation, it puts the configuration back, and a
; failed or cancelled one puts the library back where the place is still
; empty. The uninstaller puts back the library that the installation set
; aside. A run cut off where no handler runs (a power cut, a killed
; process) leaves a mark in the registry, and the next run puts that run's
; backup back before making its own; a visaini.bak without the mark is a
; stranger's, and is never put back.
;
;   !include "visaprep.nsh"
;   Section "Prepare"            !insertmacro VisaprepBackUp    SectionEnd
;   ...your sections with your files...
;   Section "Restore"            !insertmacro VisaprepRestore   SectionEnd
;   Function .onInstFailed       !insertmacro VisaprepRestore   FunctionEnd
;   Function .onUserAbort        !insertmacro VisaprepRestore   FunctionEnd
;   Section "Uninstall"  ...delete your files...  !insertmacro VisaprepUninstall  SectionEnd
;
; Leave $SYSDIR\visa32.dll to VisaprepUninstall: it deletes the installer's
; library itself, and only while a record says that the file there is the
; installer's; that record goes, on the disk, before any library is put
; back, so an uninstall cut off anywhere and run again never deletes the
; other company's library.
;
; The installation stops before your files, with a message, when
; visaprep.exe cannot be started or the site's configuration could not be
; saved. A script without the two callbacks stays
; safe: a failed or cancelled run leaves the configuration in visaini.bak and
; the mark set, and the next run of the installer puts it back first.
; Without FRAMEWORK_PATH there is no configuration to keep: only the library
; is set aside and put back.
;
; Each step says what it did in the details list, one "visaprep: " line a
; step. The macros keep the caller's registers ($0-$9, $R0-$R9) and stack:
; they use variables of their own, all named Visaprep*.
;
; Defines, all optional: VISAPREP, the path of visaprep.exe when the
; installer is built (default visaprep.exe); VISAPREP_MARK_KEY, the key
; under HKLM that holds the mark and the record of a library set aside
; (default Software\<your Name>), in the installer's registry view, which
; for an x86 installer is the 32-bit one that visaprep sees too. Needs the
; System plugin that comes with NSIS.

!ifndef VISAPREP_NSH
!define VISAPREP_NSH

!ifndef VISAPREP
  !define VISAPREP visaprep.exe
!endif
!ifndef VISAPREP_MARK_KEY
  !define VISAPREP_MARK_KEY "Software\$(^Name)"
!endif
!define VISAPREP_MARK_VALUE "visaprep backup"
; "pending" while visaprep may be setting a library aside, "1" once it has:
; the uninstaller then puts it back. Never set where there was no library.
!define VISAPREP_LIBRARY_VALUE "visaprep library"
; "1" while $SYSDIR\visa32.dll is, or is about to be, the installer's own:
; only then may the uninstaller delete it.
!define VISAPREP_INSTALLED_VALUE "visaprep installed"

; "1" from the backup until the configuration is put back.
Var VisaprepBackedUp
; The framework directory, "" without FRAMEWORK_PATH; the configuration
; file and the backup file in it, where visaprep makes them.
Var VisaprepFramework
Var VisaprepConfiguration
Var VisaprepBackup
; "0" once a visaprep.exe could not be started.
Var VisaprepStarted
; What VisaprepRun runs, and scratch values: a registry value, a stamp, a
; file handle, a name.
Var VisaprepVerb
Var VisaprepValue
Var VisaprepText
Var VisaprepHandle
Var VisaprepHigh
Var VisaprepLow

!macro VisaprepBackUp
  Call VisaprepBackUp
!macroend

!macro VisaprepRestore
  Call VisaprepRestore
!macroend

!macro VisaprepUninstall
  Call un.VisaprepUninstall
!macroend

; One line a step in the details list, which a log-enabled NSIS build also
; writes to install.log.
!macro VisaprepDetail TEXT
  DetailPrint "visaprep: ${TEXT}"
!macroend

; Windows writes the registry to the disk lazily; what the mark says must be
; there before the installer's files are. 0x80000002 is HKEY_LOCAL_MACHINE.
!macro VisaprepFlush
  System::Call "advapi32::RegFlushKey(p 0x80000002)"
!macroend

; Without visaprep nothing is saved or set aside, and the installer's files
; would go over the site's: the installation stops.
!macro VisaprepStopUnlessStarted
  StrCmp $VisaprepStarted 0 0 +2
    Abort "visaprep.exe could not be started, so the installation stops before changing anything."
!macroend

; visaprep.exe into $PLUGINSDIR, which the installer or uninstaller deletes,
; and visaprep.exe with it, when it ends.
!macro VisaprepRunBody UN
Function ${UN}VisaprepRun
  InitPluginsDir
  IfFileExists "$PLUGINSDIR\visaprep.exe" +2
    File "/oname=$PLUGINSDIR\visaprep.exe" "${VISAPREP}"
  ; Its exit status is always 0: the files tell what it did. Only a program
  ; that could not be started at all sets the error flag.
  ClearErrors
  ExecWait '"$PLUGINSDIR\visaprep.exe" $VisaprepVerb'
  IfErrors 0 started
    StrCpy $VisaprepStarted 0
    !insertmacro VisaprepDetail "could not start visaprep.exe $VisaprepVerb"
  started:
FunctionEnd

; Where the library went, it goes back once the place is empty again, and
; the record with it; a record of a library still in place stays.
Function ${UN}VisaprepPutBack
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue "" done
  IfFileExists "$SYSDIR\visa32.dll" 0 empty
    !insertmacro VisaprepDetail "the library set aside stays aside while $SYSDIR\visa32.dll is there"
    Goto done
  empty:
    ; What comes into the place now is the other company's library.
    DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_INSTALLED_VALUE}"
    !insertmacro VisaprepFlush
    StrCpy $VisaprepVerb RestoreVisa32
    Call ${UN}VisaprepRun
    IfFileExists "$SYSDIR\visa32.dll" 0 missing
      DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
      !insertmacro VisaprepDetail "put the library set aside back as $SYSDIR\visa32.dll"
      Goto done
    missing:
      !insertmacro VisaprepDetail "put no library back as $SYSDIR\visa32.dll; the record of the one set aside stays for a later run"
  done:
FunctionEnd
!macroend
!insertmacro VisaprepRunBody ""
!insertmacro VisaprepRunBody "un."

; "time size" of the file named by $VisaprepValue in $VisaprepValue, or ""
; when it cannot be read.
Function VisaprepStamp
  ClearErrors
  GetFileTime $VisaprepValue $VisaprepHigh $VisaprepLow
  FileOpen $VisaprepHandle $VisaprepValue r
  FileSeek $VisaprepHandle 0 END $VisaprepValue
  FileClose $VisaprepHandle
  StrCpy $VisaprepValue "$VisaprepHigh $VisaprepLow $VisaprepValue"
  IfErrors 0 +2
    StrCpy $VisaprepValue ""
FunctionEnd

; The names of the copies set aside beside the library, in $VisaprepText.
Function VisaprepCopies
  StrCpy $VisaprepText ""
  FindFirst $VisaprepHandle $VisaprepValue "$SYSDIR\visa32.*.dll"
  loop:
    StrCmp $VisaprepValue "" done
    StrCmp $VisaprepText "" 0 +3
      StrCpy $VisaprepText $VisaprepValue
      Goto +2
    StrCpy $VisaprepText "$VisaprepText, $VisaprepValue"
    FindNext $VisaprepHandle $VisaprepValue
    Goto loop
  done:
  FindClose $VisaprepHandle
FunctionEnd

Function VisaprepBackUp
  ReadRegStr $VisaprepFramework HKLM "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCpy $VisaprepConfiguration "$VisaprepFrameworkTavrex\visaconf.ini"
  StrCpy $VisaprepBackup "$VisaprepFrameworkTavrex\visaini.bak"
  ; A run cut off after its backup: that backup is the site's configuration,
  ; and this run's backup would overwrite it, so it goes back first, and so
  ; does a library that run set aside before its own was in. Without
  ; FRAMEWORK_PATH that backup cannot be found: the mark stays for a run
  ; that can.
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}"
  StrCmp $VisaprepValue "" backUp
    !insertmacro VisaprepDetail "found the mark of an interrupted installation"
    StrCmp $VisaprepFramework "" putBack
    StrCpy $VisaprepVerb Copy
    Call VisaprepRun
    !insertmacro VisaprepStopUnlessStarted
    IfFileExists $VisaprepBackup 0 +2
      Abort "An interrupted installation saved the VISA configuration in $VisaprepBackup, and it could not be put back."
    !insertmacro VisaprepDetail "put back the configuration that it had saved in $VisaprepBackup"
  putBack:
    Call VisaprepPutBack
  backUp:
  StrCmp $VisaprepFramework "" 0 +3
    !insertmacro VisaprepDetail "no FRAMEWORK_PATH: the VISA configuration is left alone"
    Goto library
  StrCpy $VisaprepVerb BackUp
  Call VisaprepRun
  !insertmacro VisaprepStopUnlessStarted
  ; Only a backup that this run made, with the configuration's date and
  ; size, is ever put back; without one the configuration must not change.
  IfFileExists $VisaprepConfiguration check
    IfFileExists $VisaprepBackup 0 none
      !insertmacro VisaprepDetail "no $VisaprepConfiguration, and the $VisaprepBackup there is not this run's: it stays"
      Goto library
    none:
    !insertmacro VisaprepDetail "no $VisaprepConfiguration to back up"
    Goto saved
  check:
    StrCpy $VisaprepValue $VisaprepConfiguration
    Call VisaprepStamp
    StrCpy $VisaprepText $VisaprepValue
    StrCpy $VisaprepValue $VisaprepBackup
    Call VisaprepStamp
    StrCmp $VisaprepText "" +2
    StrCmp $VisaprepValue $VisaprepText backedUp
      Abort "The VISA configuration in $VisaprepConfiguration could not be saved, so the installation stops before changing it."
  backedUp:
  !insertmacro VisaprepDetail "backed up $VisaprepConfiguration to $VisaprepBackup"
  saved:
  WriteRegStr HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}" 1
  StrCpy $VisaprepBackedUp 1
  library:
  ; $VisaprepText: "1" where a library was in place before.
  StrCpy $VisaprepText ""
  IfFileExists "$SYSDIR\visa32.dll" 0 +2
    StrCpy $VisaprepText 1
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue "" 0 +3
  StrCmp $VisaprepText 1 0 +2
    WriteRegStr HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}" pending
  !insertmacro VisaprepFlush
  StrCpy $VisaprepVerb RemoveVisa32
  Call VisaprepRun
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue pending 0 recorded
    IfFileExists "$SYSDIR\visa32.dll" 0 +3
      DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
      Goto +2
    WriteRegStr HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}" 1
  recorded:
  !insertmacro VisaprepStopUnlessStarted
  ; The place is the installer's once it is empty, or holds the library
  ; that an earlier installation put there in place of one set aside.
  IfFileExists "$SYSDIR\visa32.dll" 0 installed
    !insertmacro VisaprepDetail "kept $SYSDIR\visa32.dll in place"
    ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
    StrCmp $VisaprepValue 1 0 flush
    Goto own
  installed:
    StrCmp $VisaprepText 1 0 nothing
      Call VisaprepCopies
      !insertmacro VisaprepDetail "set $SYSDIR\visa32.dll aside; set-aside copies: $VisaprepText"
      Goto own
    nothing:
      !insertmacro VisaprepDetail "no $SYSDIR\visa32.dll to set aside"
  own:
    WriteRegStr HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_INSTALLED_VALUE}" 1
  flush:
  !insertmacro VisaprepFlush
FunctionEnd

; Puts the configuration back once, and only after this run's backup; the
; mark goes once no backup is left. After a failure before the library was
; in, the library that was set aside goes back too.
Function VisaprepRestore
  StrCmp $VisaprepBackedUp 1 0 library
    StrCpy $VisaprepText "no backup of the VISA configuration to put back"
    IfFileExists $VisaprepBackup 0 +2
      StrCpy $VisaprepText "put the VISA configuration back from $VisaprepBackup"
    StrCpy $VisaprepVerb Copy
    Call VisaprepRun
    StrCpy $VisaprepBackedUp ""
    IfFileExists $VisaprepBackup 0 back
      !insertmacro VisaprepDetail "could not put the VISA configuration back: it waits in $VisaprepBackup for the next run"
      Goto library
    back:
    DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_MARK_VALUE}"
    !insertmacro VisaprepDetail $VisaprepText
  library:
  Call VisaprepPutBack
  DeleteRegKey /ifempty HKLM "${VISAPREP_MARK_KEY}"
FunctionEnd

; Deletes the installer's visa32.dll, and the library that the installation
; set aside goes back; then the records go. A visa32.dll that cannot be
; deleted keeps them, for a later uninstall to finish.
Function un.VisaprepUninstall
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_INSTALLED_VALUE}"
  StrCmp $VisaprepValue "" putBack
    Delete "$SYSDIR\visa32.dll"
    IfFileExists "$SYSDIR\visa32.dll" 0 deleted
      !insertmacro VisaprepDetail "could not delete the installer's $SYSDIR\visa32.dll: a later uninstall will"
      Goto kept
    deleted:
    DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_INSTALLED_VALUE}"
    !insertmacro VisaprepDetail "deleted the installer's $SYSDIR\visa32.dll"
  putBack:
  Call un.VisaprepPutBack
  DeleteRegValue HKLM "${VISAPREP_MARK_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  kept:
  DeleteRegKey /ifempty HKLM "${VISAPREP_MARK_KEY}"
FunctionEnd

!endif
