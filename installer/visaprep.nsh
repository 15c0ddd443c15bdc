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
;   Section "-Prepare"           !insertmacro VisaprepBackUp    SectionEnd
;   ...your sections with your files; your visa32.dll into $VisaprepSystem...
;   Section "-Restore"           !insertmacro VisaprepRestore   SectionEnd
;   Function .onInstFailed       !insertmacro VisaprepRestore   FunctionEnd
;   Function .onUserAbort        !insertmacro VisaprepRestore   FunctionEnd
;     (with Modern UI 2: !define MUI_CUSTOMFUNCTION_ABORT and your own function)
;   Section "Uninstall"  ...delete your files...  !insertmacro VisaprepUninstall  SectionEnd
;
;   (in your own .onInstFailed or uninstaller, never delete $VisaprepSystem\visa32.dll)
;
; The two sections are hidden ("-"): a visible one can be switched off by an
; install type or on the components page, and then nothing is saved.
; visaprep.exe is a 32-bit program: the header works in the 32-bit system
; folder ($VisaprepSystem) and registry view whatever the installer's target
; and views, and your 32-bit visa32.dll goes there too.
;
; Leave $VisaprepSystem\visa32.dll to VisaprepUninstall: the place is shared with
; every VISA vendor's installer, and what another one laid there after this
; installation is theirs, and stays. The uninstall deletes the installer's
; library only while a record says that the file there is the installer's,
; with its date and size; then the library set aside goes back. The record
; goes, on the disk, before any library is put back, so an uninstall cut
; off anywhere and run again never deletes the other company's library. An
; uninstaller at work holds the mutex "Global\visaprep uninstall" until it
; is done, and an installation waits for it before anything of its own and
; again right before your files.
;
; The installation stops before your files, with a message, when
; visaprep.exe cannot be started, the site's configuration could not be
; saved, or a library stays in the place that is not visaprep's kept
; company's (one it could not set aside under a safe name). A script without the two callbacks stays
; safe: a failed or cancelled run leaves the configuration in visaini.bak and
; the mark set, and the next run of the installer puts it back first.
; Without FRAMEWORK_PATH there is no configuration to keep: only the library
; is set aside and put back.
;
; Each step says what it did in the details list, one "visaprep: " line a
; step. The macros keep the caller's registers ($0-$9, $R0-$R9) and stack:
; they use variables of their own, all named Visaprep*.
;
; Defines, all optional, and VISAPREP defined before the !include:
; VISAPREP, the path of visaprep.exe when the installer is built (default
; visaprep.exe); VISAPREP_ID, your product's name as it stays from version
; to version (default "default"), which names the key
; HKLM32\Software\visaprep\<VISAPREP_ID> that holds the mark and the
; records, a key of visaprep's own where your script keeps nothing; the
; records that version 1.4.0 kept under Software\<your Name> are taken
; over from there. VISAPREP_UNINSTALL_WAIT, how many seconds an
; installation waits for an uninstaller still at work before it stops
; (default 60). VISAPREP_64BIT_PROGRAM, the tests' own, for a 64-bit build
; of visaprep.exe. VISAPREP_LOG, a file that each "visaprep: " line is
; appended to as it happens, such as $TEMP\visaprep.log or
; $INSTDIR\visaprep.log (default none). Needs the System plugin that comes with NSIS, and NSIS
; 3.02 or later (HKLM32).

!ifndef VISAPREP_NSH
!define VISAPREP_NSH

!ifndef VISAPREP
  !define VISAPREP visaprep.exe
!endif
!define /ifndef VISAPREP_ID "default"
!define /ifndef VISAPREP_UNINSTALL_WAIT 60
; A key given as in 1.4.0 stays the key, in the installer's view as then;
; otherwise that version's key is read once more, and its records move to
; visaprep's own.
!ifdef VISAPREP_MARK_KEY
  !define VISAPREP_KEY "${VISAPREP_MARK_KEY}"
  !define VISAPREP_ROOT HKLM
!else
  !define VISAPREP_KEY "Software\visaprep\${VISAPREP_ID}"
  !define VISAPREP_ROOT HKLM32
  !define VISAPREP_OLD_KEY "Software\$(^Name)"
!endif
!define VISAPREP_MUTEX "Global\visaprep uninstall"
; The registry view in which visaprep.exe reads FRAMEWORK_PATH: a 32-bit
; program's, but for a 64-bit build of it (the tests' own, with an amd64
; installer), which works in the 64-bit system folder and view.
!ifdef VISAPREP_64BIT_PROGRAM
  !define VISAPREP_VIEW HKLM64
