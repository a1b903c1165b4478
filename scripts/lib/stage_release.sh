# shellcheck shell=bash
# Sourced by the end-to-end tiers after scripts/lib/wine_prefix.sh: the
# release laid out as dist/ ships it, the setup programs built from it, the
# runner's own folder and the prefix every tier runs in.
#
#   stage_release DEST [MACHINE FILE]
#                       copies the release into DEST: the 32-bit files at the
#                       top (QV_E2E_LIBRARY and QV_E2E_QVINST, when set, in
#                       place of QUORVANT.dll and qvinst.exe), each 64-bit
#                       machine's in its folder; with MACHINE (a row of
#                       install/bridge/machines.def: I386, AMD64, ARM64) and
#                       FILE, FILE stands in for that machine's QUORVANT.dll
#                       (a library without the export, the bridge caller)
#   stage_setup TEMPLATE RELEASE OUT
#                       builds installer/TEMPLATE.nsi from the release in
#                       RELEASE with the sample package into OUT
#   stage_runner DEST PROGRAMS
#                       puts the runner qv_e2e.exe, the helper stand-in and
#                       both NEWDEV substitutes of the build folder PROGRAMS
#                       into DEST, the substitute also as newdev.dll: a library
#                       that loaded NEWDEV.DLL by bare name would find that
#                       one before the system's, and the cases that check
#                       where NEWDEV came from would see it
#   stage_pnputil PROGRAMS DIR
#                       puts PROGRAMS' pnputil substitute into the prefix's
#                       windows\DIR as pnputil.exe (Wine has none: it records
#                       what a setup asks of it)
#   stage_prefix NAME [ARCH]
#                       wine_prefix_start, then what every tier's prefix is
#                       set to: no Mono or Gecko, Wine's null display driver;
#                       sets tmp to the run's folder
# And the release's layout from the machine table: x64_folder and
# arm64_folder below dist/, x64_helper and arm64_helper at its top.
stage_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$stage_root/scripts/lib/machines.sh"
# shellcheck disable=SC2034  # read by the tiers
x64_folder=$(machine_folder AMD64) arm64_folder=$(machine_folder ARM64)
# shellcheck disable=SC2034
x64_helper=$(machine_helper AMD64) arm64_helper=$(machine_helper ARM64)

stage_release() {
  local dest=$1 machine=${2:-} file=${3:-}
  mkdir -p "$dest"
  cp -r "$stage_root/dist/." "$dest/"
  [ -z "${QV_E2E_LIBRARY:-}" ] || cp "$QV_E2E_LIBRARY" "$dest/QUORVANT.dll"
  [ -z "${QV_E2E_QVINST:-}" ] || cp "$QV_E2E_QVINST" "$dest/qvinst.exe"
  [ -n "$machine" ] || return 0
  local folder
  folder=$(machine_folder "$machine") || return 1
  cp "$file" "$dest/${folder:+$folder/}QUORVANT.dll"
}

stage_setup() {
  mkdir -p "$(dirname "$3")"
  makensis -V2 -WX -DQV_DIST="$2" -DQV_PACKAGE="$stage_root/samples" -DQV_INF=quorvant-sample.inf \
    -DQV_COMPACT_ID=PCI5156000151560001 -DQV_OUTFILE="$3" "$stage_root/installer/$1.nsi"
}

stage_runner() {
  mkdir -p "$1"
  cp "$2/qv_e2e.exe" "$2/qv_helper_standin.exe" "$2/newdev_substitute.dll" \
    "$2/newdev_without_entry.dll" "$1/"
  cp "$2/newdev_substitute.dll" "$1/newdev.dll"
}

stage_pnputil() {
  cp "$1/pnputil_substitute.exe" "$WINEPREFIX/drive_c/windows/$2/pnputil.exe"
}

stage_prefix() {
  local started
  started=$(date +%s)
  wine_prefix_start "$@"
  # shellcheck disable=SC2034,SC2154  # read by the tiers; set by wine_prefix_start
  tmp=$wine_tmp
  # No entry for newdev: the runner switches it through the registry, and an
  # entry in this variable would take precedence.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine's null display driver: a dialog that a silent setup shows waits
  # for an answer (and its case times out) instead of failing unseen at once.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  echo "$1: prefix $WINEPREFIX ready in $(( $(date +%s) - started )) s"
}
