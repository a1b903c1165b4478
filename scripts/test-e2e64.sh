#!/usr/bin/env bash
# End-to-end tier for 64-bit Windows, in a private, throwaway 64-bit Wine
# prefix created for this run:
#   1. dist/x64/QUORVANT.dll from the 64-bit runner (build/win64/tests/e2e),
#      with the 64-bit substitutes in system32: every group that applies to
#      a 64-bit caller, qvinst (dist/x64/qvinst.exe), the setup program
#      built from installer/driver-setup-amd64.nsi and the x64 MSI built
#      from installer/driver-setup.wxs (run by msiexec) among them;
#   2. dist/QUORVANT.dll from the 32-bit runner under WOW64, with
#      the x64 helper beside it: the 32-bit substitute in syswow64
#      refuses as Windows does there, so every driver is installed by the
#      helper; the groups a 32-bit process is needed for (the runner's
#      --32bit-needed): the argument and installer cases (every result
#      code), the wow64 cases, the setup program built from
#      installer/driver-setup.nsi and the 32-bit MSI built from
#      installer/driver-setup.wxs (its custom action installs through the
#      helpers the package puts in the product's folder) run this way, and
#      the 32-bit qvinst, with
#      x64\qvinst.exe beside it as in dist/, hands drivers and
#      install --explain over to it (the diagnosis group), and stage and
#      remove (the wow64 group);
#   3. the same in code page 932 (LC_ALL=ja_JP.UTF-8; scripts/deps.sh makes
#      the locale): the wow64-dbcs group.
# The 64-bit pnputil substitute stands in system32, the 32-bit one in
# syswow64, where a 32-bit setup must not look for it.
# Each runner prints one line per case and "N passed, M failed"; exits
# non-zero when any case failed. `bash scripts/test-e2e64.sh wow64` runs
# parts 2 and 3 only; on a host that runs no 32-bit programs they run so in
# the x86 machine of scripts/lib/vm32.sh, after part 1 here; `wow64
# GROUP...` runs part 2 with only those groups, and part 3 when wow64-dbcs
# is among them (`wow64 wow64-dbcs`: part 3 alone).
# `bash scripts/test-e2e64.sh x64 [GROUP...]` runs part 1 only, with only
# the runner's groups named (e.g. msi). Needs `bash scripts/build.sh` first.
set -euo pipefail
parts=${1:-all}
[ $# -eq 0 ] || shift
[[ "$parts" =~ ^(all|wow64|x64)$ ]] && { [ "$parts" != all ] || [ $# -eq 0 ]; } ||
  { echo "usage: test-e2e64.sh [wow64 [GROUP...] | x64 [GROUP...]]" >&2; exit 2; }
groups=("$@")
# Of the groups named, wow64-dbcs runs part 3 and the others part 2; with
# none named both run.
groups32=() run_dbcs=$(($# == 0))
for group in "$@"; do
  if [ "$group" = wow64-dbcs ]; then run_dbcs=1; else groups32+=("$group"); fi
done
run_part2=$(($# == 0 || ${#groups32[@]} > 0))
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

programs32=$(realpath -m build/win32/tests/e2e)
programs64=$(realpath -m build/win64/tests/e2e)
source scripts/lib/wine_prefix.sh
source scripts/lib/stage_release.sh
require_built test-e2e64 dist/QUORVANT.dll "dist/$x64_helper" "dist/$arm64_helper" \
  "dist/$x64_folder/QUORVANT.dll" "dist/$x64_folder/qvinst.exe" dist/qvinst.exe "$programs32/qv_e2e.exe" "$programs64/qv_e2e.exe" \
  "$programs32/newdev_substitute.dll" "$programs32/newdev_without_entry.dll" \
  "$programs64/newdev_substitute.dll" "$programs64/newdev_without_entry.dll" \
  "$programs32/pnputil_substitute.exe" "$programs64/pnputil_substitute.exe" \
  "$programs32/qv_helper_standin.exe" dist/installer/quorvant.nsh

source scripts/lib/sample_msi.sh
if [ "$parts" = wow64 ] && ! runs_32bit_programs; then
  echo "e2e64: this host runs no 32-bit programs; the WOW64 parts run in the x86 machine"
  x86_msi_for_vm32 e2e64
  in_vm32 bash scripts/test-e2e64.sh wow64 "${groups[@]}"
  exit
fi
# The setup programs of the parts that run here.
builds=()
[ "$parts" = wow64 ] || builds+=(driver-setup-amd64:dist driver-setup-amd64:dist-without-export)
[ "$parts" = x64 ] || [ $run_part2 = 0 ] || ! runs_32bit_programs || builds+=(driver-setup:dist)

stage_prefix e2e64 win64

# The release as it ships (the 32-bit files with both helpers and qvinst at
# the top, the x64 ones in x64\); the amd64 template also from a release
# whose x64 library lacks the export.
stage_release "$tmp/dist"
stage_release "$tmp/dist-without-export" AMD64 "$programs64/newdev_without_entry.dll"
for build in "${builds[@]}"; do
  template=${build%%:*} release=${build#*:}
  stage_setup "$template" "$tmp/$release" "$tmp/setup/$template-$release.exe"
done
stage_pnputil "$programs64" system32
stage_pnputil "$programs32" syswow64
stage_runner "$tmp/run64" "$programs64"
stage_runner "$tmp/run32" "$programs32"
if [ "$parts" != wow64 ]; then
  build_sample_msi x64 "$tmp/setup/driver-setup-x64.msi"
  build_sample_msi x64 "$tmp/setup/driver-setup-x64-1.1.0.msi" 1.1.0
fi

status=0
if [ "$parts" != wow64 ]; then
  echo "e2e64: the x64 library from a 64-bit caller"
  (cd "$tmp/run64" && wine "$tmp/run64/qv_e2e.exe" "$(winpath "$tmp/dist/$x64_folder/QUORVANT.dll")" \
    "$(winpath "$programs64/newdev_substitute.dll")" \
    "$(winpath "$programs64/newdev_without_entry.dll")" \
    --qvinst "$(winpath "$tmp/dist/$x64_folder/qvinst.exe")" \
    --setup "$(winpath "$tmp/setup/driver-setup-amd64-dist.exe")" \
    --setup-without-export "$(winpath "$tmp/setup/driver-setup-amd64-dist-without-export.exe")" \
    --msi "$(winpath "$tmp/setup/driver-setup-x64.msi")" \
    --msi-upgrade "$(winpath "$tmp/setup/driver-setup-x64-1.1.0.msi")" "${groups[@]}") \
    | tr -d '\r' | tee "$tmp/x64.log" || status=$?
  runner_passed "$tmp/x64.log" e2e64-x64 || status=1
fi
[ "$parts" != x64 ] || exit "$status"

if ! runs_32bit_programs; then
  echo "e2e64: this host runs no 32-bit programs; the WOW64 parts run in the x86 machine"
  x86_msi_for_vm32 e2e64
  in_vm32 bash scripts/test-e2e64.sh wow64 || status=1
  exit "$status"
fi
if [ $run_part2 = 1 ]; then
  sample_msi_x86_here e2e64 msi32 msi32_upgrade
  wow64_groups=("${groups32[@]}")
  [ ${#groups[@]} -gt 0 ] || wow64_groups=(--32bit-needed)
  echo "e2e64: the 32-bit library from a 32-bit caller, through the helper"
  (cd "$tmp/run32" && wine "$tmp/run32/qv_e2e.exe" "$(winpath "$tmp/dist/QUORVANT.dll")" \
    "$(winpath "$programs32/newdev_substitute.dll")" \
    "$(winpath "$programs32/newdev_without_entry.dll")" \
    --native-substitute "$(winpath "$programs64/newdev_substitute.dll")" \
    --native-without-entry "$(winpath "$programs64/newdev_without_entry.dll")" \
    --setup "$(winpath "$tmp/setup/driver-setup-dist.exe")" \
    --msi "$(winpath "$msi32")" --msi-upgrade "$(winpath "$msi32_upgrade")" \
    --qvinst "$(winpath "$tmp/dist/qvinst.exe")" "${wow64_groups[@]}") \
    | tr -d '\r' | tee "$tmp/wow64.log" || status=$?
  runner_passed "$tmp/wow64.log" e2e64-wow64 || status=1
fi
[ $run_dbcs = 1 ] || exit "$status"

echo "e2e64: the 32-bit library through the helper, in code page 932"
(cd "$tmp/run32" && LC_ALL=ja_JP.UTF-8 wine "$tmp/run32/qv_e2e.exe" "$(winpath "$tmp/dist/QUORVANT.dll")" \
  "$(winpath "$programs32/newdev_substitute.dll")" \
  "$(winpath "$programs32/newdev_without_entry.dll")" \
  --native-substitute "$(winpath "$programs64/newdev_substitute.dll")" \
  --native-without-entry "$(winpath "$programs64/newdev_without_entry.dll")" \
  wow64-dbcs) \
  | tr -d '\r' | tee "$tmp/dbcs.log" || status=$?
runner_passed "$tmp/dbcs.log" e2e64-dbcs || status=1
exit "$status"