!else
  !define VISAPREP_VIEW HKLM32
!endif
!define VISAPREP_MARK_VALUE "visaprep backup"
; "pending" while visaprep may be setting a library aside, "1" once it has:
; the uninstaller then puts it back. Never set where there was no library.
!define VISAPREP_LIBRARY_VALUE "visaprep library"
; "1" while $VisaprepSystem\visa32.dll is about to be the installer's own, then its
; date and size: only while it has them may the uninstaller delete it.
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
; Whether a library was in the place before visaprep set one aside; the
; mutex an uninstaller holds.
Var VisaprepFound
Var VisaprepMutex
; A search of the system directory, and the date and size it looks for.
Var VisaprepSearch
Var VisaprepTarget
; The folder of the 32-bit visa32.dll, where visaprep.exe, a 32-bit
; program, works whatever the installer's target and its file system and
; registry views: SysWOW64 on 64-bit Windows, the system folder on 32-bit
; Windows. Lay your 32-bit visa32.dll there.
Var VisaprepSystem
!ifdef VISAPREP_LOG
Var VisaprepLog
!endif

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
; writes to install.log; with VISAPREP_LOG, appended to that file too and
; closed at once, so that a run cut off keeps what it did. A silent
; installation keeps no details list. It is more than one instruction: no
; relative jump may pass over it.
!macro VisaprepDetail TEXT
  DetailPrint "visaprep: ${TEXT}"
  !ifdef VISAPREP_LOG
    FileOpen $VisaprepLog "${VISAPREP_LOG}" a
    FileSeek $VisaprepLog 0 END
    FileWrite $VisaprepLog "visaprep: ${TEXT}$\r$\n"
    FileClose $VisaprepLog
  !endif
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

!macro VisaprepRunBody UN
Function ${UN}VisaprepPlace
!ifdef VISAPREP_64BIT_PROGRAM
  StrCpy $VisaprepSystem $SYSDIR
!else
  StrCpy $VisaprepSystem "$WINDIR\SysWOW64"
  IfFileExists "$VisaprepSystem\*.*" +2
    StrCpy $VisaprepSystem $SYSDIR
!endif
FunctionEnd

; visaprep.exe into $PLUGINSDIR, which the installer or uninstaller deletes,
; and visaprep.exe with it, when it ends.
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

; "time size" of the file named by $VisaprepValue in $VisaprepValue, or ""
; when it cannot be read.
Function ${UN}VisaprepStamp
  ClearErrors
  GetFileTime $VisaprepValue $VisaprepHigh $VisaprepLow
  FileOpen $VisaprepHandle $VisaprepValue r
  FileSeek $VisaprepHandle 0 END $VisaprepValue
  FileClose $VisaprepHandle
  StrCpy $VisaprepValue "$VisaprepHigh $VisaprepLow $VisaprepValue"
  IfErrors 0 +2
    StrCpy $VisaprepValue ""
FunctionEnd

; The names of the copies set aside beside the library, in $VisaprepText;
; with $VisaprepText "=" on the way in, only "1" when one of them has the
; date and size of the library in the place: visaprep copied it there.
Function ${UN}VisaprepCopies
  StrCpy $VisaprepTarget ""
  StrCmp $VisaprepText "=" 0 search
    StrCpy $VisaprepValue "$VisaprepSystem\visa32.dll"
    Call ${UN}VisaprepStamp
    StrCpy $VisaprepTarget "=$VisaprepValue"
  search:
  StrCpy $VisaprepText ""
  FindFirst $VisaprepSearch $VisaprepValue "$VisaprepSystem\visa32.*.dll"
  loop:
    StrCmp $VisaprepValue "" done
    StrCmp $VisaprepTarget "" names
      StrCpy $VisaprepValue "$VisaprepSystem\$VisaprepValue"
      Call ${UN}VisaprepStamp
      StrCmp $VisaprepValue "" next
      StrCmp "=$VisaprepValue" $VisaprepTarget 0 next
        StrCpy $VisaprepText 1
        Goto done
    names:
    StrCmp $VisaprepText "" 0 +3
      StrCpy $VisaprepText $VisaprepValue
      Goto next
    StrCpy $VisaprepText "$VisaprepText, $VisaprepValue"
    next:
    FindNext $VisaprepSearch $VisaprepValue
    Goto loop
  done:
  FindClose $VisaprepSearch
