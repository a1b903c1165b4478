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
; this script. Optional: -DQV_PRODUCT_NAME=, -DQV_PRODUCT_VERSION=,
; -DQV_PUBLISHER= for the Programs and Features entry and the install
; folder ($PROGRAMFILES\<product name>), which holds the uninstaller and
; the qvinst.exe that stages and removes the package (with the native
; x64\qvinst.exe and arm64\qvinst.exe it hands over to under WOW64).
;
; Command line: /S silent (no window, never restarts Windows);
; /LOG=<file> appends the setup's log to <file>. The uninstaller takes the
; same options.
; Exit status: see the QV_EXIT_ defines below.

!ifndef QV_LIBRARY_FOLDER
  Unicode true
  !define QV_LIBRARY_FOLDER "${QV_DIST}"
  !define QV_WITH_X64_HELPER
!endif
!ifndef QV_PRODUCT_NAME
  !define QV_PRODUCT_NAME "Driver setup"
!endif
!ifndef QV_PRODUCT_VERSION
  !define QV_PRODUCT_VERSION "1.0"
!endif
!ifndef QV_PUBLISHER
  !define QV_PUBLISHER "Driver publisher"
!endif
!define QV_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${QV_PRODUCT_NAME}"
!define QV_PUBLISHED_VALUE "QuorvantPublishedName" ; the staged package's published name
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "TextFunc.nsh"
!include "WordFunc.nsh"

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
!define QV_EXIT_NO_QVINST 42      ; qvinst.exe could not be installed or started
; The uninstaller's exit status is qvinst remove's own (qvinst help lists
; them), or QV_EXIT_NOT_ADMIN and QV_EXIT_NO_QVINST above.

Name "${QV_PRODUCT_NAME}"
OutFile "${QV_OUTFILE}"
!if ${NSIS_PTR_SIZE} > 4
  InstallDir "$PROGRAMFILES64\${QV_PRODUCT_NAME}"
!else
  InstallDir "$PROGRAMFILES\${QV_PRODUCT_NAME}"
!endif
ShowInstDetails show
ShowUninstDetails show
Page instfiles
UninstPage instfiles

Var LogFile  ; from /LOG=, or empty
Var Private  ; the private folder under the Windows directory
Var Status   ; the exit status

; Writes a line into the details and, with /LOG=, into the log file.
; The setup's functions are named F, the uninstaller's un.F.
!ifdef __UNINSTALL__
  !error "driver-setup.nsi: include it at the top level only"
!endif
!macro QvLog text
  !ifdef __UNINSTALL__
    Push `${text}`
    Call un.QvLog
  !else
    Push `${text}`
    Call QvLog
  !endif
!macroend
!macro QvSharedFunctions un
Function ${un}QvLog
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

; Reads /LOG= and refuses a user without administrator rights.
Function ${un}QvStart
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $LogFile
  ${If} ${Errors}
    StrCpy $LogFile ""
  ${EndIf}
  UserInfo::GetAccountType
  Pop $R1
  ${If} $R1 != "Admin"
    !ifdef __UNINSTALL__
      !insertmacro QvRefuse "Removing the driver needs administrator rights." ${QV_EXIT_NOT_ADMIN}
    !else
      !insertmacro QvRefuse "Installing the driver needs administrator rights." ${QV_EXIT_NOT_ADMIN}
    !endif
  ${EndIf}
  !if ${NSIS_PTR_SIZE} > 4
    SetRegView 64
  !endif
FunctionEnd

; Runs "$INSTDIR\qvinst.exe" <arguments on the stack>, logs its output;
; $R1: its exit status ("error" when it could not be started), $R2: the
; published name it printed, or empty.
Function ${un}QvInst
  Exch $R0
  !insertmacro QvLog "qvinst $R0"
  nsExec::ExecToStack '"$INSTDIR\qvinst.exe" $R0'
  Pop $R1
  Pop $R2
  !insertmacro QvLog "$R2"
  ${WordFind2X} "$R2" "published name: " "$\n" "+1" $R3
  ${TrimNewLines} "$R3" $R3
  ${If} $R3 == $R2
  ${OrIf} $R3 == "-"
    StrCpy $R3 ""
  ${EndIf}
  StrCpy $R2 $R3
  Pop $R0
FunctionEnd
!macroend

; Ends the setup in .onInit with a message (silent: none) and a status.
!macro QvRefuse text status
  !insertmacro QvLog "${text} (exit status ${status})"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel ${status}
  Quit
!macroend

!insertmacro QvSharedFunctions ""
!insertmacro QvSharedFunctions "un."

Function .onInit
  Call QvStart
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

