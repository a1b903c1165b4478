; Driver setup program for Inno Setup 6.3 or later, a 32-bit Setup:
; installs one driver package onto one device through QUORVANT.dll. On
; 64-bit Windows the library hands the installation to its helper, shipped
; beside it: QUORVANT64.exe on x64 Windows, QUORVANTA64.exe on ARM64
; Windows. installer/driver-setup-inno7.iss builds the 64-bit
; Setup of Inno Setup 7 from this script. Reuse it unchanged through
; defines:
;
;   ISCC /DQV_DIST=<dist folder> /DQV_PACKAGE=<driver package folder>
;        /DQV_INF=<INF file name inside it> /DQV_COMPACT_ID=<compact ID>
;        /DQV_OUTFILE=<setup file name without .exe> driver-setup-inno6.iss
;
; Silent: setup.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG="<log file>"
; (the script shows no message box when silent; Inno's own ones need
; /SUPPRESSMSGBOXES). The exit status is installer/driver-setup.nsi's (see
; the constants in [Code] and quorvant.isi); Inno refuses a refused
; elevation itself, with its own message and exit code.

#ifndef QV_DIST
  #error Define QV_DIST, QV_PACKAGE, QV_INF, QV_COMPACT_ID and QV_OUTFILE (ISCC /D...)
#endif

