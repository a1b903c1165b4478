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
; Optional: /DQV_PRODUCT_NAME=, /DQV_PRODUCT_VERSION=, /DQV_PUBLISHER= for
; the Programs and Features entry and the install folder
; ({autopf}\<product name>), which holds Inno's uninstaller and the
; qvinst.exe that stages and removes the package (with the native
; x64\qvinst.exe and arm64\qvinst.exe it hands over to under WOW64).
;
; Silent: setup.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG="<log file>"
; (the script shows no message box when silent; Inno's own ones need
; /SUPPRESSMSGBOXES). The exit status is installer/driver-setup.nsi's (see
; the constants in [Code] and quorvant.isi); Inno refuses a refused
; elevation itself, with its own message and exit code. The uninstaller
; (the entry's QuietUninstallString) removes the recorded package with
; qvinst remove; Inno's uninstaller ends with Inno's own exit codes, so
; a failure shows as a non-zero status with everything kept.

#ifndef QV_DIST
  #error Define QV_DIST, QV_PACKAGE, QV_INF, QV_COMPACT_ID and QV_OUTFILE (ISCC /D...)
#endif

#ifndef QV_PRODUCT_NAME
  #define QV_PRODUCT_NAME "Driver setup"
#endif
#ifndef QV_PRODUCT_VERSION
  #define QV_PRODUCT_VERSION "1.0"
#endif
#ifndef QV_PUBLISHER
  #define QV_PUBLISHER "Driver publisher"
#endif

[Setup]
AppName={#QV_PRODUCT_NAME}
AppVersion={#QV_PRODUCT_VERSION}
AppPublisher={#QV_PUBLISHER}
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
; {app} holds the uninstaller and qvinst; the library and the package go
; to a private folder under the Windows directory and do not stay.
DefaultDirName={autopf}\{#QV_PRODUCT_NAME}
DisableDirPage=yes
DisableProgramGroupPage=yes
Uninstallable=yes
OutputDir=.
OutputBaseFilename={#QV_OUTFILE}

[Files]
#ifdef QV_X64
Source: "{#QV_DIST}\x64\QUORVANT.dll"; DestDir: "{code:PrivateFolder}"; Flags: deleteafterinstall; Check: AnsiPathUsable
Source: "{#QV_DIST}\x64\qvinst.exe"; DestDir: "{app}"
#else
Source: "{#QV_DIST}\QUORVANT.dll"; DestDir: "{code:PrivateFolder}"; Flags: deleteafterinstall; Check: AnsiPathUsable
Source: "{#QV_DIST}\QUORVANT64.exe"; DestDir: "{code:PrivateFolder}"; Flags: deleteafterinstall; Check: AnsiPathUsable
Source: "{#QV_DIST}\qvinst.exe"; DestDir: "{app}"
Source: "{#QV_DIST}\x64\qvinst.exe"; DestDir: "{app}\x64"
Source: "{#QV_DIST}\arm64\qvinst.exe"; DestDir: "{app}\arm64"
#endif
; ARM64 Windows: both libraries hand the call to the ARM64 helper.
Source: "{#QV_DIST}\QUORVANTA64.exe"; DestDir: "{code:PrivateFolder}"; Flags: deleteafterinstall; Check: AnsiPathUsable
Source: "{#QV_PACKAGE}\*"; DestDir: "{code:PrivateFolder}\package"; Flags: recursesubdirs deleteafterinstall; Check: AnsiPathUsable

[UninstallDelete]
; Written by [Code] after staging.
Type: files; Name: "{app}\published-name.txt"

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
  ExitNoQvinst = 42;      // qvinst.exe could not be started

var
  PrivateDir: String;
  Status: Integer;
  RestartWanted: Boolean;

// int __stdcall qv7_installdevice(const char *inf_path, const char *compact_id)
function qv7_installdevice(InfPath, CompactId: AnsiString): Integer;
  external 'qv7_installdevice@{code:PrivateFolder}\QUORVANT.dll stdcall delayload setuponly';

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

// Runs {app}\qvinst.exe with Arguments from the Windows directory and logs
// its exit status; False when it could not be started. Its output goes to
// a file in {tmp}, read back for the published name it printed.
function RunQvinst(Arguments: String; var ExitStatus: Integer; var Published: String): Boolean;
var
  Output: String;
  Lines: TArrayOfString;
  I: Integer;
begin
  Published := '';
  Output := ExpandConstant('{tmp}\qvinst-output.txt');
  Log('qvinst ' + Arguments);
  Result := Exec(ExpandConstant('{cmd}'), '/c ""' + ExpandConstant('{app}\qvinst.exe') + '" ' +
    Arguments + ' > "' + Output + '""', ExpandConstant('{win}'), SW_HIDE, ewWaitUntilTerminated,
    ExitStatus);
  if not Result then
    Exit;
  Log('qvinst ended with ' + IntToStr(ExitStatus));
  if LoadStringsFromFile(Output, Lines) then
    for I := 0 to GetArrayLength(Lines) - 1 do
    begin
      Log(Lines[I]);
      if Pos('published name: ', Lines[I]) = 1 then
        Published := Copy(Lines[I], Length('published name: ') + 1, MaxInt);
    end;
  if Published = '-' then
    Published := '';
  DeleteFile(Output);
end;

// Stages the package in the driver store with qvinst stage (Windows 7 and
// later), so that Windows installs it when the device is connected; after
// an installation it finds the package staged already. Records the
// published name in {app}, so that the uninstaller removes exactly that
// package. False when nothing is staged.
function RecordPackage(Inf: String): Boolean;
var
  StageStatus: Integer;
  Published: String;
begin
  Result := RunQvinst('stage "' + Inf + '"', StageStatus, Published) and (StageStatus = 0) and
    (Published <> '');
  if Result then
    Result := SaveStringToFile(ExpandConstant('{app}\published-name.txt'), Published, False);
  if Result then
    Log('recorded: ' + Published)
  else
    Log('qvinst stage failed (' + IntToStr(StageStatus) + '): the package is not staged');
end;

procedure InstallDriver();
var
  Inf, Meaning: String;
  Code, LastError: Integer;
begin
  Inf := PrivateFolder('') + '\package\{#QV_INF}';
  // The helper inherits this as its current folder: never the private
  // folder, which is removed at the end.
  SetCurrentDir(ExpandConstant('{win}'));
  try
    Code := qv7_installdevice(Inf, '{#QV_COMPACT_ID}');
    LastError := DLLGetLastError();
  except
    Status := ExitNoLibrary;
    Log('the library could not be called: ' + GetExceptionMessage());
    Exit;
  end;
  UnloadDLL(PrivateFolder('') + '\QUORVANT.dll');
  if not QvDescribeResult(Code, Meaning, Status) then
  begin
    Meaning := 'a result outside the library''s table';
    Status := ExitUnknownResult;
  end;
  Log('qv7_installdevice({#QV_INF}, {#QV_COMPACT_ID}) returned ' + IntToStr(Code) + ' (' +
    Meaning + '); last error ' + Format('0x%.8x', [LastError]));
  if (Code = QV7_E_NO_DEVICE) or (Status = QV7_INSTALLED_EXIT) or
    (Status = QV7_INSTALLED_NEEDS_RESTART_EXIT) then
  begin
    if not RecordPackage(Inf) then
    begin
      if Code = QV7_E_NO_DEVICE then
        Status := QV7_E_NO_DEVICE_EXIT
      else
        Status := ExitNoQvinst;
    end
    else if Code = QV7_E_NO_DEVICE then
    begin
      Log('staged; the driver is used when the device is connected');
      Status := QV7_INSTALLED_EXIT;
    end;
  end;
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

// The uninstaller: removes the recorded package (the driver from every
// device that uses it, then the package from the driver store) with
// qvinst remove before Inno removes {app} and the entry; when that fails,
// nothing is removed, so that it can be run again.
var
  RemovalNeedsRestart: Boolean;

function InitializeUninstall(): Boolean;
var
  Published: AnsiString;
  Ignored: String;
  RemoveStatus: Integer;
begin
  Result := True;
  if not LoadStringFromFile(ExpandConstant('{app}\published-name.txt'), Published) then
  begin
    Log('no package recorded: nothing to remove');
    Exit;
  end;
  if not RunQvinst('remove "' + String(Published) + '"', RemoveStatus, Ignored) then
    RemoveStatus := ExitNoQvinst;
  RemovalNeedsRestart := RemoveStatus = 3010;
  Result := (RemoveStatus = 0) or RemovalNeedsRestart;
  if not Result then
  begin
    Log('not removed (exit status ' + IntToStr(RemoveStatus) + '); everything stays for another attempt');
    if not UninstallSilent() then
      MsgBox('The driver was not removed (exit status ' + IntToStr(RemoveStatus) +
        '); run the uninstaller again.', mbError, MB_OK);
  end;
end;

// Silent (/VERYSILENT /NORESTART): never restarts by itself.
function UninstallNeedRestart(): Boolean;
begin
  Result := RemovalNeedsRestart;
end;