; Installs the uninstaller and qvinst.exe into $INSTDIR and stages the
; package in the driver store with `qvinst stage` (Windows 7 and later),
; so that Windows installs it when the device is connected; after an
; installation it finds the package staged already. Records the published
; name in the Programs and Features entry, so that the uninstaller removes
; exactly that package. $R1: qvinst's exit status, $R2: the published name.
Function RecordPackage
  ClearErrors
  SetOutPath "$INSTDIR"
  File "/oname=$INSTDIR\qvinst.exe" "${QV_LIBRARY_FOLDER}\qvinst.exe"
  !ifdef QV_WITH_X64_HELPER
    SetOutPath "$INSTDIR\x64"
    File "${QV_DIST}\x64\qvinst.exe"
    SetOutPath "$INSTDIR\arm64"
    File "${QV_DIST}\arm64\qvinst.exe"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetOutPath "$WINDIR"
  ${If} ${Errors}
    StrCpy $R1 "error"
    StrCpy $R2 ""
    !insertmacro QvLog "cannot install qvinst.exe and the uninstaller into $INSTDIR"
  ${Else}
    Push 'stage "$Private\package\${QV_INF}"'
    Call QvInst
  ${EndIf}
  ${If} $R1 != 0
  ${OrIf} $R2 == ""
    ; Nothing staged: a folder that no entry names goes again.
    ReadRegStr $R3 HKLM "${QV_UNINSTALL_KEY}" "${QV_PUBLISHED_VALUE}"
    ${If} $R3 == ""
      RMDir /r "$INSTDIR"
    ${EndIf}
    Return
  ${EndIf}
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "DisplayName" "${QV_PRODUCT_NAME}"
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "DisplayVersion" "${QV_PRODUCT_VERSION}"
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "Publisher" "${QV_PUBLISHER}"
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${QV_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${QV_UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$Private\package" "/S=0K" $R3 $R4 $R5
  WriteRegDWORD HKLM "${QV_UNINSTALL_KEY}" "EstimatedSize" $R3
  WriteRegStr HKLM "${QV_UNINSTALL_KEY}" "${QV_PUBLISHED_VALUE}" $R2
  !insertmacro QvLog "recorded: $R2, removed by $INSTDIR\uninstall.exe"
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
  ${OrIf} $Status == ${QV7_INSTALLED_EXIT}
  ${OrIf} $Status == ${QV7_INSTALLED_NEEDS_RESTART_EXIT}
    Call RecordPackage
    ${If} $R1 != 0
    ${OrIf} $R2 == ""
      !insertmacro QvLog "qvinst stage failed ($R1): the package is not staged"
      ${If} $2 == ${QV7_E_NO_DEVICE}
        StrCpy $Status ${QV7_E_NO_DEVICE_EXIT}
      ${Else}
        StrCpy $Status ${QV_EXIT_NO_QVINST}
      ${EndIf}
    ${ElseIf} $2 == ${QV7_E_NO_DEVICE}
      !insertmacro QvLog "staged; the driver is used when the device is connected"
      StrCpy $Status ${QV7_INSTALLED_EXIT}
    ${EndIf}
  ${EndIf}
  ${If} $Status == ${QV7_INSTALLED_NEEDS_RESTART_EXIT}
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

Function un.onInit
  Call un.QvStart
FunctionEnd

; Removes the recorded package: the driver from every device that uses it,
; then the package from the driver store; then the Programs and Features
; entry and $INSTDIR, this program included. On failure everything stays,
; so that it can be run again.
Section "Uninstall"
  SetOutPath "$WINDIR"
  ReadRegStr $R9 HKLM "${QV_UNINSTALL_KEY}" "${QV_PUBLISHED_VALUE}"
  StrCpy $Status 0
  ${If} $R9 == ""
    !insertmacro QvLog "no package recorded: nothing to remove"
  ${Else}
    Push 'remove "$R9"'
    Call un.QvInst
    ${If} $R1 == "error"
      StrCpy $Status ${QV_EXIT_NO_QVINST}
      !insertmacro QvLog "$INSTDIR\qvinst.exe could not be started"
    ${Else}
      StrCpy $Status $R1
    ${EndIf}
  ${EndIf}
  ${If} $Status == 0
  ${OrIf} $Status == 3010
    DeleteRegKey HKLM "${QV_UNINSTALL_KEY}"
    Delete "$INSTDIR\qvinst.exe"
    RMDir /r "$INSTDIR\x64"
    RMDir /r "$INSTDIR\arm64"
    ; This program runs in place (_?=) and cannot delete its own file: a
    ; command interpreter started from here waits for it to end, then
    ; removes it and the folder.
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
      Exec '"$SYSDIR\cmd.exe" /c for /l %n in (1,1,120) do @(if exist "$INSTDIR\uninstall.exe" (ping -n 2 127.0.0.1 >nul & del /f /q "$INSTDIR\uninstall.exe" 2>nul)) & rmdir "$INSTDIR"'
    ${Else}
      RMDir "$INSTDIR"
    ${EndIf}
    !insertmacro QvLog "removed"
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "The driver was not removed (exit status $Status); run the uninstaller again." /SD IDOK
    !insertmacro QvLog "not removed; $INSTDIR and the entry stay for another attempt"
  ${EndIf}
  ${If} $Status == 3010
    SetRebootFlag true
  ${EndIf}
  !insertmacro QvLog "exit status $Status"
  SetErrorLevel $Status
SectionEnd
