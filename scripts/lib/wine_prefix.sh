# shellcheck shell=bash
# Sourced by the scripts that run programs under Wine: a private, throwaway
# Wine prefix for one run, and the verdict of a runner's log.
#
#   wine_prefix_start NAME [ARCH]
#                            creates $wine_tmp (a fresh temporary folder) and
#                            the prefix $wine_tmp/pfx in it (ARCH win32, the
#                            default, or win64), exports WINEARCH,
#                            WINEPREFIX and WINEDEBUG, and on exit stops the
#                            prefix's wineserver and removes the folder. The
#                            prefix is checked once made (prefix_fault); one
#                            found wanting is made again once, and the run
#                            stops, naming the fault, when it still is
#   winpath PATH             the Windows path of a Unix path, through drive Z:
#   require_built NAME FILE...  stops the script when a built file is missing
#   runner_passed LOG NAME   whether LOG ends with "N passed, 0 failed"; a
#                            runner that died before its closing line fails
#   runs_32bit_programs      whether this machine runs 32-bit x86 programs
#                            under Wine (never with QV_NO_32BIT=1: the tiers
#                            then run as on a machine that runs none, the
#                            x86 machine included); no_32bit_reason says why
#                            not
#   not_run NAME WHAT        says loudly that WHAT was not run on this machine
#                            for want of 32-bit programs, and records it for
#                            scripts/test.sh's summary
#   wine ARGS                Wine's loader: the usual one, or the 64-bit one
#                            where 32-bit programs cannot run
#   in_vm32 COMMAND...       runs COMMAND (a tier script, say) in the x86
#                            machine of scripts/lib/vm32.sh, for a host that
#                            runs no 32-bit programs, with the caller's
#                            QV_E2E_* and ENDURANCE_* settings
#
# Every tier runs under a UTF-8 locale that every Debian machine has, whatever
# the caller's: Wine takes its ANSI code page from it (1252 under C.UTF-8),
# and under the C locale it cannot map a byte above 0x7F to a file name.
export LC_ALL=C.UTF-8
unset LANGUAGE

# Some kernels run 64-bit user code only (IA-32 emulation built out or
# switched off): there every 32-bit x86 program, the 32-bit Wine loader
# among them, fails to start with ENOEXEC, and so does every 32-bit Windows
# program under Wine, in a 32-bit prefix or under WOW64. 64-bit Wine runs.
# A missing 32-bit loader is no such machine: it is a broken installation,
# and the tiers fail on it.
kernel_runs_32bit_programs() {
  local out
  [ -x /lib/ld-linux.so.2 ] || return 0
  out=$(/lib/ld-linux.so.2 --version 2>&1 >/dev/null) && return 0
  ! grep -q 'Exec format error' <<<"$out"
}

# Why this machine runs no 32-bit Windows programs; nothing when it does.
# A kernel that runs them is of no use without the 32-bit Wine, which
# scripts/deps.sh installs when it can (a mirror can fail to serve it).
no_32bit_reason() {
  if [ -n "${QV_NO_32BIT:-}" ]; then
    echo "QV_NO_32BIT is set"
  elif ! kernel_runs_32bit_programs; then
    echo "its kernel runs no 32-bit x86 programs: an i386 program fails with ENOEXEC"
  elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "the 32-bit Wine, wine32:i386, could not be installed"
  fi
}

runs_32bit_programs() {
  [ -z "$(no_32bit_reason)" ]
}

not_run() {
  local line="$1: NOT RUN on this machine: $2 ($(no_32bit_reason))"
  echo "$line" >&2
  if [ -n "${QV_NOT_RUN_LOG:-}" ]; then
    echo "$line" >>"$QV_NOT_RUN_LOG"
  fi
}

if runs_32bit_programs; then
  wine_loader=wine
else
  wine_loader=/usr/lib/wine/wine64
  export WINELOADER=$wine_loader
fi
# `command`: with wine_loader=wine, the function would call itself.
wine() {
  if [ "${WINEARCH:-}" = win64 ]; then command /usr/lib/wine/wine64 "$@"; else command "$wine_loader" "$@"; fi
}

in_vm32() {
  local settings
  mapfile -t settings < <(env | grep -E '^(QV_E2E|ENDURANCE)_' || true)
  bash "$(dirname "${BASH_SOURCE[0]}")/vm32.sh" env "${settings[@]}" "$@"
}

