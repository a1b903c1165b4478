#!/usr/bin/env bash
# Static checks of the released binaries (the 32-bit, x64 and ARM64 DLLs,
# both helpers and the custom-action DLLs):
# machine, export and import tables,
# security flags, version resource, size, and the header and import library;
# and that every setup-program text the README shows is part of its file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
python3 "$root/tests/static/check_dll.py" "$root/dist"
bash "$root/scripts/check-readme-recipes.sh"
