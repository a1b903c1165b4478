# shellcheck shell=bash
# Sourced by the scripts that name a machine's release folder or helper:
# both read from the one machine table, install/bridge/machines.def.
#
#   machine_folder MACHINE   the folder of MACHINE's builds below dist/
#                            (I386, AMD64, ARM64; empty for dist/ itself)
#   machine_helper MACHINE   the file name of MACHINE's helper (empty: none)
machines_def=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/install/bridge/machines.def

# MACHINE's row split at its quotes: 2 architecture, 4 folder, 6 helper.
machine_quoted() {
  local found
  found=$(awk -F'"' -v row="QV_MACHINE($1," -v field="$2" \
    'index($0, row) == 1 { print $field; n++ } END { exit n != 1 }' "$machines_def") ||
    { echo "machines.sh: no one row for machine $1 in $machines_def" >&2; return 1; }
  printf '%s\n' "$found"
}
machine_folder() { machine_quoted "$1" 4; }
machine_helper() { machine_quoted "$1" 6; }
