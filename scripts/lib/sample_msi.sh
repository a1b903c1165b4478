# shellcheck shell=bash
# Sourced by the end-to-end tiers: the driver setup MSI built from
# installer/driver-setup.wxs with the sample package, as an author builds it.
#
#   build_sample_msi ARCH OUT.msi
#                            builds it for ARCH (x86 or x64) from dist/ and
#                            samples/, and stops the script when the table
#                            that installer/build-msi.sh mends is not mended
#                            (RemoveExistingProducts right after
#                            InstallValidate)
build_sample_msi() {
  local arch=$1 out=$2 validate remove
  bash installer/build-msi.sh "$arch" "$out" QV_DIST="$PWD/dist" QV_PACKAGE="$PWD/samples" \
    QV_INF=quorvant-sample.inf QV_COMPACT_ID=PCI5156000151560001 "QV_PRODUCT_NAME=QUORVANT sample driver" \
    QV_PRODUCT_VERSION=1.0.0 "QV_MANUFACTURER=QUORVANT developers" \
    QV_UPGRADE_CODE=5E0A7C52-3D4B-4F1E-9A86-0C2B7D913E45
  validate=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "InstallValidate" { print $3 }')
  remove=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "RemoveExistingProducts" { print $3 }')
  if [ -z "$validate" ] || [ "$remove" != $((validate + 1)) ]; then
    echo "build_sample_msi: RemoveExistingProducts at ${remove:-nowhere}, InstallValidate at ${validate:-nowhere}" >&2
    exit 1
  fi
  echo "build_sample_msi: $out ($arch)"
}
