; Driver setup program, 64-bit: the same setup as installer/driver-setup.nsi,
; built as an x64 program that loads the x64 QUORVANT.dll (dist\x64). On
; x64 Windows it installs in its own process; on ARM64 Windows, which runs
; it emulated, the library hands the installation to QUORVANTA64.exe,
; shipped beside it. The same defines:
;
;   makensis -DQV_DIST=<dist folder> -DQV_PACKAGE=<driver package folder>
;            -DQV_INF=<INF file name inside it> -DQV_COMPACT_ID=<compact ID>
;            -DQV_OUTFILE=<setup.exe> installer/driver-setup-amd64.nsi
;
; Keep both files side by side: this one includes the other.

Target amd64-unicode
!define QV_LIBRARY_FOLDER "${QV_DIST}\x64"
!include "driver-setup.nsi"
