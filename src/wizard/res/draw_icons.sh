#!/usr/bin/env bash
# Draws the wizard's own pictures with ImageMagick: a cardboard box with a
# green arrow going into it. setup.ico (32 x 32 and 16 x 16) is the
# program's icon; picture.bmp (32 x 32 on white) is the picture of the
# header band when the package brings none. Both are committed; run this
# only to change the design.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 32x32 xc:none \
  -fill '#c8955a' -stroke '#6b4521' -strokewidth 1 -draw "polygon 4,14 16,19 16,30 4,25" \
  -fill '#a8743e' -draw "polygon 16,19 28,14 28,25 16,30" \
  -fill '#e3b77f' -draw "polygon 4,14 16,9 28,14 16,19" \
  -fill '#2f9e44' -stroke '#1b5e27' -draw "polygon 13,2 19,2 19,9 23,9 16,16 9,9 13,9" \
  "$tmp/box32.png"
convert "$tmp/box32.png" -resize 16x16 "$tmp/box16.png"
convert "$tmp/box32.png" "$tmp/box16.png" setup.ico
convert "$tmp/box32.png" -background white -flatten -type TrueColor BMP3:picture.bmp
