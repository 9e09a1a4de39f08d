#!/usr/bin/env bash
# Makes a varied set of 98 x 67 pictures for measuring picture compression, with ImageMagick from
# its built-in pictures, the system's icons, fonts and documentation images, and drawings:
# photographs, icons, interface screens, charts, gradients and text screenshots, one PNG each, into
# DIR. Pictures whose source this system lacks are left out (the list is printed).
# Usage: tools/make-picture-set.sh DIR
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:?usage: make-picture-set.sh DIR}
mkdir -p "$out"
magick=/usr/bin/convert
sans=$(fc-match -f '%{file}' 'DejaVu Sans')
mono=$(fc-match -f '%{file}' 'DejaVu Sans Mono')
hanzi=$(fc-match -f '%{file}' 'Noto Sans CJK SC:lang=zh-cn')
size=98x67

# A picture from a file or built-in source, cropped to fill 98 x 67.
fill() { # name source
    if "$magick" "$2" -resize "$size^" -gravity center -extent "$size" "$out/$1.png" 2>/dev/null; then
        return
    fi
    echo "left out: $1 ($2)"
}

# Photographs and textures.
fill photo-rose rose:
fill photo-wizard wizard:
fill photo-granite granite:
"$magick" -seed 4 -size $size plasma: "$out/photo-plasma-4.png"
"$magick" -seed 7 -size $size plasma:green-blue "$out/photo-plasma-7.png"
for picture in largedemo-setup stdiodemo-setup largedemo-wiring; do
    fill "photo-$picture" "/usr/share/doc/avr-libc/avr-libc-user-manual/$picture.jpg"
done

# Icons on an interface's background, and a sheet of them.
icons=/usr/share/icons/Adwaita/48x48
"$magick" -size $size xc:'#f0f0f0' \
    \( "$icons/places/user-trash.png" -resize 32x32 \) -geometry +6+6 -composite \
    \( "$icons/places/folder-pictures.png" -resize 32x32 \) -geometry +52+6 -composite \
    \( "$icons/places/user-desktop.png" -resize 32x32 \) -geometry +6+34 -composite \
    \( "$icons/places/folder.png" -resize 32x32 \) -geometry +52+34 -composite \
    "$out/icons-adwaita.png" 2>/dev/null || echo "left out: icons-adwaita ($icons)"
"$magick" -size $size xc:black -fill '#2080ff' -draw 'roundrectangle 4,4 30,30 6,6' \
    -fill '#e03030' -draw 'circle 50,17 50,5' -fill none -stroke '#30c030' -strokewidth 3 \
    -draw 'circle 80,17 80,6' -stroke none -fill '#ffd000' -draw 'polygon 17,38 30,62 4,62' \
    -fill '#808080' -draw 'rectangle 38,48 62,52' -draw 'rectangle 48,38 52,62' \
    -fill '#20a020' -draw 'roundrectangle 68,40 94,58 9,9' -fill white -draw 'circle 85,49 85,42' \
    "$out/icons-drawn.png"
fill icons-firmware "$RAVIK_ROOT/examples/firmware/pictures/icons.png"

# Interface screens: a title bar, a menu, buttons, a progress bar, a status line.
"$magick" -size $size xc:'#202830' -fill '#3060c0' -draw 'rectangle 0,0 97,12' \
    -font "$hanzi" -pointsize 10 -fill white -annotate +3+10 '设置  12:30' \
    -fill '#304050' -draw 'rectangle 2,16 95,28' -fill '#e0e0e0' -annotate +5+26 '亮度' \
    -annotate +5+40 '声音' -annotate +5+54 '网络' -fill '#40c040' -draw 'rectangle 60,19 90,25' \
    -fill '#606060' -draw 'rectangle 2,58 95,64' -fill '#ffa000' -draw 'rectangle 2,58 60,64' \
    "$out/ui-settings.png"
"$magick" -size $size xc:'#f4f4f4' -font "$sans" -pointsize 9 -fill black \
    -annotate +4+11 'Temperature' -fill '#c03030' -pointsize 20 -annotate +4+36 '23.5°C' \
    -fill '#3060c0' -draw 'roundrectangle 4,44 46,62 4,4' -draw 'roundrectangle 52,44 94,62 4,4' \
    -fill white -pointsize 9 -annotate +14+57 'Start' -annotate +62+57 'Stop' "$out/ui-thermostat.png"