wine_prefix_stop() {
  WINEPREFIX="$wine_tmp/pfx" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$wine_tmp"
}

# What is wrong with a prefix just made, or nothing: WINDOWS (its windows
# folder as seen here) holds kernel32.dll in system32 and in FOLDER, and
# FOLDER's cmd.exe, started by RUN... (wine, say), answers. FOLDER is where
# the prefix's programs of the bitness the tier needs live: syswow64 for the
# 32-bit side of a 64-bit prefix. A slow machine can leave a prefix half
# made, without its 32-bit side, while wineboot still succeeds.
prefix_fault() {
  local windows=$1 folder=$2 answer f
  shift 2
  for f in system32 "$folder"; do
    [ -f "$windows/$f/kernel32.dll" ] || { echo "$f\\kernel32.dll is missing"; return; }
  done
  answer=$("$@" "C:\\windows\\$folder\\cmd.exe" /c echo qv-prefix-ready 2>&1 | tr -d '\r') || true
  grep -qx qv-prefix-ready <<<"$answer" ||
    echo "$folder\\cmd.exe does not start: $(tail -n 1 <<<"$answer")"
}

# Runs MAKE, which says why when it fails; when FAULT (prefix_fault with its
# arguments, say) names a fault, REMOVE and MAKE once more; stops the run,
# naming the fault and how MAKE ended, when there still is one. The check,
# not MAKE's status, decides: in the loaded x86 machine wineboot has ended
# with status 53 (STATUS_DLL_NOT_FOUND's low byte) after saying the prefix
# was made. NAME is the tier's, WHAT the prefix's kind.
prefix_checked() {
  local name=$1 what=$2 make=$3 remove=$4 fault made attempt
  shift 4
  for attempt in first second; do
    made=$("$make") || made=${made:-$make failed}
    fault=$("$@")
    if [ -z "$fault" ]; then
      [ -z "$made" ] || echo "$name: $made; the $what prefix passes its checks" >&2
      return 0
    fi
    [ -z "$made" ] || fault="$fault; $made"
    [ "$attempt" = first ] || break
    echo "$name: the $what prefix is not usable ($fault); making it again" >&2
    "$remove"
  done
  echo "$name: the $what prefix, made twice, is not usable: $fault" >&2
  exit 1
}

wine_prefix_make() {
  local status=0
  # Wine's own dialogs and add-on installers stay out of the way while the
  # prefix is made. No entry for newdev: the programs switch it through the
  # registry, and an entry here would take precedence. wineserver -w: the
  # prefix is made only once every program wineboot started has ended.
  WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >"$wine_tmp/wineboot.log" 2>&1 || status=$?
  wineserver -w
  wineboot_fault "$status" "$wine_tmp/wineboot.log"
}

# Says how wineboot ended with STATUS, from its output in LOG; fails unless
# STATUS is 0.
wineboot_fault() {
  [ "$1" -eq 0 ] && return
  echo "wineboot ended with status $1: $(grep -v '^ *$' "$2" | tail -n 3 | tr '\n' ' ')"
  return 1
}

wine_prefix_remove() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

wine_prefix_start() {
  local folder=system32
  wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/qv-$1.XXXXXX")
  trap wine_prefix_stop EXIT
  export WINEARCH="${2:-win32}" WINEPREFIX="$wine_tmp/pfx" WINEDEBUG=-all
  unset DISPLAY
  if [ "$WINEARCH" = win64 ] && runs_32bit_programs; then folder=syswow64; fi
  prefix_checked "$1" "$WINEARCH" wine_prefix_make wine_prefix_remove \
    prefix_fault "$WINEPREFIX/drive_c/windows" "$folder" wine
}

# shellcheck disable=SC1003  # the backslash is the replacement, not an escape
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }

runner_passed() {
  local closing
  closing=$(tail -n 1 "$1")
  if ! grep -Eqx '[0-9]+ passed, [0-9]+ failed' <<<"$closing"; then
    echo "$2: the runner ended without its closing line" >&2
    return 1
  fi
  grep -Eqx '[0-9]+ passed, 0 failed' <<<"$closing"
}

require_built() {
  local name=$1 f
  shift
  for f in "$@"; do
    if [ ! -f "$f" ]; then
      echo "$name: $f is missing; run bash scripts/build.sh first" >&2
      exit 1
    fi
  done
}
