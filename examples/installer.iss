; A VISA library installer with visaprep around its files, and its uninstaller.
;   ISCC.exe /DVISAPREP=path\visaprep.exe /DPAYLOAD=folder installer.iss
; PAYLOAD holds the library's visa32.dll and visaconf.ini; OUTFILE may be
; set too, VERSION (default 1.0; a later one installs over an earlier
; one), and MODE64 to install in 64-bit mode where Windows is 64-bit.
; EMULATED, RUN_SEES_CONFIGURATION, AUTHORS_KEY, NAME_WITH_VERSION and the
; *_AFTER_FILES defines are the tests' own.

#ifndef PAYLOAD
  #define PAYLOAD "payload"
#endif
#ifndef OUTFILE
  #define OUTFILE "visa-library"
#endif
#ifndef VERSION
  #define VERSION "1.0"
#endif

[Setup]
; The installation's identity from version to version: Windows' list of
; programs and visaprep's records go by it.
AppId={{4B7E0D2A-91C3-4E56-A8F1-2D6C9B3E5A70}
#ifdef NAME_WITH_VERSION
AppName=VISA library {#VERSION}
#else
AppName=VISA library
#endif
AppVersion={#VERSION}
PrivilegesRequired=admin
DefaultDirName={autopf}\VISA library
DisableDirPage=yes
OutputDir=.
OutputBaseFilename={#OUTFILE}
#ifdef MODE64
ArchitecturesInstallIn64BitMode=x64compatible
#endif
; The tests' stand-in for a compiler run under qemu-user emulation, which
; survives no compression that runs several threads at once.
#ifdef EMULATED
LZMAMatchFinder=HC
InternalCompressLevel=none
#endif

; The tests' stand-in for a check of the author's own that stops the
; installation before anything is saved or set aside.
#ifdef PREFLIGHT_STOPS
  #define VISAPREP_PREFLIGHT "Preflight"
#endif
#include "..\installer\visaprep.isi"

[Files]
; A 32-bit library, where 32-bit programs look for it in either mode.
Source: "{#PAYLOAD}\visa32.dll"; DestDir: "{syswow64}"; Flags: ignoreversion
Source: "{#PAYLOAD}\visaconf.ini"; DestDir: "{code:FrameworkDir}Tavrex"; Check: FrameworkKnown; \
  Flags: ignoreversion uninsneveruninstall
; The tests' stand-ins for a failure and for a cut, once the files are in.
#ifdef FAIL_AFTER_FILES
Source: "{tmp}\no-such-file"; DestDir: "{tmp}"; Flags: external
#endif
#ifdef PAUSE_AFTER_FILES
Source: "{#VISAPREP}"; DestDir: "{tmp}"; DestName: "paused"; AfterInstall: Sleep(3600000)
#endif

; The tests' stand-in for an installer's own settings under its name.
#ifdef AUTHORS_KEY
[Registry]
Root: HKLM; Subkey: "Software\VISA library"; ValueType: string; ValueName: "InstallDir"; \
  ValueData: "{app}"; Flags: uninsdeletekey
#endif

; The tests' stand-in for a program that reads the configuration as soon
; as the installation starts it.
#ifdef RUN_SEES_CONFIGURATION
[Run]
Filename: "{cmd}"; Parameters: "/c copy ""{code:FrameworkDir}Tavrex\visaconf.ini"" ""{app}\seen.ini"""; \
  Flags: runhidden; Check: FrameworkKnown
[UninstallDelete]
Type: files; Name: "{app}\seen.ini"
#endif

[Code]
// The framework directory in the 32-bit registry view, in either mode.
function FrameworkDir(Param: String): String;
begin
  if not RegQueryStringValue(HKLM32, 'SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion',
                             'FRAMEWORK_PATH', Result) then
    Result := '';
end;

function FrameworkKnown(): Boolean;
begin
  Result := FrameworkDir('') <> '';
end;

procedure DeinitializeSetup();
begin
  Log('Setup ends.');
end;

#ifdef PREFLIGHT_STOPS
function Preflight(): String;
begin
  Result := 'This machine is not ready for the VISA library.';
end;
#endif