"$magick" -size $size xc:black -font "$mono" -pointsize 8 -fill '#00ff00' \
    -annotate +2+9 'BAT 87%  RSSI -61' -fill '#00c0ff' -draw 'rectangle 2,14 84,22' \
    -fill black -draw 'rectangle 4,16 82,20' -fill '#00c0ff' -draw 'rectangle 4,16 70,20' \
    -fill white -annotate +2+34 'Mode: AUTO' -annotate +2+44 'Fan:  2' -annotate +2+54 'Next: 06:00' \
    -annotate +2+64 'OK to edit' "$out/ui-status.png"
fill ui-splash "$RAVIK_ROOT/examples/firmware/pictures/splash.png"
fill ui-test-card "$RAVIK_ROOT/samples/test-card.png"

# Charts.
"$magick" -size $size xc:white -stroke black -draw 'line 8,60 95,60' -draw 'line 8,2 8,60' \
    -stroke none -fill '#4060c0' -draw 'rectangle 12,30 22,59' -draw 'rectangle 28,12 38,59' \
    -fill '#c04040' -draw 'rectangle 44,40 54,59' -draw 'rectangle 60,22 70,59' \
    -fill '#40a040' -draw 'rectangle 76,8 86,59' "$out/chart-bars.png"
"$magick" -size $size xc:'#101820' -stroke '#304050' -draw 'line 0,16 97,16' -draw 'line 0,33 97,33' \
    -draw 'line 0,50 97,50' -stroke '#ffcc00' -strokewidth 2 -fill none \
    -draw 'polyline 0,50 10,44 20,47 30,30 40,34 50,20 60,26 70,12 80,18 90,8 97,10' \
    -stroke '#40c0ff' -draw 'polyline 0,60 15,55 30,58 45,45 60,50 75,38 97,40' "$out/chart-lines.png"
"$magick" -size $size xc:white -fill '#e04040' -draw 'path "M 33,33 L 33,5 A 28,28 0 0,1 58,46 Z"' \
    -fill '#4080e0' -draw 'path "M 33,33 L 58,46 A 28,28 0 0,1 8,40 Z"' \
    -fill '#40c060' -draw 'path "M 33,33 L 8,40 A 28,28 0 0,1 33,5 Z"' \
    -font "$sans" -pointsize 8 -fill black -annotate +68+20 'A 40%' -annotate +68+34 'B 35%' \
    -annotate +68+48 'C 25%' "$out/chart-pie.png"
fill chart-scatter /usr/share/doc/nodejs/contributing/doc_img/scatter-plot.png

# Gradients.
"$magick" -size $size gradient:'#ff0000-#0000ff' "$out/gradient-vertical.png"
"$magick" -size 67x98 gradient:'#000000-#ffffff' -rotate 90 "$out/gradient-horizontal.png"
"$magick" -size $size radial-gradient:'#ffffff-#204080' "$out/gradient-radial.png"
"$magick" -size $size xc: -sparse-color bilinear '0,0 red 97,0 yellow 0,66 blue 97,66 green' \
    "$out/gradient-corners.png"

# Text screenshots.
"$magick" -size $size xc:white -font "$sans" -pointsize 8 -fill black \
    -annotate +2+9 'The quick brown fox' -annotate +2+19 'jumps over the lazy' \
    -annotate +2+29 'dog. Pack my box with' -annotate +2+39 'five dozen liquor' \
    -annotate +2+49 'jugs. How vexingly' -annotate +2+59 'quick daft zebras.' "$out/text-latin.png"
"$magick" -size $size xc:black -font "$hanzi" -pointsize 12 -fill '#f0f0f0' \
    -annotate +2+14 '温度正常，湿度' -annotate +2+30 '百分之四十五。' \
    -annotate +2+46 '下次维护：三月' -annotate +2+62 '十二日上午。' "$out/text-hanzi.png"
"$magick" -size $size xc:'#002b36' -font "$mono" -pointsize 7 -fill '#93a1a1' \
    -annotate +1+8 '$ make flash' -annotate +1+17 'avr-gcc -Os -c main.c' \
    -annotate +1+26 'avrdude: writing' -fill '#859900' -annotate +1+35 '#################' \
    -fill '#93a1a1' -annotate +1+44 'avrdude: 4096 bytes' -annotate +1+53 'verified' \
    -annotate +1+62 '$ _' "$out/text-terminal.png"
fill text-valgrind /usr/share/doc/valgrind/html/images/kcachegrind_xtree.png
