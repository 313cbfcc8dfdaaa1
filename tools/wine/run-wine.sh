#!/usr/bin/env bash
# Runs one Windows program under Wine in a throwaway prefix of its own, so that
# no run sees what another left in C:\Talmeq, and keeps the program's exit code.
#   tools/wine/run-wine.sh PROGRAM.exe [ARGS...]
#
# A template prefix is built once per machine and Wine version (in
# $VESK_WINE_CACHE, default ~/.cache/vesk-wine-template) and each run gets a
# hard-linked copy of it in which every file Wine or the program may rewrite is
# a private copy. Without DISPLAY the run gets an Xvfb screen of its own
# (1920x1080, 24 bits, at the DPI of the run). Screenshots go to $VESK_SCREENS (default
# out/screens of the repository), which the program sees as $VESK_SCREENS_WIN.
# Environment: VESK_* passes through as it is; VESK_WINE_TIMEOUT (seconds,
# default 840) stops a program that hangs; VESK_WINE_KEEP=1 keeps the prefix;
# VESK_CONFIG_INI names a config.ini to start from; VESK_WINE_SEM_GERENTE=1
# makes Wine draw the window frames on a screen without a window manager;
# VESK_WINE_DPI (default 96) is the DPI the program starts at, 144 for 150 %.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
prog=$1
shift
if [ ! -f "$prog" ]; then
  echo "run-wine: no such program: $prog" >&2
  exit 2
fi

# --- the Wine binaries -------------------------------------------------------
# Debian keeps wine64 out of PATH; the wrapper "wine" asks for wine32 otherwise.
wine_bin=$(command -v wine64 || true)
[ -z "$wine_bin" ] && [ -x /usr/lib/wine/wine64 ] && wine_bin=/usr/lib/wine/wine64
[ -z "$wine_bin" ] && wine_bin=$(command -v wine || true)
if [ -z "$wine_bin" ]; then
  echo "run-wine: Wine is not installed (./run setup installs it)" >&2
  exit 127
fi
server_bin=$(command -v wineserver || true)
[ -z "$server_bin" ] && [ -x /usr/lib/wine/wineserver64 ] && server_bin=/usr/lib/wine/wineserver64
export WINELOADER=$wine_bin
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompt, and no menu entries or file associations on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64

wine_version=$("$wine_bin" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_' | head -1)
cache=${VESK_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesk-wine-template}
# On an Xvfb of our own there is no window manager: Wine then draws the window
# frames itself (so screenshots show them) and does not wait for a manager that
# never answers when a window is shown or destroyed. On a real desktop the
# manager stays in charge. Each way has its own template.
# VESK_WINE_SEM_GERENTE=1 asks for that too on a screen that someone else
# started without a manager (the demo's).
xvfb_propria=0
[ -z "${DISPLAY:-}" ] && xvfb_propria=1
if [ $xvfb_propria = 1 ] || [ "${VESK_WINE_SEM_GERENTE:-0}" = 1 ]; then
  sem_gerente=1
  template=$cache/$wine_version-xvfb
else
  sem_gerente=0
  template=$cache/$wine_version
fi
mkdir -p "$cache/runs"

# --- the template prefix, once per machine ------------------------------------
build_template() {
  local tmp
  tmp=$(mktemp -d "$cache/building.XXXXXX")
  # Settings every run shares: no crash dialog that would block a test, a fixed
  # 96 DPI, Windows 10.
  cat >"$tmp.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine]
"Version"="win10"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]
"LogPixels"=dword:00000060
EOF
  if [ $sem_gerente = 1 ]; then
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' >>"$tmp.reg"
  fi
  (
    export WINEPREFIX=$tmp
    unset DISPLAY
    "$wine_bin" wineboot -i >"$tmp.log" 2>&1
    "$wine_bin" regedit /S "$(echo "Z:$tmp.reg" | tr / '\\')" >>"$tmp.log" 2>&1
    "$server_bin" -w
  )
  rm -f "$tmp.reg"
  if [ ! -f "$tmp/system.reg" ] || [ ! -d "$tmp/drive_c/windows/system32" ]; then
    echo "run-wine: could not create the Wine prefix:" >&2
    cat "$tmp.log" >&2
    rm -rf "$tmp" "$tmp.log"
    return 1
  fi
  rm -f "$tmp.log"
  mv "$tmp" "$template"
}

if [ ! -f "$template/system.reg" ]; then
  exec 9>"$cache/lock"
  flock 9
  if [ ! -f "$template/system.reg" ]; then
    echo "run-wine: creating the Wine template prefix in $template (once)" >&2
    build_template || exit 1
  fi
  flock -u 9
  exec 9>&-
