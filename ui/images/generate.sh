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
