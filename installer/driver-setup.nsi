; Driver setup program, 32-bit: installs one driver package onto one device
; through QUORVANT.dll. On 64-bit Windows the library hands the installation
; to its helper, shipped beside it: QUORVANT64.exe on x64 Windows,
; QUORVANTA64.exe on ARM64 Windows. Reuse it unchanged through defines:
;
;   makensis -DQV_DIST=<dist folder> -DQV_PACKAGE=<driver package folder>
;            -DQV_INF=<INF file name inside it> -DQV_COMPACT_ID=<compact ID>
;            -DQV_OUTFILE=<setup.exe> installer/driver-setup.nsi
;
; The whole package folder is shipped (INF, .sys, .cat, co-installers).
; installer/driver-setup-amd64.nsi builds the 64-bit setup program from
; this script.
;
; Command line: /S silent (no window, never restarts Windows);
; /LOG=<file> appends the setup's log to <file>.
; Exit status: see the QV_EXIT_ defines below.

!ifndef QV_LIBRARY_FOLDER
  Unicode true
  !define QV_LIBRARY_FOLDER "${QV_DIST}"
  !define QV_WITH_X64_HELPER
!endif
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!ifndef QV_DIST | QV_PACKAGE | QV_INF | QV_COMPACT_ID | QV_OUTFILE
  !error "define QV_DIST, QV_PACKAGE, QV_INF, QV_COMPACT_ID and QV_OUTFILE (makensis -D...)"
!endif
; The library's result codes, their texts and exit statuses.
!include "${QV_DIST}\installer\quorvant.nsh"

; Exit status: a result code's own (quorvant.nsh's <name>_EXIT, the same
; numbers as qvinst install); for a device not connected yet, as installed
; (or needing a restart) when the package is staged, as -1 when it cannot
; be. The setup's own:
!define QV_EXIT_NOT_ADMIN 740     ; not run as administrator
!define QV_EXIT_UNKNOWN_RESULT 30 ; a result outside the library's table
!define QV_EXIT_NO_LIBRARY 40     ; the library could not be loaded or called
!define QV_EXIT_NO_ANSI_PATH 41   ; no folder whose ANSI name names the files

Name "Driver setup"
OutFile "${QV_OUTFILE}"
ShowInstDetails show
Page instfiles

Var LogFile  ; from /LOG=, or empty
Var Private  ; the private folder under the Windows directory
Var Status   ; the exit status

; Writes a line into the details and, with /LOG=, into the log file.
!macro QvLog text
  Push `${text}`
  Call QvLog
!macroend
Function QvLog
  Exch $R0
  Push $R1
  DetailPrint $R0
  ${If} $LogFile != ""
    FileOpen $R1 $LogFile a
    FileSeek $R1 0 END
    FileWrite $R1 "$R0$\r$\n"
    FileClose $R1
  ${EndIf}
  Pop $R1
  Pop $R0
FunctionEnd

; Ends the setup in .onInit with a message (silent: none) and a status.
!macro QvRefuse text status
  !insertmacro QvLog "${text} (exit status ${status})"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel ${status}
  Quit
!macroend

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $LogFile
  ${If} ${Errors}
    StrCpy $LogFile ""
  ${EndIf}
  UserInfo::GetAccountType
  Pop $R1
  ${If} $R1 != "Admin"
    !insertmacro QvRefuse "Installing the driver needs administrator rights." ${QV_EXIT_NOT_ADMIN}
  ${EndIf}
FunctionEnd

; Whether the ANSI form of $R9 names the same file: the text survives the
; conversion to the ANSI code page and back, and the file is found through
; it. $R8: "yes" or "no".
Function AnsiNamesFile
  System::Call 'kernel32::lstrcpynA(m .R8, m R9, i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::GetFileAttributesA(m R9) i .R7'
  ${If} $R8 S== $R9
  ${AndIf} $R7 != -1
    StrCpy $R8 "yes"
  ${Else}
    StrCpy $R8 "no"
  ${EndIf}
FunctionEnd

; Stages the package in the driver store with the system's pnputil, so that
; Windows installs it when the device is connected. A 32-bit setup on 64-bit
; Windows (x64 or ARM64) reaches the native pnputil through Sysnative.
Function StagePackage
  StrCpy $R0 "$SYSDIR\pnputil.exe"
  !if ${NSIS_PTR_SIZE} <= 4
    ${If} ${RunningX64}
      StrCpy $R0 "$WINDIR\Sysnative\pnputil.exe"
    ${EndIf}
  !endif
  !insertmacro QvLog "staging: $R0 /add-driver $Private\package\${QV_INF}"
  nsExec::ExecToStack '"$R0" /add-driver "$Private\package\${QV_INF}"'
  Pop $R1  ; exit status, or "error" when pnputil could not be started
  Pop $R2  ; its output
  !insertmacro QvLog "$R2"
  ${If} $R1 == 0
    !insertmacro QvLog "staged; the driver is used when the device is connected"
    StrCpy $Status ${QV7_INSTALLED_EXIT}
  ${ElseIf} $R1 == 3010
    !insertmacro QvLog "staged; Windows must restart to complete it"
    StrCpy $Status ${QV7_INSTALLED_NEEDS_RESTART_EXIT}
  ${Else}
    !insertmacro QvLog "pnputil failed ($R1): the package is not staged"
    StrCpy $Status ${QV7_E_NO_DEVICE_EXIT}
  ${EndIf}
