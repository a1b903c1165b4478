#!/usr/bin/env bash
# qvinst under Wine: dist/qvinst.exe beside dist/QUORVANT.dll, in a private,
# throwaway 32-bit prefix created for this run. Creates virtual devices with
# qv_device, then checks every command: list, id, find (which device is
# marked, which rule decided), install with each outcome the substitute
# NEWDEV.DLL can be steered to, --json read back by Python, --version and
# bad arguments. Prints one line per check and "N passed, M failed".
#
# Needs `bash scripts/build.sh` first. QV_QVINST_DIST and QV_QVINST_PROGRAMS
# name another release folder and another folder of the e2e programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

dist=$(realpath -m "${QV_QVINST_DIST:-dist}")
programs=$(realpath -m "${QV_QVINST_PROGRAMS:-build/win32/tests/e2e}")
source scripts/lib/wine_prefix.sh
require_built test-qvinst "$dist/qvinst.exe" "$dist/QUORVANT.dll" "$programs/qv_device.exe" \
  "$programs/newdev_substitute.dll" "$programs/newdev_without_entry.dll"
version=$(sed -n 's/^project(QUORVANT VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

started=$(date +%s)
echo "qvinst: creating the Wine prefix"
wine_prefix_start qvinst
tmp=$wine_tmp
# From here on NEWDEV is whatever newdev.dll the system directory holds.
export WINEDLLOVERRIDES="mscoree,mshtml=;newdev=n"
system32="$tmp/pfx/drive_c/windows/system32"

# qvinst.exe with QUORVANT.dll beside it, and once more without it.
app="$tmp/app" lonely="$tmp/lonely"
mkdir -p "$app" "$lonely"
cp "$dist/qvinst.exe" "$dist/QUORVANT.dll" "$app/"
cp "$dist/qvinst.exe" "$lonely/"

passed=0 failed=0
check() {  # NAME CONDITION-STATUS [DETAIL]
  if [ "$2" = 0 ]; then
    passed=$((passed + 1)); echo "PASS $1"
  else
    failed=$((failed + 1)); echo "FAIL $1${3:+: $3}"
  fi
}
expect_eq() {  # NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then check "$1" 0; else check "$1" 1 "got '$2', want '$3'"; fi
}
expect_has() {  # NAME TEXT PART
  case "$2" in *"$3"*) check "$1" 0 ;; *) check "$1" 1 "'$3' not in: $2" ;; esac
}

# Runs qvinst.exe; sets out, err and status (the low 8 bits, as the shell
# sees a Windows exit code).
run_qvinst() {  # FOLDER ARGS...
  local folder=$1; shift
  status=0
  wine "$folder/qvinst.exe" "$@" >"$tmp/out" 2>"$tmp/err" || status=$?
  out=$(tr -d '\r' <"$tmp/out"); err=$(tr -d '\r' <"$tmp/err")
}

# Runs qvinst.exe through cmd, which reports the whole exit code (3010 does
# not fit in the 8 bits of a Unix exit status), into $tmp/out and $tmp/err;
# read_status then sets out, err and status. For operands without cmd's
# special characters.
printf '@"%%QVINST_EXE%%" %%*\r\n@echo qvinst-exit=%%ERRORLEVEL%%\r\n' >"$tmp/status.bat"
invoke_status() {  # ARGS...
  QVINST_EXE=$(winpath "$app/qvinst.exe") \
    wine cmd /c "$(winpath "$tmp/status.bat")" "$@" >"$tmp/out" 2>"$tmp/err" || true
}
read_status() {
  out=$(tr -d '\r' <"$tmp/out" | grep -v '^qvinst-exit=' || true)
  status=$(tr -d '\r' <"$tmp/out" | sed -n 's/^qvinst-exit=//p')
  err=$(tr -d '\r' <"$tmp/err")
}

