# shellcheck shell=bash
# Sourced by the scripts that run programs under Wine: a private, throwaway
# Wine prefix for one run, and the verdict of a runner's log.
#
#   wine_prefix_start NAME [ARCH]
#                            creates $wine_tmp (a fresh temporary folder) and
#                            the prefix $wine_tmp/pfx in it (ARCH win32, the
#                            default, or win64), exports WINEARCH,
#                            WINEPREFIX, WINEDEBUG and LC_ALL, and on exit
#                            stops the prefix's wineserver and removes the
#                            folder
#   winpath PATH             the Windows path of a Unix path, through drive Z:
#   require_built NAME FILE...  stops the script when a built file is missing
#   runner_passed LOG NAME   whether LOG ends with "N passed, 0 failed"; a
#                            runner that died before its closing line fails

wine_prefix_stop() {
  WINEPREFIX="$wine_tmp/pfx" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$wine_tmp"
}

wine_prefix_start() {
  wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/qv-$1.XXXXXX")
  trap wine_prefix_stop EXIT
  export WINEARCH="${2:-win32}" WINEPREFIX="$wine_tmp/pfx" WINEDEBUG=-all
  # Wine maps file names to the host's through the locale's character set:
  # under the C locale it cannot name a file with a byte above 0x7F. C.UTF-8
  # is on every Debian system; its ANSI code page under Wine is 1252.
  export LC_ALL=C.UTF-8
  unset DISPLAY
  # Wine's own dialogs and add-on installers stay out of the way while the
  # prefix is made. No entry for newdev: the programs switch it through the
  # registry, and an entry here would take precedence.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
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
