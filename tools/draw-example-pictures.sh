#!/usr/bin/env bash
# Redraws the example firmware's pictures (examples/firmware/pictures/) with ImageMagick: a
# splash larger than the frame, a sheet of two 16 x 16 icons with transparent corners, and a
# three-frame spinner, each frame adding a square to the one before.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$RAVIK_ROOT/examples/firmware/pictures"
mkdir -p "$out"
# No time chunks and no comments: the same command writes the same bytes.
png=(-strip -define png:exclude-chunks=date,time)
/usr/bin/convert -size 120x80 gradient:'#102060-#F0C040' \
    -fill '#E03020' -draw 'circle 40,40 40,16' \
    -fill white -draw 'rectangle 70,20 110,60' \
    -fill '#208040' -draw 'polygon 75,55 90,25 105,55' \
    "${png[@]}" PNG24:"$out/splash.png"
/usr/bin/convert -size 32x16 xc:none \
    -fill '#3080F0' -draw 'circle 8,8 8,1' \
    -fill '#F04010' -draw 'roundrectangle 18,2 29,13 3,3' \
    "${png[@]}" PNG32:"$out/icons.png"
/usr/bin/convert -size 24x24 xc:'#202020' -fill '#40C0F0' -draw 'rectangle 2,2 9,9' \
    \( -clone 0 -fill '#40C0F0' -draw 'rectangle 14,2 21,9' \) \
    \( -clone 0 -fill '#40C0F0' -draw 'rectangle 14,14 21,21' \) \
    -set delay 10 -loop 0 "$out/spinner.gif"
