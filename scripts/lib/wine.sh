# Shared by scripts/wine-prefix, scripts/wine-run, scripts/test and scripts/run.
# Source it; it defines functions and the Wine environment, nothing else.

KEELHAVEN_WINE=/usr/lib/wine/wine64
KEELHAVEN_WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=-all
# No Mono or Gecko prompts, no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Starts the prefix's wineserver unless it runs; it exits 60 s after its last
# client. Every stdio stream goes to /dev/null: wineserver and the services it
# starts inherit them, and an inherited pipe would keep a reader waiting.
keelhaven_wineserver_start() {
  WINEPREFIX="$1" "$KEELHAVEN_WINESERVER" -p60 </dev/null >/dev/null 2>&1 || true
}

keelhaven_wineserver_stop() {
  [[ -d "$1" ]] || return 0
  WINEPREFIX="$1" "$KEELHAVEN_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
}

# Creates the prefix once (about 700 MB, 5-7 s) and marks it ready. Safe to
# call from many processes at once: the first one builds, the others wait.
keelhaven_prefix_prepare() {
  local prefix=$1
  mkdir -p "$prefix"
  if [[ ! -e "$prefix/.keelhaven-ready" ]]; then
    # -o: the lock's descriptor must not leak into wineserver, which would
    # then hold the lock for as long as it runs.
    flock -o "$prefix.lock" "$(dirname "${BASH_SOURCE[0]}")/wine-prefix-init" "$prefix"
  fi
  keelhaven_wineserver_start "$prefix"
}

# A Unix path as the Windows programs see it (Wine maps / to Z:).
keelhaven_windows_path() { printf 'Z:%s' "${1//\//\\}"; }