[Setup]
AppName=Driver setup
AppVersion=1.0
PrivilegesRequired=admin
; Device drivers: the systems whose own architecture the package serves,
; not those that emulate it. The x64 Setup runs emulated on ARM64 Windows 11.
#ifdef QV_X64
SetupArchitecture=x64
ArchitecturesAllowed=x64os or arm64
ArchitecturesInstallIn64BitMode=x64os or arm64
#else
ArchitecturesAllowed=x86os or x64os or arm64
#endif
; {app} is the private folder under the Windows directory; Setup installs
; nothing that stays.
DefaultDirName={code:PrivateFolder}
DisableDirPage=yes
UsePreviousAppDir=no
DisableProgramGroupPage=yes
Uninstallable=no
OutputDir=.
OutputBaseFilename={#QV_OUTFILE}

[Files]
#ifdef QV_X64
Source: "{#QV_DIST}\x64\QUORVANT.dll"; DestDir: "{app}"; Check: AnsiPathUsable
#else
Source: "{#QV_DIST}\QUORVANT.dll"; DestDir: "{app}"; Check: AnsiPathUsable
Source: "{#QV_DIST}\QUORVANT64.exe"; DestDir: "{app}"; Check: AnsiPathUsable
#endif
; ARM64 Windows: both libraries hand the call to the ARM64 helper.
Source: "{#QV_DIST}\QUORVANTA64.exe"; DestDir: "{app}"; Check: AnsiPathUsable
Source: "{#QV_PACKAGE}\*"; DestDir: "{app}\package"; Flags: recursesubdirs; Check: AnsiPathUsable

[Code]
// The library's result codes, their texts and exit statuses.
#include AddBackslash(QV_DIST) + "installer\quorvant.isi"

// Exit status: a result code's own (quorvant.isi's <name>_EXIT, the same
// numbers as qvinst install); for a device not connected yet, as installed
// (or needing a restart) when the package is staged, as -1 when it cannot
// be. The setup's own:
const
  ExitUnknownResult = 30; // a result outside the library's table
  ExitNoLibrary = 40;     // the library could not be loaded or called
  ExitNoAnsiPath = 41;    // no folder whose ANSI name names the files

var
  PrivateDir: String;
  Status: Integer;
  RestartWanted: Boolean;

// int __stdcall qv7_installdevice(const char *inf_path, const char *compact_id)
function qv7_installdevice(InfPath, CompactId: AnsiString): Integer;
  external 'qv7_installdevice@{app}\QUORVANT.dll stdcall delayload setuponly';

// The library reads its paths as ANSI text and finds its helper through
// its own ANSI file name: a private folder under the Windows directory
// rather than {tmp}, whose name may lie outside the ANSI code page.
function PrivateFolder(Param: String): String;
var
  Serial: Integer;
begin
  if PrivateDir = '' then
  begin
    PrivateDir := ExpandConstant('{win}\Temp\qv-setup-') + GetDateTimeString('yyyymmddhhnnss', #0, #0);
    Serial := 0;
    while DirExists(PrivateDir + '-' + IntToStr(Serial)) do
      Serial := Serial + 1;
    PrivateDir := PrivateDir + '-' + IntToStr(Serial);
  end;
  Result := PrivateDir;
end;

// Whether the private folder's name survives the conversion to the ANSI
// code page and back.
function AnsiPathUsable(): Boolean;
var
  Path: String;
begin
  Path := PrivateFolder('') + '\package\{#QV_INF}';
  Result := String(AnsiString(Path)) = Path;
end;

// Stages the package in the driver store with the system's pnputil
// ({sysnative}: the native one on 64-bit Windows), so that Windows
// installs it when the device is connected.
procedure StagePackage(Inf: String);
var
  PnpUtil: String;
  PnpUtilStatus: Integer;
begin
  PnpUtil := ExpandConstant('{sysnative}\pnputil.exe');
  Log('staging: ' + PnpUtil + ' /add-driver ' + Inf);
  if not Exec(PnpUtil, '/add-driver "' + Inf + '"', ExpandConstant('{win}'), SW_HIDE,
    ewWaitUntilTerminated, PnpUtilStatus) then
    PnpUtilStatus := -1;
  if PnpUtilStatus = 0 then
  begin
    Log('staged; the driver is used when the device is connected');
    Status := QV7_INSTALLED_EXIT;
  end
  else if PnpUtilStatus = 3010 then
  begin
    Log('staged; Windows must restart to complete it');
    Status := QV7_INSTALLED_NEEDS_RESTART_EXIT;
  end
  else
  begin
    Log('pnputil failed (' + IntToStr(PnpUtilStatus) + '): the package is not staged');
    Status := QV7_E_NO_DEVICE_EXIT;
  end;
end;

procedure InstallDriver();
var
  Inf, Meaning: String;
  Code, LastError: Integer;
begin
  Inf := ExpandConstant('{app}\package\{#QV_INF}');
  // The helper inherits this as its current folder: never {app}, which is
  // removed at the end.
  SetCurrentDir(ExpandConstant('{win}'));
  try
    Code := qv7_installdevice(Inf, '{#QV_COMPACT_ID}');
    LastError := DLLGetLastError();
  except
    Status := ExitNoLibrary;
    Log('the library could not be called: ' + GetExceptionMessage());
    Exit;
  end;
  UnloadDLL(ExpandConstant('{app}\QUORVANT.dll'));
  if not QvDescribeResult(Code, Meaning, Status) then
  begin
    Meaning := 'a result outside the library''s table';
    Status := ExitUnknownResult;
  end;
  Log('qv7_installdevice({#QV_INF}, {#QV_COMPACT_ID}) returned ' + IntToStr(Code) + ' (' +
    Meaning + '); last error ' + Format('0x%.8x', [LastError]));
  if Code = QV7_E_NO_DEVICE then
    StagePackage(Inf);
  RestartWanted := Status = QV7_INSTALLED_NEEDS_RESTART_EXIT;
  if (Status <> QV7_INSTALLED_EXIT) and not RestartWanted and not WizardSilent() then
    MsgBox('The driver was not installed: ' + Meaning + ' (code ' + IntToStr(Code) + ').',
      mbError, MB_OK);
end;

procedure CurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssPostInstall then
  begin
    if AnsiPathUsable() then
      InstallDriver()
    else
    begin
      Status := ExitNoAnsiPath;
      Log('the ANSI form of ' + PrivateFolder('') + ' does not name its files');
    end;
    if not DelTree(PrivateFolder(''), True, True, True) then
      Log('cannot remove ' + PrivateFolder(''));
    Log('exit status ' + IntToStr(Status));
  end;
end;

// Silent: never restarts by itself; the caller sees 3010.
function NeedRestart(): Boolean;
begin
  Result := RestartWanted and not WizardSilent();
end;

function GetCustomSetupExitCode(): Integer;
begin
  Result := Status;
end;
