#!/usr/bin/env bash
# Static checks of the released binaries (the 32-bit, x64 and ARM64 DLLs,
# both helpers and the custom-action DLLs):
# machine, export and import tables,
# security flags, version resource, size, and the header and import library;
# that the header and the setup programs' includes hold every result code
# of the table they are written from; the Windows Installer sources (the
# wixl template and the WiX v4/v5 fragment) against the custom actions'
# exports and data fields; and the documentation: every setup-program text
# it shows is part of its file, every link names a file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
python3 "$root/tests/static/check_dll.py" "$root/dist"
python3 "$root/tests/static/check_setup_includes.py" "$root/dist"
python3 "$root/tests/static/check_msi_sources.py"
bash "$root/scripts/check-docs.sh"