FunctionEnd

Section
  ; Programs started from here (the helper, pnputil) inherit this as their
  ; current folder: never the private folder, which is removed at the end.
  SetOutPath "$WINDIR"

  ; The library reads its paths as ANSI text and finds its helper through
  ; its own ANSI file name, so everything goes to a private folder under
  ; the Windows directory rather than to TEMP, whose name may lie outside
  ; the ANSI code page.
  ClearErrors
  GetTempFileName $Private "$WINDIR\Temp"
  Delete $Private
  CreateDirectory $Private
  ${If} ${Errors}
  ${OrIfNot} ${FileExists} "$Private\*.*"
    StrCpy $Status ${QV_EXIT_NO_ANSI_PATH}
    !insertmacro QvLog "cannot create a private folder under $WINDIR\Temp"
    Goto done
  ${EndIf}
  File "/oname=$Private\QUORVANT.dll" "${QV_LIBRARY_FOLDER}\QUORVANT.dll"
  !ifdef QV_WITH_X64_HELPER
    File "/oname=$Private\QUORVANT64.exe" "${QV_DIST}\QUORVANT64.exe"
  !endif
  ; ARM64 Windows: the 32-bit library under WOW64 and the x64 library, which
  ; runs emulated there, both hand the call to the ARM64 helper.
  File "/oname=$Private\QUORVANTA64.exe" "${QV_DIST}\QUORVANTA64.exe"
  SetOutPath "$Private\package"
  File /r "${QV_PACKAGE}\*.*"
  SetOutPath "$WINDIR"

  StrCpy $0 "$Private\package\${QV_INF}"
  StrCpy $1 "${QV_COMPACT_ID}"
  StrCpy $R9 "$Private\QUORVANT.dll"
  Call AnsiNamesFile
  StrCpy $R6 $R8
  StrCpy $R9 $0
  Call AnsiNamesFile
  ${If} $R6 != "yes"
  ${OrIf} $R8 != "yes"
    StrCpy $Status ${QV_EXIT_NO_ANSI_PATH}
    !insertmacro QvLog "the ANSI form of $Private does not name its files"
    MessageBox MB_OK|MB_ICONSTOP "The driver cannot be installed from $Private: its name does not fit the system's ANSI code page." /SD IDOK
    Goto done
  ${EndIf}

  ; int __stdcall qv7_installdevice(const char *inf_path, const char *compact_id)
  ; "m": ANSI text, "i": the int result, "?e": the last error onto the
  ; stack, "?u": free the library afterwards so its folder can be removed.
  System::Call '$Private\QUORVANT.dll::qv7_installdevice(m r0, m r1) i .r2 ?eu'
  Pop $3
  IntFmt $3 "0x%08X" $3
  ${If} $2 == "error"
    StrCpy $Status ${QV_EXIT_NO_LIBRARY}
    !insertmacro QvLog "the library could not be called: $Private\QUORVANT.dll (last error $3)"
    MessageBox MB_OK|MB_ICONSTOP "The driver setup is damaged: its library cannot be called." /SD IDOK
    Goto done
  ${EndIf}

  !insertmacro QvDescribeResult $2 $4 $Status
  ${If} $4 == ""
    StrCpy $4 "a result outside the library's table"
    StrCpy $Status ${QV_EXIT_UNKNOWN_RESULT}
  ${EndIf}
  !insertmacro QvLog "qv7_installdevice(${QV_INF}, $1) returned $2 ($4); last error $3"

  ${If} $2 == ${QV7_E_NO_DEVICE}
    Call StagePackage
  ${ElseIf} $Status == ${QV7_INSTALLED_NEEDS_RESTART_EXIT}
    SetRebootFlag true
  ${ElseIf} $Status != ${QV7_INSTALLED_EXIT}
    MessageBox MB_OK|MB_ICONSTOP "The driver was not installed: $4 (code $2)." /SD IDOK
  ${EndIf}

done:
  RMDir /r $Private
  ${If} ${FileExists} "$Private\*.*"
    !insertmacro QvLog "cannot remove $Private"
  ${EndIf}
  !insertmacro QvLog "exit status $Status"
  SetErrorLevel $Status
SectionEnd

Function .onInstSuccess
  ; Silent: never restarts by itself; the caller sees 3010.
  ${If} ${RebootFlag}
    MessageBox MB_YESNO|MB_ICONQUESTION "Restart Windows now to complete the driver installation?" /SD IDNO IDNO +2
      Reboot
  ${EndIf}
FunctionEnd
