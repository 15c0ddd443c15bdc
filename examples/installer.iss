; A VISA library installer with visaprep around its files.
;   ISCC.exe /DVISAPREP=path\visaprep.exe /DPAYLOAD=folder installer.iss
; PAYLOAD holds the library's visa32.dll and visaconf.ini; OUTFILE may be
; set too.

#ifndef PAYLOAD
  #define PAYLOAD "payload"
#endif
#ifndef OUTFILE
  #define OUTFILE "visa-library"
#endif

[Setup]
AppName=VISA library
AppVersion=1.0
PrivilegesRequired=admin
CreateAppDir=no
Uninstallable=no
OutputDir=.
OutputBaseFilename={#OUTFILE}

#include "..\installer\visaprep.isi"

[Files]
Source: "{#PAYLOAD}\visa32.dll"; DestDir: "{sys}"; Flags: ignoreversion
Source: "{#PAYLOAD}\visaconf.ini"; DestDir: "{reg:HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion,FRAMEWORK_PATH}Tavrex"; \
  Check: FrameworkKnown; Flags: ignoreversion
; The tests' stand-ins for a failure and for a cut, once the files are in.
#ifdef FAIL_AFTER_FILES
Source: "{tmp}\no-such-file"; DestDir: "{tmp}"; Flags: external
#endif
#ifdef PAUSE_AFTER_FILES
Source: "{#VISAPREP}"; DestDir: "{tmp}"; DestName: "paused"; AfterInstall: Sleep(3600000)
#endif

[Code]
function FrameworkKnown(): Boolean;
begin
  Result := ExpandConstant('{reg:HKLM\SOFTWARE\VXIPNP_Alliance\VXIPNP\CurrentVersion,FRAMEWORK_PATH}') <> '';
end;

procedure DeinitializeSetup();
begin
  Log('Setup ends.');
end;