fi

# --- this run's prefix ----------------------------------------------------------
run_dir=$(mktemp -d "$cache/runs/run.XXXXXX")
export WINEPREFIX=$run_dir/prefix
xvfb_pid=""
cleanup() {
  trap - EXIT INT TERM HUP
  if [ -d "$WINEPREFIX" ]; then
    "$server_bin" -k 2>/dev/null
    "$server_bin" -w 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ "${VESK_WINE_KEEP:-0}" = 1 ]; then
    echo "run-wine: prefix kept in $WINEPREFIX" >&2
  else
    rm -rf "$run_dir"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Hard links make the copy instant; the program binaries and data files that
# nothing writes stay shared, every other file (registry, ini, inf, manifests)
# becomes a private copy so that no run can change the template.
if cp -al "$template" "$WINEPREFIX" 2>/dev/null; then
  find "$WINEPREFIX" -type f ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' ! -iname '*.sys' \
    ! -iname '*.ocx' ! -iname '*.cpl' ! -iname '*.acm' ! -iname '*.tlb' ! -iname '*.ax' \
    ! -iname '*.ds' ! -iname '*.nls' ! -iname '*.com' ! -iname '*.msstyles' -print0 |
    while IFS= read -r -d '' f; do
      cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"
    done
else
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX" || exit 1
fi

# The DPI Wine reads from the prefix when the program starts: every place the
# template holds the 96 of its build gets the asked value.
dpi=${VESK_WINE_DPI:-96}
case "$dpi" in
  '' | *[!0-9]*)
    echo "run-wine: VESK_WINE_DPI must be a number of dots per inch: $dpi" >&2
    exit 2
    ;;
esac
if [ "$dpi" -lt 48 ] || [ "$dpi" -gt 480 ]; then
  echo "run-wine: VESK_WINE_DPI out of range (48 to 480): $dpi" >&2
  exit 2
fi
if [ "$dpi" != 96 ]; then
  hex=$(printf '%08x' "$dpi")
  for f in "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg"; do
    grep -q '^"LogPixels"=dword:00000060' "$f" || {
      echo "run-wine: no LogPixels in $f of the template" >&2
      exit 1
    }
    sed -i "s/^\"LogPixels\"=dword:00000060/\"LogPixels\"=dword:$hex/" "$f" || exit 1
  done
fi

# A configuration to start from (the demo's): copied into the base folder.
if [ -n "${VESK_CONFIG_INI:-}" ]; then
  mkdir -p "$WINEPREFIX/drive_c/Talmeq/VESKINTRANET"
  cp "$VESK_CONFIG_INI" "$WINEPREFIX/drive_c/Talmeq/VESKINTRANET/config.ini" || exit 1
fi

# --- screen -----------------------------------------------------------------------
if [ $xvfb_propria = 1 ]; then
  if ! command -v Xvfb >/dev/null; then
    echo "run-wine: DISPLAY is unset and Xvfb is not installed" >&2
    exit 127
  fi
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -dpi "$dpi" -nolisten tcp -noreset \
    3>"$run_dir/display" >"$run_dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 200); do
    [ -s "$run_dir/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -s "$run_dir/display" ]; then
    echo "run-wine: Xvfb did not start" >&2
    cat "$run_dir/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$(head -1 "$run_dir/display")"
fi

# --- screenshots folder -------------------------------------------------------------
export VESK_SCREENS=${VESK_SCREENS:-$repo/out/screens}
mkdir -p "$VESK_SCREENS"
VESK_SCREENS=$(cd "$VESK_SCREENS" && pwd)
# Wine maps Z:\ to the root of the Linux file system.
VESK_SCREENS_WIN="Z:$(printf '%s' "$VESK_SCREENS" | tr / '\\')"
export VESK_SCREENS_WIN

# --- run -----------------------------------------------------------------------------
# The server exits as soon as the last program of the prefix ends, so that the
# wait below does not linger.
"$server_bin" -p0
# In the background with a wait, so that a TERM sent to this script (the demo
# ending its agent) runs the cleanup at once instead of after the program ends.
timeout --kill-after=10 "${VESK_WINE_TIMEOUT:-840}" "$wine_bin" "$prog" "$@" &
wait $!
rc=$?
if [ $rc -eq 124 ]; then
  echo "run-wine: $(basename "$prog") did not end within ${VESK_WINE_TIMEOUT:-840} s" >&2
fi
"$server_bin" -w
exit $rc