FunctionEnd

; The records that 1.4.0 kept under your Name, taken into visaprep's key.
Function ${UN}VisaprepAdopt
!ifdef VISAPREP_OLD_KEY
  StrCpy $VisaprepText "${VISAPREP_MARK_VALUE}"
  Call ${UN}VisaprepAdoptValue
  StrCpy $VisaprepText "${VISAPREP_LIBRARY_VALUE}"
  Call ${UN}VisaprepAdoptValue
  StrCpy $VisaprepText "${VISAPREP_INSTALLED_VALUE}"
  Call ${UN}VisaprepAdoptValue
  DeleteRegKey /ifempty HKLM "${VISAPREP_OLD_KEY}"
!endif
FunctionEnd

!ifdef VISAPREP_OLD_KEY
; Written and on the disk before it goes from where it was.
Function ${UN}VisaprepAdoptValue
  ReadRegStr $VisaprepValue HKLM "${VISAPREP_OLD_KEY}" $VisaprepText
  StrCmp $VisaprepValue "" done
    WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" $VisaprepText $VisaprepValue
    !insertmacro VisaprepFlush
    DeleteRegValue HKLM "${VISAPREP_OLD_KEY}" $VisaprepText
  done:
FunctionEnd
!endif

; Sets another company's library in the place aside. The record says
; "pending" first, so that a run cut off while visaprep works still puts
; the library back; then "1" where the library went, or where visaprep
; copied it but could not delete it (held open): its copy with the same
; date and size is there, and the engine's file goes over it. A library
; that stays, uncopied, is not the record's.
Function ${UN}VisaprepSetAside
  StrCpy $VisaprepFound ""
  IfFileExists "$VisaprepSystem\visa32.dll" 0 +2
    StrCpy $VisaprepFound 1
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue "" 0 +3
  StrCmp $VisaprepFound 1 0 +2
    WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}" pending
  !insertmacro VisaprepFlush
  StrCpy $VisaprepVerb RemoveVisa32
  Call ${UN}VisaprepRun
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue pending 0 recorded
    IfFileExists "$VisaprepSystem\visa32.dll" 0 aside
      StrCpy $VisaprepText "="
      Call ${UN}VisaprepCopies
      StrCmp $VisaprepText 1 aside
      DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
      Goto recorded
    aside:
    WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}" 1
  recorded:
  !insertmacro VisaprepFlush
FunctionEnd

; Where the library went, it goes back once the place is empty again, and
; the record with it; a record of a library still away stays.
Function ${UN}VisaprepPutBack
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  StrCmp $VisaprepValue "" done
  IfFileExists "$VisaprepSystem\visa32.dll" 0 empty
    !insertmacro VisaprepDetail "the library set aside stays aside while $VisaprepSystem\visa32.dll is there"
    Goto done
  empty:
    ; What comes into the place now is the other company's library.
    DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}"
    !insertmacro VisaprepFlush
    StrCpy $VisaprepVerb RestoreVisa32
    Call ${UN}VisaprepRun
    IfFileExists "$VisaprepSystem\visa32.dll" 0 missing
      DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
      !insertmacro VisaprepDetail "put the library set aside back as $VisaprepSystem\visa32.dll"
      Goto done
    missing:
      !insertmacro VisaprepDetail "put no library back as $VisaprepSystem\visa32.dll; the record of the one set aside stays for a later run"
  done:
FunctionEnd
!macroend
!insertmacro VisaprepRunBody ""
!insertmacro VisaprepRunBody "un."

