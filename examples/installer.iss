; An Inno Setup 6 installer that lays down a VISA library with visaprep
; around it: before its own files go in, it backs up the site's VISA
; configuration and sets aside another company's visa32.dll; afterwards it
; puts the site's configuration back over the default it installed. If the
; installation fails or is cancelled after the backup, it puts the
; configuration back all the same, so no backup outlives the run that made
; it: a second run's "BackUp" would otherwise copy this installer's default
; over it.
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

[Code]
var
  BackedUp: Boolean;  // from the backup until the configuration is put back

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
  RunVisaprep('BackUp RemoveVisa32');
  BackedUp := True;
  Result := '';
end;

procedure RestoreConfiguration();
begin
  if BackedUp then begin
    RunVisaprep('Copy');
    BackedUp := False;
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
