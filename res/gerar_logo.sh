#!/usr/bin/env bash
# Draws the agent's logo (a rounded blue square with a white "V" and a soft
# shadow) and writes res/logo_agente.png (150x150 RGBA) and res/Zelvan.ico.
# The outputs are committed; run this again only after changing the drawing.
# Needs ImageMagick 6 (convert).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Drawn once at 1024x1024 in design units of 1/150 of the side, then scaled
# down, so that every size is anti-aliased from the same master.
M=1024
u() { awk -v v="$1" -v m=$M 'BEGIN { printf "%.1f", v * m / 150 }'; }

# Soft shadow under the square, a little lower than it.
convert -size ${M}x${M} xc:none -fill 'rgba(0,20,60,0.55)' \
  -draw "roundrectangle $(u 12),$(u 15) $(u 138),$(u 141) $(u 30),$(u 30)" \
  -blur 0x$(u 4) "$tmp/sombra.png"

# The square: the brand blue #0164E6 with a gentle top-to-bottom shading.
convert -size ${M}x${M} xc:none -fill white \
  -draw "roundrectangle $(u 10),$(u 8) $(u 140),$(u 138) $(u 30),$(u 30)" "$tmp/forma.png"
convert -size ${M}x${M} gradient:'#1F7DF5-#0154C4' \
  \( -size ${M}x${M} xc:'#0164E6' \) -compose blend -define compose:args=45 -composite \
  "$tmp/forma.png" -compose CopyOpacity -composite "$tmp/quadrado.png"

# A faint sheen over the upper half.
convert -size ${M}x${M} xc:none -fill 'rgba(255,255,255,0.10)' \
  -draw "roundrectangle $(u 10),$(u 8) $(u 140),$(u 70) $(u 30),$(u 30)" \
  "$tmp/forma.png" -compose DstIn -composite "$tmp/brilho.png"

# The "V": two strokes of unequal weight meeting at a rounded point, with a
# shadow of its own so that it stands off the blue.
V="polygon $(u 38),$(u 40) $(u 60),$(u 40) $(u 77),$(u 89) $(u 96),$(u 40) $(u 112),$(u 40) $(u 85),$(u 110) $(u 68),$(u 110)"
convert -size ${M}x${M} xc:none -fill white -stroke white -strokewidth $(u 5) \
  -draw "stroke-linejoin round $V" "$tmp/v.png"
convert -size ${M}x${M} xc:none -fill 'rgba(0,30,90,0.35)' -stroke 'rgba(0,30,90,0.35)' \
  -strokewidth $(u 5) -draw "translate 0,$(u 2.5) stroke-linejoin round $V" -blur 0x$(u 2) \
  "$tmp/vsombra.png"

convert "$tmp/sombra.png" "$tmp/quadrado.png" -compose Over -composite \
  "$tmp/brilho.png" -compose Over -composite \
  "$tmp/vsombra.png" -compose Over -composite \
  "$tmp/v.png" -compose Over -composite "$tmp/mestre.png"

png() { convert "$tmp/mestre.png" -filter Lanczos -resize "$1x$1" -strip \
  -define png:exclude-chunks=date,time "PNG32:$2"; }

png 150 logo_agente.png
for s in 16 24 32 48 64 256; do png $s "$tmp/i$s.png"; done
convert "$tmp"/i16.png "$tmp"/i24.png "$tmp"/i32.png "$tmp"/i48.png "$tmp"/i64.png \
  "$tmp"/i256.png Zelvan.ico
echo "written: $(pwd)/logo_agente.png $(pwd)/Zelvan.ico"
