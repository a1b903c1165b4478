#!/usr/bin/env bash
# Builds a driver setup MSI from installer/driver-setup.wxs with wixl
# (Debian's msitools), then mends what wixl 0.101 gets wrong in the tables.
#
#   bash installer/build-msi.sh ARCH OUT.msi NAME=VALUE...
#
# ARCH is x86 or x64; the NAME=VALUE pairs are the template's defines
# (QV_DIST, QV_PACKAGE, QV_INF, QV_COMPACT_ID, QV_PRODUCT_NAME,
# QV_PRODUCT_VERSION, QV_MANUFACTURER, QV_UPGRADE_CODE). The package folder
# QV_PACKAGE is listed whole with wixl-heat into the QvDriverPackage
# component group.
#
# Mended: wixl ignores MajorUpgrade's schedule and puts
# RemoveExistingProducts after InstallFinalize; it is moved to right after
# InstallValidate (the WiX default), so that the earlier version and its
# driver actions are gone before this version's run. wixl also drops
# Execute="rollback": QvRollbackDriver's type gets its in-script (0x400) and
# rollback (0x100) bits, so that it runs only when the installation is
# rolled back.
set -euo pipefail
[ $# -ge 2 ] && [[ "$1" =~ ^(x86|x64)$ ]] || { echo "usage: build-msi.sh x86|x64 OUT.msi NAME=VALUE..." >&2; exit 2; }
arch=$1 out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
defines=(-D "QV_ARCH=$arch")
package=
for pair in "$@"; do
  [[ "$pair" == *=* ]] || { echo "build-msi: $pair is not NAME=VALUE" >&2; exit 2; }
  # wixl finds a source file by a path relative to the current folder only.
  if [[ "$pair" =~ ^(QV_DIST|QV_PACKAGE)=/ ]]; then
    pair=${pair%%=*}=$(realpath -m --relative-to=. "${pair#*=}")
  fi
  defines+=(-D "$pair")
  [[ "$pair" == QV_PACKAGE=* ]] && package=${pair#QV_PACKAGE=}
done
[ -d "$package" ] || { echo "build-msi: QV_PACKAGE must name the driver package folder" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win64=no
heat_arch=()
if [ "$arch" = x64 ]; then win64=yes heat_arch=(--win64); fi
(cd "$package" && find . -type f | LC_ALL=C sort) |
  wixl-heat -p ./ --component-group QvDriverPackage --directory-ref QVPACKAGEFOLDER \
    --var var.QV_PACKAGE "${heat_arch[@]}" >"$work/package.wxs"
wixl -a "$arch" "${defines[@]}" -D "Win64=$win64" -o "$out" "$here/driver-setup.wxs" "$work/package.wxs"

after=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "InstallValidate" { print $3 + 1 }')
msibuild "$out" -q "UPDATE InstallExecuteSequence SET Sequence = $after WHERE Action = 'RemoveExistingProducts'"
type=$(msiinfo export "$out" CustomAction | tr -d '\r' | awk -F'\t' '$1 == "QvRollbackDriver" { print $2 }')
[ -n "$type" ] || { echo "build-msi: no QvRollbackDriver in the CustomAction table" >&2; exit 1; }
msibuild "$out" -q "UPDATE CustomAction SET Type = $((type | 0x400 | 0x100)) WHERE Action = 'QvRollbackDriver'"
