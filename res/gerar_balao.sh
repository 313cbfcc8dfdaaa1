#!/usr/bin/env bash
# Draws the chat bubble's picture (a round blue button with two speech balloons
# on transparent corners) and writes chat/uBalaoPng.inc (the 72x72 RGBA PNG as
# Base64, embedded in the program), chat/uBalaoPng144.inc (the same drawing at
# 144x144, painted on screens above 96 DPI so that it is scaled down, never
# up) and res/chat_balao.ico (16 and 32 pixels,
# shipped beside Zelvan.exe for the chat window). The outputs are committed;
# run this again only after changing the drawing. Needs ImageMagick 6 and icotool.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Drawn at 576x576 (8 x 72) and scaled down, anti-aliased.
M=576
u() { awk -v v="$1" -v m=$M 'BEGIN { printf "%.1f", v * m / 72 }'; }

# The button: a disc 70 across, blue with a light top.
convert -size ${M}x${M} xc:none -fill white -draw "circle $(u 36),$(u 36) $(u 36),$(u 1)" \
  "$tmp/disco.png"
convert -size ${M}x${M} gradient:'#2F8BFF-#0057D9' "$tmp/disco.png" -compose CopyOpacity \
  -composite "$tmp/botao.png"
# The back balloon, light blue, upper right; the front one, white, lower left,
# with three blue dots.
convert -size ${M}x${M} xc:none \
  -fill '#BFDBFE' -draw "roundrectangle $(u 30),$(u 17) $(u 56),$(u 37) $(u 8),$(u 8)" \
  -draw "polygon $(u 47),$(u 35) $(u 54),$(u 43) $(u 42),$(u 36)" \
  -fill white -draw "roundrectangle $(u 14),$(u 28) $(u 46),$(u 52) $(u 10),$(u 10)" \
  -draw "polygon $(u 20),$(u 50) $(u 16),$(u 60) $(u 30),$(u 51)" \
  -fill '#1268E8' -draw "circle $(u 22),$(u 40) $(u 24.6),$(u 40)" \
  -draw "circle $(u 30),$(u 40) $(u 32.6),$(u 40)" -draw "circle $(u 38),$(u 40) $(u 40.6),$(u 40)" \
  "$tmp/baloes.png"
convert "$tmp/botao.png" "$tmp/baloes.png" -compose Over -composite "$tmp/mestre.png"

convert "$tmp/mestre.png" -filter Lanczos -resize 72x72 -define png:color-type=6 \
  -define png:bit-depth=8 -strip "PNG32:$tmp/balao72.png"
convert "$tmp/mestre.png" -filter Lanczos -resize 144x144 -define png:color-type=6 \
  -define png:bit-depth=8 -strip "PNG32:$tmp/balao144.png"
for s in 16 32; do
  convert "$tmp/mestre.png" -filter Lanczos -resize ${s}x${s} -strip "PNG32:$tmp/ico$s.png"
done
icotool -c -o chat_balao.ico "$tmp/ico16.png" "$tmp/ico32.png"

{
  echo "// The chat bubble's picture: a 72x72 RGBA PNG in Base64, drawn by res/gerar_balao.sh."
  echo "R\"b64("
  base64 -w 100 "$tmp/balao72.png"
  echo ")b64\""
} >../chat/uBalaoPng.inc
{
  echo "// The chat bubble's picture at 144x144 for screens above 96 DPI, drawn by res/gerar_balao.sh."
  echo "R\"b64("
  base64 -w 100 "$tmp/balao144.png"
  echo ")b64\""
} >../chat/uBalaoPng144.inc