; The CompanyName of the library in the place, in $VisaprepText, read as
; visaprep reads it: the code page of the first translation, language 0409
; first, then 0000; "" when it cannot be read.
Function VisaprepCompany
  StrCpy $VisaprepText ""
  System::Call 'version::GetFileVersionInfoSizeW(w "$VisaprepSystem\visa32.dll", p 0) i.s'
  Pop $VisaprepHigh
  IntCmp $VisaprepHigh 0 done done
  System::Alloc $VisaprepHigh
  Pop $VisaprepHandle
  ; Where VerQueryValueW writes the address of what it found.
  System::Alloc 8
  Pop $VisaprepSearch
  System::Call 'version::GetFileVersionInfoW(w "$VisaprepSystem\visa32.dll", i 0, i $VisaprepHigh, p $VisaprepHandle) i.s'
  Pop $VisaprepLow
  IntCmp $VisaprepLow 0 free
  System::Call 'version::VerQueryValueW(p $VisaprepHandle, w "\VarFileInfo\Translation", p $VisaprepSearch, *i 0) i.s'
  Pop $VisaprepLow
  IntCmp $VisaprepLow 0 free
  System::Call '*$VisaprepSearch(p .s)'
  Pop $VisaprepLow
  System::Call '*$VisaprepLow(&i2, &i2 .s)'
  Pop $VisaprepLow
  IntFmt $VisaprepLow "%04X" $VisaprepLow
  StrCpy $VisaprepValue 0409
  query:
    System::Call 'version::VerQueryValueW(p $VisaprepHandle, w "\StringFileInfo\$VisaprepValue$VisaprepLow\CompanyName", p $VisaprepSearch, *i 0) i.s'
    Pop $VisaprepHigh
    IntCmp $VisaprepHigh 0 0 found found
    StrCmp $VisaprepValue 0000 free
    StrCpy $VisaprepValue 0000
    Goto query
  found:
  System::Call '*$VisaprepSearch(p .s)'
  Pop $VisaprepLow
  System::Call 'kernel32::lstrcpynW(w .s, p $VisaprepLow, i 256)'
  Pop $VisaprepText
  free:
  System::Free $VisaprepSearch
  System::Free $VisaprepHandle
  done:
FunctionEnd

; An uninstaller still putting a library back would meet this installation
; in the place: it is waited for, and the installation stops before
; anything of its own while it is still at work.
Function VisaprepWaitForUninstall
  StrCpy $VisaprepText 0
  loop:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${VISAPREP_MUTEX}") p.s'
    Pop $VisaprepHandle
    StrCmp $VisaprepHandle 0 free
    System::Call 'kernel32::CloseHandle(p $VisaprepHandle)'
    IntCmp $VisaprepText ${VISAPREP_UNINSTALL_WAIT}0 0 0 busy
    Sleep 100
    IntOp $VisaprepText $VisaprepText + 1
    Goto loop
  busy:
    Abort "An uninstallation is still putting a VISA library back; run this installation again once it has finished."
  free:
FunctionEnd

Function VisaprepBackUp
  Call VisaprepPlace
  Call VisaprepWaitForUninstall
  Call VisaprepAdopt
  ReadRegStr $VisaprepFramework ${VISAPREP_VIEW} "SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion" "FRAMEWORK_PATH"
  StrCpy $VisaprepConfiguration "$VisaprepFrameworkTavrex\visaconf.ini"
  StrCpy $VisaprepBackup "$VisaprepFrameworkTavrex\visaini.bak"
  ; A run cut off after its backup: that backup is the site's configuration,
  ; and this run's backup would overwrite it, so it goes back first, and so
  ; does a library that run set aside before its own was in. Without
  ; FRAMEWORK_PATH that backup cannot be found: the mark stays for a run
  ; that can.
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_MARK_VALUE}"
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
  StrCmp $VisaprepFramework "" 0 framework
    !insertmacro VisaprepDetail "no FRAMEWORK_PATH: the VISA configuration is left alone"
    Goto library
  framework:
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
  WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_MARK_VALUE}" 1
  StrCpy $VisaprepBackedUp 1
  library:
  Call VisaprepSetAside
  !insertmacro VisaprepStopUnlessStarted
  ; The place is the installer's once it is empty, or holds the library
  ; that an earlier installation put there in place of one set aside.
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
  IfFileExists "$VisaprepSystem\visa32.dll" 0 installed
    StrCmp $VisaprepValue 1 0 kept
    StrCmp $VisaprepFound 1 0 kept
    StrCpy $VisaprepText "="
    Call VisaprepCopies
    StrCmp $VisaprepText 1 0 kept
      !insertmacro VisaprepDetail "copied $VisaprepSystem\visa32.dll aside; it is in use and stays until the installer's file replaces it"
      Goto own
    kept:
    ; Only a library of visaprep's kept company may stay under the
    ; installer's file: any other that visaprep could not name safely (no
    ; company to read, a character a file name cannot hold, no free name)
    ; would be overwritten, its bytes nowhere else.
    Call VisaprepCompany
    StrCmpS $VisaprepText "Quarvello" ours
      StrCpy $VisaprepText "made by $VisaprepText"
      StrCmp $VisaprepText "made by " 0 +2
        StrCpy $VisaprepText "no company name can be read from it"
      Abort "$VisaprepSystem\visa32.dll is a VISA library that visaprep could not set aside ($VisaprepText), so the installation stops before its files would replace it. Move it out of the way yourself, then run the installation again."
    ours:
    !insertmacro VisaprepDetail "kept $VisaprepSystem\visa32.dll in place"
    StrCmp $VisaprepValue 1 0 waited
    Goto own
  installed:
    StrCmp $VisaprepFound 1 0 nothing
      StrCpy $VisaprepText ""
      Call VisaprepCopies
      !insertmacro VisaprepDetail "set $VisaprepSystem\visa32.dll aside; set-aside copies: $VisaprepText"
      Goto own
    nothing:
      !insertmacro VisaprepDetail "no $VisaprepSystem\visa32.dll to set aside"
  own:
    WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}" 1
    !insertmacro VisaprepFlush
  waited:
  ; Right before the files: an uninstaller started meanwhile must not find
  ; them half laid.
  Call VisaprepWaitForUninstall
