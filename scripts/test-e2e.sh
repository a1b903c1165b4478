#!/usr/bin/env bash
# End-to-end tier: dist/QUORVANT.dll under Wine, in a private, throwaway
# 32-bit prefix created for this run. Builds the driver setup template
# (installer/driver-setup.nsi) with the sample package and qvinst.exe,
# puts the pnputil substitute into the prefix (the setup must not call
# it), puts dist/qvinst.exe beside a copy of
# the library, then runs qv_e2e
# (build/win32/tests/e2e), which prints one line per case and
# "N passed, M failed". Exits non-zero when any case failed.
#
# On a host that runs no 32-bit programs the whole tier runs in the x86
# machine of scripts/lib/vm32.sh. Needs `bash scripts/build.sh` first. For work on the tier itself,
# QV_E2E_LIBRARY, QV_E2E_QVINST and QV_E2E_PROGRAMS name another library,
# another qvinst.exe and another folder of the test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

library=$(realpath -m "${QV_E2E_LIBRARY:-dist/QUORVANT.dll}")
qvinst=$(realpath -m "${QV_E2E_QVINST:-dist/qvinst.exe}")
programs=$(realpath -m "${QV_E2E_PROGRAMS:-build/win32/tests/e2e}")
source scripts/lib/wine_prefix.sh
require_built test-e2e "$library" "$qvinst" "$programs/qv_e2e.exe" "$programs/newdev_substitute.dll" \
  "$programs/newdev_without_entry.dll" "$programs/pnputil_substitute.exe" dist/QUORVANT64.exe \
  dist/QUORVANTA64.exe dist/installer/quorvant.nsh
if ! runs_32bit_programs; then
  echo "e2e: this host runs no 32-bit programs; the tier runs in the x86 machine"
  in_vm32 bash scripts/test-e2e.sh "$@"
  exit
fi

started=$(date +%s)
wine_prefix_start e2e
tmp=$wine_tmp
# No entry for newdev: the runner switches it through the registry, and an
# entry in this variable would take precedence.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's null display driver: a dialog that a silent setup shows waits
# for an answer (and its case times out) instead of failing unseen at once.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k
echo "e2e: prefix $WINEPREFIX ready in $(( $(date +%s) - started )) s"

echo "e2e: building the driver setup program"
# The release under test; and one whose library lacks the export, for the
# setup's own status when the library cannot be called.
mkdir -p "$tmp/setup" "$tmp/dist" "$tmp/dist-without-export"
cp "$library" "$tmp/dist/QUORVANT.dll"
for release in dist dist-without-export; do
  cp -r dist/QUORVANT64.exe dist/QUORVANTA64.exe dist/x64 dist/arm64 dist/installer "$tmp/$release/"
  cp "$qvinst" "$tmp/$release/qvinst.exe"
done
cp "$programs/newdev_without_entry.dll" "$tmp/dist-without-export/QUORVANT.dll"
for release in dist dist-without-export; do
  makensis -V2 -WX -DQV_DIST="$tmp/$release" -DQV_PACKAGE="$root/samples" -DQV_INF=quorvant-sample.inf \
    -DQV_COMPACT_ID=PCI5156000151560001 -DQV_OUTFILE="$tmp/setup/driver-setup-$release.exe" \
    installer/driver-setup.nsi
done
# Wine has no pnputil: the substitute records a call, which the setup must
# not make (it stages through qvinst).
cp "$programs/pnputil_substitute.exe" "$WINEPREFIX/drive_c/windows/system32/pnputil.exe"

# The runner starts from a folder of its own, beside a newdev.dll that is not
# in the system directory: a library that loaded NEWDEV.DLL by bare name
# would find that one first, and the cases that check where NEWDEV came from
# would see it.
mkdir -p "$tmp/run"
cp "$programs/qv_e2e.exe" "$tmp/run/"
cp "$programs/newdev_substitute.dll" "$tmp/run/newdev.dll"

# qvinst.exe as it ships, beside the library it calls.
mkdir -p "$tmp/qvinst"
cp "$qvinst" "$tmp/qvinst/qvinst.exe"
cp "$library" "$tmp/qvinst/QUORVANT.dll"

status=0
wine "$tmp/run/qv_e2e.exe" "$(winpath "$library")" \
  "$(winpath "$programs/newdev_substitute.dll")" \
  "$(winpath "$programs/newdev_without_entry.dll")" \
  --setup "$(winpath "$tmp/setup/driver-setup-dist.exe")" \
  --setup-without-export "$(winpath "$tmp/setup/driver-setup-dist-without-export.exe")" \
  --qvinst "$(winpath "$tmp/qvinst/qvinst.exe")" "$@" \
  | tr -d '\r' | tee "$tmp/e2e.log" || status=$?

runner_passed "$tmp/e2e.log" e2e || status=1
exit "$status"
