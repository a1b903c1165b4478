; Driver setup program for Inno Setup 7, a 64-bit Setup
; (SetupArchitecture=x64) that loads the x64 QUORVANT.dll (dist\x64): on
; x64 Windows it installs in its own process; on ARM64 Windows, which runs
; it emulated, the library hands the installation to QUORVANTA64.exe,
; shipped beside it. The same defines and
; command line as installer/driver-setup-inno6.iss, which this includes:
; keep both files side by side.
;
;   ISCC /DQV_DIST=<dist folder> /DQV_PACKAGE=<driver package folder>
;        /DQV_INF=<INF file name inside it> /DQV_COMPACT_ID=<compact ID>
;        /DQV_OUTFILE=<setup file name without .exe> driver-setup-inno7.iss

#define QV_X64
#include "driver-setup-inno6.iss"