# Evaluates a Python expression over the JSON document in $out (as `d`);
# further arguments are available as `a[0]`, `a[1]`, ...
json_check() {  # NAME EXPRESSION [ARGS...]
  local name=$1 expression=$2; shift 2
  local detail
  if detail=$(printf '%s' "$out" | python3 -c '
import json, sys
a = sys.argv[2:]
try:
    d = json.loads(sys.stdin.buffer.read().decode("ascii"), strict=True)
except ValueError as e:
    print("not JSON: %s" % e); sys.exit(1)
ok = eval("(" + sys.argv[1] + ")")
if not ok: print(json.dumps(d)[:400])
sys.exit(0 if ok else 1)' "$expression" "$@" 2>&1); then
    check "$name" 0
  else
    check "$name" 1 "$detail"
  fi
}

# --- virtual devices -----------------------------------------------------------

new_device() {  # HWID... -> instance ID
  wine "$programs/qv_device.exe" create "$@" | tr -d '\r'
}
pci_a_hwid='PCI\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01'
pci_a_compact='PCI123456780DEF9ABC03000100'
pci_b_hwid='PCI\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_020000&REV_02'
pci_b_compact='PCI123456780DEF9ABC02000200'
pci_window='PCI123456780DEF9ABC'
usb_hwid='USB\VID_0A1B&PID_2C3D&MI_01'
usb_compact='USB0A1B2C3D000001'
acpi_hwid='ACPI\PNP0A03'
acpi_compact='PNPPNP0A03'
none_hwid='ROOT\QVINST_NONE'
odd_hwid=$(printf 'PCMCIA\\Quote"Tab\tEnd')  # a quote and a tab for --json
odd_compact=$(printf 'PCCQuote"Tab\tEnd')
# Every device's list ends in a common ID that the test INF names.
model_hwid='QVINST\TEST_MODEL'

echo "qvinst: creating virtual devices"
pci_a=$(new_device "$pci_a_hwid" "$model_hwid")
usb=$(new_device "$usb_hwid" "$model_hwid")
pci_b=$(new_device "$pci_b_hwid" "$model_hwid")
acpi=$(new_device "$acpi_hwid" "$model_hwid")
none=$(new_device "$none_hwid" "$model_hwid")
odd=$(new_device "$odd_hwid")
for id in "$pci_a" "$usb" "$pci_b" "$acpi" "$none" "$odd"; do
  [ -n "$id" ] || { echo "test-qvinst: qv_device could not create a device" >&2; exit 1; }
done

# Enumeration order as qv_device sees it, independently of qvinst.
enumerated=$(wine "$programs/qv_device.exe" list | tr -d '\r' | cut -f1)
position() { printf '%s\n' "$enumerated" | grep -nxF -- "$1" | cut -d: -f1; }
# The PCI device the library must pick: the later of the two in that order.
if [ "$(position "$pci_a")" -lt "$(position "$pci_b")" ]; then
  pci_first=$pci_a pci_last=$pci_b
else
  pci_first=$pci_b pci_last=$pci_a
fi

# A driver package for the common model ID, class System like the devices.
cat >"$tmp/qvinst-test.inf" <<EOF
[Version]
Signature="\$Windows NT\$"
Class=System
ClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}
Provider=%Provider%
DriverVer=01/15/2024,1.0.0.0

[Manufacturer]
%Provider%=Models

[Models]
%Device.Desc%=Device_Install,$model_hwid

[Device_Install]
AddReg=Device_AddReg

[Device_AddReg]
HKR,,QvinstTestMarker,,"installed"

[Strings]
Provider="qvinst tests"
Device.Desc="qvinst test device"
EOF
sed -i 's/$/\r/' "$tmp/qvinst-test.inf"
inf=$(winpath "$tmp/qvinst-test.inf")

# --- list ------------------------------------------------------------------------

run_qvinst "$app" list
expect_eq "list: exit status 0" "$status" 0
tab=$'\t'
for row in "$pci_a$tab$pci_a_hwid$tab$pci_a_compact" "$pci_b$tab$pci_b_hwid$tab$pci_b_compact" \
           "$usb$tab$usb_hwid$tab$usb_compact" "$acpi$tab$acpi_hwid$tab$acpi_compact" \
           "$none$tab$none_hwid$tab-"; do
  if printf '%s\n' "$out" | grep -qxF -- "$row"; then
    check "list: line '$row'" 0
  else
    check "list: line '$row'" 1 "not in the output"
  fi
done
expect_eq "list: devices in enumeration order" "$(printf '%s\n' "$out" | cut -f1)" "$enumerated"

run_qvinst "$app" --json list
expect_eq "list --json: exit status 0" "$status" 0
json_check "list --json: devices in enumeration order" \
  '[x["instance_id"] for x in d["devices"]] == a[0].split("\n")' "$enumerated"
