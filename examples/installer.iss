; An Inno Setup 6 installer that lays down a VISA library with visaprep
; around it: before its own files go in, it backs up the site's VISA
; configuration and sets aside another company's visa32.dll; afterwards it
; puts the site's configuration back over the default it installed. If the
; installation fails or is cancelled after the backup, it puts the
; configuration back all the same, so no backup outlives the run that made
; it: a second run's "BackUp" would otherwise copy this installer's default
; over it. A run cut off where no handler runs (a power cut, a killed
; process) leaves a mark in the registry, and the next run puts that run's
; backup back first; a visaini.bak without the mark is a stranger's, and is
; never put back.
;
;   ISCC.exe /DVISAPREP=path\visaprep.exe /DPAYLOAD=folder installer.iss
;
; PAYLOAD holds this installer's own visa32.dll and visaconf.ini; OUTFILE
; (the name of the installer, without .exe) may be set too. Setup runs in
; 32-bit mode, as visaprep.exe does: both see the 32-bit system directory
; and registry view on 64-bit Windows, where your library goes too.

#ifndef VISAPREP
  #define VISAPREP "visaprep.exe"
#endif
#ifndef PAYLOAD
  #define PAYLOAD "payload"
#endif
#ifndef OUTFILE
  #define OUTFILE "visa-library"
#endif
; Where the mark lives, in the 32-bit registry view under HKLM: from the
; backup until the configuration is back.
#ifndef MARK_KEY
  #define MARK_KEY "Software\VISA library"
#endif

[Setup]
AppName=VISA library
AppVersion=1.0
; visaprep writes to the system directory and the framework directory.
PrivilegesRequired=admin
CreateAppDir=no
Uninstallable=no
OutputDir=.
OutputBaseFilename={#OUTFILE}

[Files]
Source: "{#VISAPREP}"; DestName: "visaprep.exe"; Flags: dontcopy
Source: "{#PAYLOAD}\visa32.dll"; DestDir: "{sys}"; Flags: ignoreversion
Source: "{#PAYLOAD}\visaconf.ini"; DestDir: "{code:FrameworkPath}Tavrex"; \
  Check: HasFrameworkPath; Flags: ignoreversion
#ifdef FAIL_AFTER_FILES
; The tests' stand-in for any failure once this installer's files are in.
Source: "{tmp}\no-such-file"; DestDir: "{tmp}"; Flags: external
#endif
#ifdef PAUSE_AFTER_FILES
; The tests' stand-in for a cut: waits, its files in, to be killed.
Source: "{#VISAPREP}"; DestDir: "{tmp}"; DestName: "paused"; AfterInstall: Sleep(3600000)
#endif

[Code]
const
  MarkKey = '{#MARK_KEY}';
  MarkValue = 'visaprep backup';

var
  BackedUp: Boolean;  // from the backup until the configuration is put back

function RegFlushKey(Key: Cardinal): Integer;
  external 'RegFlushKey@advapi32.dll stdcall';

function FrameworkPath(Param: String): String;
begin
  if not RegQueryStringValue(HKLM, 'SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion',
                             'FRAMEWORK_PATH', Result) then
    Result := '';
end;

function HasFrameworkPath(): Boolean;
begin
  Result := FrameworkPath('') <> '';
end;

function BackupFile(): String;
begin
  Result := FrameworkPath('') + 'Tavrex\visaini.bak';
end;

// Its exit status is always 0: the files tell what it did.
procedure RunVisaprep(Verb: String);
var
  Code: Integer;
begin
  Exec(ExpandConstant('{tmp}\visaprep.exe'), Verb, '', SW_HIDE, ewWaitUntilTerminated, Code);
end;

function PrepareToInstall(var NeedsRestart: Boolean): String;
begin
  ExtractTemporaryFile('visaprep.exe');
  Result := '';
  // A run cut off after its backup: that backup is the site's configuration,
  // and this run's backup would overwrite it, so it goes back first.
  if RegValueExists(HKLM, MarkKey, MarkValue) then begin
    RunVisaprep('Copy');
    if FileExists(BackupFile()) then begin
      Result := 'An interrupted installation saved the VISA configuration in ' + BackupFile() +
                ', and it could not be put back.';
      exit;
    end;
  end;
  RunVisaprep('BackUp RemoveVisa32');
  RegWriteStringValue(HKLM, MarkKey, MarkValue, '1');
  // Windows writes the registry to the disk lazily; the mark must be there
  // before this installer's files are. $80000002 is HKEY_LOCAL_MACHINE.
  RegFlushKey($80000002);
  BackedUp := True;
end;

procedure RestoreConfiguration();
begin
  if BackedUp then begin
    RunVisaprep('Copy');
    BackedUp := False;
    // A backup still there was not put back: the mark stays, for the next run.
    if not FileExists(BackupFile()) then begin
      RegDeleteValue(HKLM, MarkKey, MarkValue);
      RegDeleteKeyIfEmpty(HKLM, MarkKey);
    end;
  end;
end;

procedure CurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssPostInstall then
    RestoreConfiguration();
end;

// Setup always ends here, also after a failed file, a cancel or an error
// after PrepareToInstall; {tmp}, and visaprep.exe in it, still exist then.
procedure DeinitializeSetup();
begin
  RestoreConfiguration();
end;
