#!/bin/sh
# Renders the program's PNG images from their SVG sources in this folder.
# Needs rsvg-convert (Debian: apt-get install librsvg2-bin).
#
# tavlun.svg holds three pixel-fitted drawings of the icon: "icon" (32 px,
# shown by default), "icon48" and "icon16" (hidden). A small style sheet
# shows the right one for each size.
set -eu
cd "$(dirname "$0")"

command -v rsvg-convert >/dev/null 2>&1 || {
    echo "generate.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
    exit 1
}

css=$(mktemp)
trap 'rm -f "$css"' EXIT

rsvg-convert -w 32 -h 32 tavlun.svg -o tavlun-32.png

printf '#icon { display: none; } #icon48 { display: inline; }\n' > "$css"
rsvg-convert -s "$css" -w 48 -h 48 tavlun.svg -o tavlun-48.png

printf '#icon { display: none; } #icon16 { display: inline; }\n' > "$css"
rsvg-convert -s "$css" -w 16 -h 16 tavlun.svg -o tavlun-16.png

rsvg-convert -w 104 -h 86 accessory.svg -o accessory.png
rsvg-convert -w 32 -h 32 hand.svg -o hand.png

# The Windows program's resources (ui/windows/images), from the PNGs above;
# needs ImageMagick (apt-get install imagemagick) and python3. The pointer
# becomes a cursor whose hot spot is the fingertip (12, 1).
command -v convert-im6.q16 >/dev/null 2>&1 && im=convert-im6.q16 || im=convert
win=../windows/images
mkdir -p "$win"
"$im" tavlun-16.png tavlun-32.png tavlun-48.png "$win/tavlun.ico"
"$im" accessory.png -define bmp3:alpha=true "BMP3:$win/accessory.bmp"
"$im" hand.png "$win/hand.cur"
python3 - "$win/hand.cur" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<H", data, 2, 2)          # a cursor, not an icon
struct.pack_into("<HH", data, 10, 12, 1)    # its hot spot in place of planes and bit count
open(sys.argv[1], "wb").write(data)
PY
