#!/usr/bin/env bash
# Saves a PNG of the X screen in DISPLAY, or of one window found by its title.
#   tools/wine/screenshot.sh OUT.png [WINDOW_TITLE]
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 OUT.png [WINDOW_TITLE]" >&2
  exit 2
fi
out=$1
title=${2:-}
if [ -z "${DISPLAY:-}" ]; then
  echo "screenshot: DISPLAY is unset" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
tmp=$(mktemp /tmp/vesk-shot.XXXXXX.xwd)
trap 'rm -f "$tmp"' EXIT
if [ -n "$title" ]; then
  # -frame is left out: Wine draws its own frames on undecorated X windows.
  xwd -silent -name "$title" -out "$tmp"
else
  xwd -silent -root -out "$tmp"
fi
convert "xwd:$tmp" -strip "png:$out"