json_check "list --json: created devices with hardware and compact IDs" \
  'all({"instance_id": a[i], "hardware_id": a[i+1], "compact_id": a[i+2]} in d["devices"]
       for i in range(0, len(a), 3))' \
  "$pci_a" "$pci_a_hwid" "$pci_a_compact" "$usb" "$usb_hwid" "$usb_compact" \
  "$none" "$none_hwid" "" "$odd" "$odd_hwid" "$odd_compact"

# --- id --------------------------------------------------------------------------

run_qvinst "$app" id "$pci_a_hwid" "$usb_hwid" "$acpi_hwid"
expect_eq "id: exit status 0" "$status" 0
expect_eq "id: one compact ID per text" "$out" "$pci_a_compact"$'\n'"$usb_compact"$'\n'"$acpi_compact"
run_qvinst "$app" id "$none_hwid" "$usb_hwid"
expect_eq "id: text without compact ID ends with 3" "$status" 3
expect_eq "id: '-' for no compact ID" "$out" "-"$'\n'"$usb_compact"
run_qvinst "$app" --json id "$odd_hwid"
json_check "id --json: quote and tab come back" \
  'd == {"ids": [{"hardware_id": a[0], "compact_id": a[1]}]}' "$odd_hwid" "$odd_compact"

# --- find ------------------------------------------------------------------------

run_qvinst "$app" find "$pci_window"
expect_eq "find window: exit status 0" "$status" 0
expect_has "find window: names the rule" "$out" "rule: first 19 characters"
expect_eq "find window: both matches, the later one marked" \
  "$(printf '%s\n' "$out" | grep -E '^[* ] ' | cut -f1)" "  $pci_first"$'\n'"* $pci_last"
expect_has "find window: chosen line" "$out" "chosen: $pci_last"

run_qvinst "$app" --json find "$pci_a_compact"
expect_eq "find --json whole PCI ID: exit status 0" "$status" 0
json_check "find --json whole PCI ID: still the 19-character rule, later device chosen" \
  'd["rule"] == "first 19 characters" and d["chosen"] == a[1] and
   [(x["instance_id"], x["chosen"]) for x in d["devices"]] == [(a[0], False), (a[1], True)]' \
  "$pci_first" "$pci_last"

run_qvinst "$app" --json find "$usb_compact"
json_check "find --json USB: whole-text rule, the one device chosen" \
  'd["rule"] == "whole text" and d["chosen"] == a[0] and len(d["devices"]) == 1 and
   d["devices"][0] == {"instance_id": a[0], "hardware_id": a[1], "compact_id": a[2], "chosen": True}' \
  "$usb" "$usb_hwid" "$usb_compact"

run_qvinst "$app" find USB0A1B2C3D000000
expect_eq "find, revision differs: exit status 11" "$status" 11
expect_has "find, revision differs: whole-text rule" "$out" "rule: whole text"
expect_has "find, revision differs: nothing chosen" "$out" "chosen: none"
run_qvinst "$app" --json find USB0A1B2C3D000000
json_check "find --json, no match: no devices, chosen null" \
  'd["devices"] == [] and d["chosen"] is None'

# --- install ---------------------------------------------------------------------

use_newdev() {  # FILE | none
  if [ "$1" = none ]; then rm -f "$system32/newdev.dll"; else cp "$1" "$system32/newdev.dll"; fi
}
use_newdev "$programs/newdev_substitute.dll"

install_case() {  # NAME CODE STATUS [VARIABLE=VALUE...] -- INF ID
  local name=$1 code=$2 want=$3; shift 3
  local vars=()
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  (
    for v in "${vars[@]}"; do export "$v"; done
    invoke_status install "$@"
  )
  read_status
  expect_eq "install, $name: exit status $want" "$status" "$want"
  expect_eq "install, $name: prints code $code" "${out%% *}" "$code"
}

install_case "driver installed" 1 0 QV_NEWDEV_ACTION=install -- "$inf" "$pci_window"
expect_has "install, driver installed: names the code" "$out" "QV7_INSTALLED: "
marker() { wine "$programs/qv_device.exe" driver-value "$1" QvinstTestMarker 2>/dev/null | tr -d '\r' || true; }
expect_eq "install, driver installed: on the device find chose" "$(marker "$pci_last")" installed
expect_eq "install, driver installed: not on the other match" "$(marker "$pci_first")" ""