FunctionEnd

; Puts the configuration back once, and only after this run's backup; the
; mark goes once no backup is left. The library in the place, once the
; installer's, is recorded with its date and size. After a failure before
; the library was in, the library that was set aside goes back too.
Function VisaprepRestore
  Call VisaprepPlace
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
    DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_MARK_VALUE}"
    !insertmacro VisaprepDetail $VisaprepText
  library:
  ReadRegStr $VisaprepValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}"
  StrCmp $VisaprepValue "" putBack
    StrCpy $VisaprepValue "$VisaprepSystem\visa32.dll"
    Call VisaprepStamp
    StrCmp $VisaprepValue "" putBack
    WriteRegStr ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}" $VisaprepValue
  putBack:
  Call VisaprepPutBack
  DeleteRegKey /ifempty ${VISAPREP_ROOT} "${VISAPREP_KEY}"
FunctionEnd

; The installer's own library goes, while the record says it is the one
; in the place: it has the date and size that the installation left there.
; Another company's library that took the place since stays, and the copy
; the installation set aside stays aside; otherwise that copy goes back. A
; record still without a date and size (an installation cut off before its
; files were in) has visaprep set another company's library aside first,
; as the copy made last, to come back. A library that stays in the place,
; or could not be put back, keeps the records for a later installation and
; its uninstall.
Function un.VisaprepUninstall
  Call un.VisaprepPlace
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${VISAPREP_MUTEX}") p.s'
  Pop $VisaprepMutex
  Call un.VisaprepAdopt
  IfFileExists "$VisaprepSystem\visa32.dll" 0 putBack
  ReadRegStr $VisaprepText ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}"
  StrCmp $VisaprepText "" theirs
  StrCmp $VisaprepText 1 0 stamped
    Call un.VisaprepSetAside
    StrCmp $VisaprepStarted 0 0 started
      !insertmacro VisaprepDetail "$VisaprepSystem\visa32.dll stays, and so do the records, for a later run"
      Goto done
    started:
    IfFileExists "$VisaprepSystem\visa32.dll" own putBack
  stamped:
  StrCpy $VisaprepValue "$VisaprepSystem\visa32.dll"
  Call un.VisaprepStamp
  StrCmp $VisaprepValue $VisaprepText own
  theirs:
    ; Another installer laid it after this installation: the machine uses
    ; it, and the copies set aside stay as they are.
    !insertmacro VisaprepDetail "$VisaprepSystem\visa32.dll is not the installer's: it stays"
    DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}"
    DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_LIBRARY_VALUE}"
    Goto done
  own:
    Delete "$VisaprepSystem\visa32.dll"
    IfFileExists "$VisaprepSystem\visa32.dll" 0 deleted
      !insertmacro VisaprepDetail "could not delete the installer's $VisaprepSystem\visa32.dll: the records stay, and the next installation's uninstall puts the library set aside back"
      Goto done
    deleted:
    DeleteRegValue ${VISAPREP_ROOT} "${VISAPREP_KEY}" "${VISAPREP_INSTALLED_VALUE}"
    !insertmacro VisaprepDetail "deleted the installer's $VisaprepSystem\visa32.dll"
  putBack:
  Call un.VisaprepPutBack
  done:
  DeleteRegKey /ifempty ${VISAPREP_ROOT} "${VISAPREP_KEY}"
  System::Call 'kernel32::CloseHandle(p $VisaprepMutex)'
FunctionEnd

!endif
