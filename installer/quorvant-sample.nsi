; Sample setup program: installs the sample driver (samples/quorvant-sample.inf)
; onto its device through QUORVANT.dll, the way an installer author calls
; the library from NSIS. A 32-bit setup program: on 64-bit Windows the
; library hands the installation to QUORVANT64.exe, shipped beside it.
;
; Build (scripts/test-e2e.sh does this):
;   makensis -DQUORVANT_DLL=dist/QUORVANT.dll -DQUORVANT_HELPER=dist/QUORVANT64.exe \
;            -DSAMPLE_INF=samples/quorvant-sample.inf \
;            -DOUTFILE=quorvant-sample-setup.exe installer/quorvant-sample.nsi
;
; Command line of the setup program:
;   /S              silent
;   /ID=COMPACT_ID  the device to install onto (default: the sample device)
;   /RESULT=FILE    write the library's result code into FILE
; Exit code: 0 when the driver was installed, 3010 when it was installed and
; Windows must restart, 2 when it was not installed, 740 when the user has
; no administrator rights. The exact result code
; of the library goes into the /RESULT file. (NSIS keeps -1 as "no error
; level set", so the result codes themselves cannot serve as exit codes.)

Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef QUORVANT_DLL
  !define QUORVANT_DLL "../dist/QUORVANT.dll"
!endif
!ifndef QUORVANT_HELPER
  !define QUORVANT_HELPER "../dist/QUORVANT64.exe"
!endif
!ifndef SAMPLE_INF
  !define SAMPLE_INF "../samples/quorvant-sample.inf"
!endif
!ifndef OUTFILE
  !define OUTFILE "quorvant-sample-setup.exe"
!endif
!define SAMPLE_COMPACT_ID "PCI5156000151560001"
!define EXIT_INSTALLED 0
!define EXIT_RESTART_NEEDED 3010
!define EXIT_NOT_INSTALLED 2
!define EXIT_ELEVATION_REQUIRED 740

Name "Quorvant sample driver"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quorvant sample driver"
ShowInstDetails show

Page instfiles

Var CompactId
Var ResultFile

Function .onInit
  ; Installing a driver needs administrator rights.
  UserInfo::GetAccountType
  Pop $R1
  ${If} $R1 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing the driver needs administrator rights." /SD IDOK
    SetErrorLevel ${EXIT_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ID=" $CompactId
  ${If} ${Errors}
    StrCpy $CompactId "${SAMPLE_COMPACT_ID}"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/RESULT=" $ResultFile
  ${If} ${Errors}
    StrCpy $ResultFile ""
  ${EndIf}
FunctionEnd

Section "Sample driver"
  ; The library with its 64-bit helper beside it, and the whole driver
  ; package in a folder of its own (INF, and the .sys and .cat files a real
  ; package has), go to the plug-ins folder, which the setup program
  ; deletes when it ends.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\QUORVANT.dll" "${QUORVANT_DLL}"
  File "/oname=$PLUGINSDIR\QUORVANT64.exe" "${QUORVANT_HELPER}"
  CreateDirectory "$PLUGINSDIR\driver"
  File "/oname=$PLUGINSDIR\driver\quorvant-sample.inf" "${SAMPLE_INF}"

  ; int __stdcall qv7_installdevice(const char *inf_path, const char *compact_id)
  ; "m" passes an ANSI text, "i" takes the int result; "?u" frees the
  ; library after the call so the plug-ins folder can be deleted.
  StrCpy $0 "$PLUGINSDIR\driver\quorvant-sample.inf"
  StrCpy $1 $CompactId
  System::Call '$PLUGINSDIR\QUORVANT.dll::qv7_installdevice(m r0, m r1) i .r2 ?u'
  DetailPrint "qv7_installdevice($1) returned $2"

  StrCpy $4 ${EXIT_NOT_INSTALLED}
  ${Switch} $2
    ${Case} 1
      DetailPrint "Driver installed."
      StrCpy $4 ${EXIT_INSTALLED}
      ${Break}
    ${Case} 2
    ${Case} 3
      DetailPrint "Driver installed; Windows must restart to complete it."
      SetRebootFlag true
      StrCpy $4 ${EXIT_RESTART_NEEDED}
      ${Break}
    ${Case} -1
      MessageBox MB_OK|MB_ICONEXCLAMATION "The device is not present." /SD IDOK
      ${Break}
    ${Case} -2
      MessageBox MB_OK|MB_ICONSTOP "The driver package does not fit the device." /SD IDOK
      ${Break}
    ${Default}
      MessageBox MB_OK|MB_ICONSTOP "The driver could not be installed (code $2)." /SD IDOK
      ${Break}
  ${EndSwitch}

  ${If} $ResultFile != ""
    FileOpen $3 $ResultFile w
    FileWrite $3 "$2"
    FileClose $3
  ${EndIf}
  SetErrorLevel $4
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    MessageBox MB_YESNO|MB_ICONQUESTION "Restart Windows now to complete the driver installation?" /SD IDNO IDNO +2
      Reboot
  ${EndIf}
FunctionEnd
