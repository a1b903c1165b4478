#!/usr/bin/env bash
# End-to-end tier: dist/QUORVANT.dll under Wine, in a private, throwaway
# 32-bit prefix created for this run. Builds the driver setup template
# (installer/driver-setup.nsi) with the sample package and qvinst.exe, and
# the 32-bit MSI from installer/driver-setup.wxs (run by msiexec),
# puts the pnputil substitute into the prefix (the setup must not call
# it), puts dist/qvinst.exe beside a copy of
# the library, then runs qv_e2e
# (build/win32/tests/e2e), which prints one line per case and
# "N passed, M failed". Exits non-zero when any case failed.
#
# On a host that runs no 32-bit programs the groups a 32-bit process is
# needed for (the runner's --32bit-needed) run in the x86 machine of
# scripts/lib/vm32.sh; scripts/test-e2e64.sh runs the others on the host
# from the x64 runner, for the same sources. Needs `bash scripts/build.sh` first. For work on the tier itself,
# QV_E2E_LIBRARY, QV_E2E_QVINST and QV_E2E_PROGRAMS name another library,
# another qvinst.exe and another folder of the test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

library=$(realpath -m "${QV_E2E_LIBRARY:-dist/QUORVANT.dll}")
qvinst=$(realpath -m "${QV_E2E_QVINST:-dist/qvinst.exe}")
programs=$(realpath -m "${QV_E2E_PROGRAMS:-build/win32/tests/e2e}")
source scripts/lib/wine_prefix.sh
source scripts/lib/stage_release.sh
require_built test-e2e "$library" "$qvinst" "$programs/qv_e2e.exe" "$programs/newdev_substitute.dll" \
  "$programs/newdev_without_entry.dll" "$programs/pnputil_substitute.exe" "dist/$x64_helper" \
  "dist/$arm64_helper" dist/installer/quorvant.nsh
source scripts/lib/sample_msi.sh
if ! runs_32bit_programs; then
  echo "e2e: this host runs no 32-bit programs; the groups that need a 32-bit process run in the x86 machine"
  x86_msi_for_vm32 e2e
  in_vm32 bash scripts/test-e2e.sh --32bit-needed "$@"
  exit
fi

stage_prefix e2e

echo "e2e: building the driver setup program"
# The release under test; and one whose library lacks the export, for the
# setup's own status when the library cannot be called.
stage_release "$tmp/dist"
stage_release "$tmp/dist-without-export" I386 "$programs/newdev_without_entry.dll"
for release in dist dist-without-export; do
  stage_setup driver-setup "$tmp/$release" "$tmp/setup/driver-setup-$release.exe"
done
stage_pnputil "$programs" system32
stage_runner "$tmp/run" "$programs"
sample_msi_x86_here e2e msi msi_upgrade

status=0
wine "$tmp/run/qv_e2e.exe" "$(winpath "$tmp/dist/QUORVANT.dll")" \
  "$(winpath "$tmp/run/newdev_substitute.dll")" \
  "$(winpath "$tmp/run/newdev_without_entry.dll")" \
  --setup "$(winpath "$tmp/setup/driver-setup-dist.exe")" \
  --setup-without-export "$(winpath "$tmp/setup/driver-setup-dist-without-export.exe")" \
  --qvinst "$(winpath "$tmp/dist/qvinst.exe")" --msi "$(winpath "$msi")" --msi-upgrade "$(winpath "$msi_upgrade")" "$@" \
  | tr -d '\r' | tee "$tmp/e2e.log" || status=$?

runner_passed "$tmp/e2e.log" e2e || status=1
exit "$status"
