# shellcheck shell=bash
# Sourced by the end-to-end tiers: the driver setup MSI built from
# installer/driver-setup.wxs with the sample package, as an author builds it.
#
#   build_sample_msi ARCH OUT.msi [VERSION]
#                            builds it for ARCH (x86 or x64) from dist/ and
#                            samples/, as VERSION (1.0.0 unless given; one
#                            UpgradeCode for all), and stops the script when
#                            a table that installer/build-msi.sh mends is not
#                            mended (RemoveExistingProducts right after
#                            InstallValidate; QvRollbackDriver a deferred,
#                            rollback, no-impersonation action). For the
#                            tests only, it then adds QvTestFailAfter: with
#                            QV_TEST_FAIL_AFTER=1, a deferred action after
#                            QvInstallDriver that fails (QvInstallDriver
#                            again, without CustomActionData), so that the
#                            installation is rolled back after the driver
#                            was installed.
#   x86_msi_for_vm32 TIER    builds the x86 one into build/e2e/TIER-x86.msi
#                            (and as 1.1.0 into build/e2e/TIER-x86-1.1.0.msi)
#                            in the tree, before the tier enters the x86
#                            machine of scripts/lib/vm32.sh, which has no
#                            wixl and shares the tree at the same path
#   sample_msi_x86_here TIER OUT UPGRADE_OUT
#                            names in OUT the x86 one (in UPGRADE_OUT its 1.1.0) for the tier where it
#                            runs: built into its $tmp/setup/ where wixl
#                            is, else the one made before the machine was
#                            entered (and the tier stops without it)
build_sample_msi() {
  local arch=$1 out=$2 version=${3:-1.0.0} validate remove type
  bash installer/build-msi.sh "$arch" "$out" QV_DIST="$PWD/dist" QV_PACKAGE="$PWD/samples" \
    QV_INF=quorvant-sample.inf QV_COMPACT_ID=PCI5156000151560001 "QV_PRODUCT_NAME=QUORVANT sample driver" \
    "QV_PRODUCT_VERSION=$version" "QV_MANUFACTURER=QUORVANT developers" \
    QV_UPGRADE_CODE=5E0A7C52-3D4B-4F1E-9A86-0C2B7D913E45
  validate=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "InstallValidate" { print $3 }')
  remove=$(msiinfo export "$out" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 == "RemoveExistingProducts" { print $3 }')
  if [ -z "$validate" ] || [ "$remove" != $((validate + 1)) ]; then
    echo "build_sample_msi: RemoveExistingProducts at ${remove:-nowhere}, InstallValidate at ${validate:-nowhere}" >&2
    exit 1
  fi
  # 0x400 in-script, 0x100 rollback, 0x800 no impersonation.
  type=$(msiinfo export "$out" CustomAction | tr -d '\r' | awk -F'\t' '$1 == "QvRollbackDriver" { print $2 }')
  if [ -z "$type" ] || [ $((type & 0xD00)) != $((0xD00)) ]; then
    echo "build_sample_msi: QvRollbackDriver's type ${type:-missing} is not a rollback action without impersonation" >&2
    exit 1
  fi
  type=$(msiinfo export "$out" CustomAction | tr -d '\r' | awk -F'\t' '$1 == "QvInstallDriver" { print $2 }')
  msibuild "$out" -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('QvTestFailAfter', $type, 'QvCustomActions', 'QvInstallDriver')"
  msibuild "$out" -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('QvTestFailAfter', 'QV_TEST_FAIL_AFTER=1', 6593)"
  echo "build_sample_msi: $out ($arch, $version)"
}

x86_msi_for_vm32() {
  rm -f "build/e2e/$1-x86.msi" "build/e2e/$1-x86-1.1.0.msi"
  mkdir -p build/e2e
  build_sample_msi x86 "build/e2e/$1-x86.msi"
  build_sample_msi x86 "build/e2e/$1-x86-1.1.0.msi" 1.1.0
}

sample_msi_x86_here() {
  local -n msi_out=$2 upgrade_out=$3
  if command -v wixl >/dev/null; then
    msi_out=$tmp/setup/driver-setup-x86.msi
    upgrade_out=$tmp/setup/driver-setup-x86-1.1.0.msi
    build_sample_msi x86 "$msi_out"
    build_sample_msi x86 "$upgrade_out" 1.1.0
  else
    msi_out=$PWD/build/e2e/$1-x86.msi
    upgrade_out=$PWD/build/e2e/$1-x86-1.1.0.msi
    [ -f "$msi_out" ] && [ -f "$upgrade_out" ] ||
      { echo "sample_msi: no wixl here, and $msi_out and $upgrade_out were not built before" >&2; exit 1; }
  fi
}
