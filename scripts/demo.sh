#!/usr/bin/env bash
# Demo: in a private, throwaway Wine prefix, creates a virtual PCI device,
# finds its compact ID and the device the library would pick with
# dist/qvinst.exe, installs the sample driver (samples/quorvant-sample.inf)
# onto it through dist/QUORVANT.dll, shows the device before and after, and
# removes the driver and its package again with qvinst remove.
#
# Wine's own NEWDEV.DLL reports success without installing anything, so the
# demo puts the test programs' substitute NEWDEV into the prefix: it hands
# the driver the library selected to the class installer (DIF_INSTALLDEVICE),
# which binds it to the device.
#
# Needs `bash scripts/build.sh` (which runs this at its end). QV_DEMO_PROGRAMS
# names another folder of the test programs than build/win32/tests/e2e.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

sample_inf=$root/samples/quorvant-sample.inf
compact_id=PCI5156000151560001
hardware_ids=('PCI\VEN_5156&DEV_0001&SUBSYS_00015156&REV_01' 'PCI\VEN_5156&DEV_0001&SUBSYS_00015156')
source scripts/lib/wine_prefix.sh
source scripts/lib/machines.sh
x64_folder=$(machine_folder AMD64)
# The 32-bit files; the x64 ones in a 64-bit prefix where this machine runs
# no 32-bit programs.
dist=$root/dist build=$root/build/win32 arch=win32
if ! runs_32bit_programs; then
  echo "demo: this machine runs no 32-bit programs; showing the x64 library instead"
  dist=$root/dist/$x64_folder build=$root/build/win64 arch=win64
fi
library=$dist/QUORVANT.dll
programs=${QV_DEMO_PROGRAMS:-$build/tests/e2e}
require_built demo "$library" "$dist/qvinst.exe" "$programs/qv_device.exe" "$programs/newdev_substitute.dll"


qv_device() { wine "$programs/qv_device.exe" "$@" | tr -d '\r'; }

echo "== demo: QUORVANT.dll installs a driver under Wine"
wine_prefix_start demo "$arch"
echo "   (private prefix $WINEPREFIX)"
system32="$WINEPREFIX/drive_c/windows/system32"
cp "$programs/newdev_substitute.dll" "$system32/newdev.dll"
mkdir -p "$WINEPREFIX/drive_c/quorvant-sample"
cp "$sample_inf" "$WINEPREFIX/drive_c/quorvant-sample/"
inf='C:\quorvant-sample\quorvant-sample.inf'
export WINEDLLOVERRIDES="mscoree,mshtml=;newdev=n"

qvinst() { wine "$dist/qvinst.exe" "$@" | tr -d '\r'; }

device=$(qv_device create "${hardware_ids[@]}")
echo
echo "1. A virtual device is present, with no driver:"
qv_device show "$device"
echo
echo "2. Which compact ID names it? qvinst computes it from a hardware ID, and"
echo "   lists every present device with its compact ID:"
echo "   \$ qvinst id '${hardware_ids[0]}'"
qvinst id "${hardware_ids[0]}"
echo "   \$ qvinst list"
qvinst list
echo
echo "3. Which device would the library pick for $compact_id?"
echo "   \$ qvinst find $compact_id"
qvinst find "$compact_id"
echo
echo "4. Install the sample driver through QUORVANT.dll (qv7_installdevice):"
echo "   \$ qvinst install $inf $compact_id"
status=0
QV_NEWDEV_ACTION=install qvinst install "$inf" "$compact_id" || status=$?
echo
echo "5. The device afterwards; its driver key's InfPath names the package in"
echo "   the INF folder it was installed from:"
qv_device show "$device"
[ "$status" = 0 ] || exit "$status"
echo
echo "6. Remove it again: the driver off every device whose driver key names the"
echo "   package, then the package out of the driver store:"
echo "   \$ qvinst remove $inf"
qvinst remove "$inf" || status=$?
echo
echo "7. The device afterwards: removed with its driver, it is gone until the"
echo "   system enumerates it again and gives it whatever driver is left:"
qv_device show "$device" 2>&1 || true
exit "$status"