install_case "reboot needed" 2 3010 QV_NEWDEV_ACTION=succeed QV_NEWDEV_REBOOT=100 -- "$inf" "$usb_compact"
install_case "restart needed" 3 3010 QV_NEWDEV_ACTION=succeed QV_NEWDEV_REBOOT=80 -- "$inf" "$usb_compact"
install_case "reboot and restart" 3 3010 QV_NEWDEV_ACTION=succeed QV_NEWDEV_REBOOT=180 -- "$inf" "$acpi_compact"
install_case "no matching device" -1 11 QV_NEWDEV_ACTION=succeed -- "$inf" USB0A1B2C3D000000
install_case "missing INF" -2 12 QV_NEWDEV_ACTION=succeed -- "$(winpath "$tmp/absent.inf")" "$usb_compact"
install_case "installer failed" -3 13 QV_NEWDEV_ACTION=fail QV_NEWDEV_ERROR=5 -- "$inf" "$usb_compact"
install_case "empty INF path" -4 14 QV_NEWDEV_ACTION=succeed -- "" "$usb_compact"
install_case "not an NT driver" -8 18 QV_NEWDEV_ACTION=fail QV_NEWDEV_ERROR=E000022D -- "$inf" "$usb_compact"
use_newdev none
install_case "no NEWDEV.DLL" -7 17 -- "$inf" "$usb_compact"
use_newdev "$programs/newdev_without_entry.dll"
install_case "NEWDEV.DLL without entry point" -9 19 -- "$inf" "$usb_compact"
use_newdev "$programs/newdev_substitute.dll"

QV_NEWDEV_ACTION=succeed QV_NEWDEV_REBOOT=100 run_qvinst "$app" --json install "$inf" "$usb_compact"
expect_eq "install --json: exit status 3010, 194 in 8 bits" "$status" $((3010 % 256))
json_check "install --json: code, name, exit status and arguments" \
  'd == {"inf": a[0], "compact_id": a[1], "code": 2, "name": "QV7_INSTALLED_NEEDS_REBOOT",
         "meaning": d["meaning"], "exit_status": 3010} and "DI_NEEDREBOOT" in d["meaning"]' \
  "$inf" "$usb_compact"
run_qvinst "$app" --json install "$inf" USB0A1B2C3D000000
expect_eq "install --json, no device: exit status 11" "$status" 11
json_check "install --json, no device: -1 QV7_E_NO_DEVICE" \
  'd["code"] == -1 and d["name"] == "QV7_E_NO_DEVICE" and d["exit_status"] == 11'

run_qvinst "$lonely" install "$inf" "$usb_compact"
expect_eq "install without QUORVANT.dll beside: exit status 1" "$status" 1
expect_has "install without QUORVANT.dll beside: says so" "$err" "QUORVANT.dll"

# --- --version, --help, bad arguments ------------------------------------------------

run_qvinst "$app" --version
expect_eq "--version: exit status 0" "$status" 0
expect_has "--version: qvinst's version" "$out" "qvinst $version"
expect_has "--version: the DLL's version" "$out" "QUORVANT.dll $version.0 ("
run_qvinst "$lonely" --version
expect_eq "--version without the DLL: exit status 1" "$status" 1
expect_has "--version without the DLL: still qvinst's version" "$out" "qvinst $version"

run_qvinst "$app" --help
expect_eq "--help: exit status 0" "$status" 0
expect_has "--help: exit status table" "$out" "3010  result 2 QV7_INSTALLED_NEEDS_REBOOT"

bad_arguments() {  # NAME ARGS...
  local name=$1; shift
  run_qvinst "$app" "$@"
  expect_eq "bad arguments, $name: exit status 2" "$status" 2
  expect_eq "bad arguments, $name: nothing on stdout" "$out" ""
  expect_has "bad arguments, $name: usage on stderr" "$err" "usage: qvinst"
}
bad_arguments "none"
bad_arguments "unknown command" frobnicate
bad_arguments "unknown option" --jsn list
bad_arguments "list with operand" list extra
bad_arguments "find without ID" find
bad_arguments "install with one operand" install "$inf"
bad_arguments "--version with command" --version list

echo "qvinst: $(( $(date +%s) - started )) s"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
