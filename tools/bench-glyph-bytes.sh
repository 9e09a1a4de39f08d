#!/usr/bin/env bash
# Flash bytes of glyph sets on a Cortex-M0: ASCII + GB2312 level 1 (3,850 glyphs) from the
# system's Chinese sans serif (or FONT) at each size, bits a pixel and compression, each header
# compiled with arm-none-eabi-gcc -Os and its arrays and font structure summed (arm-none-eabi-nm);
# and how long `ravik-lcd font` took. A quick table for the glyph format's work; the side-by-side
# benchmark against lv_font_conv lives elsewhere. Not part of tools/test.sh.
# Usage: tools/bench-glyph-bytes.sh RAVIK_LCD [FONT] [SIZES] [BPPS] [COMPRESSIONS]
#   e.g. tools/bench-glyph-bytes.sh build/app/ravik-lcd "" "12 16 24" "4 2 1" "none rle auto"
set -euo pipefail
program=$1 font=${2:-} sizes=${3:-12 16 24} bpps=${4:-4 2 1} compressions=${5:-none rle auto}
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
command -v arm-none-eabi-gcc >/dev/null || { echo "needs arm-none-eabi-gcc (gcc-arm-none-eabi)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-5s %-4s %-6s %10s %10s %10s %8s\n' size bpp mode bitmaps records flash seconds
for size in $sizes; do
    for bpp in $bpps; do
        for mode in $compressions; do
            start=$(date +%s.%N)
            "$program" font ${font:+"$font"} --alpha --size "$size" --bpp "$bpp" --compress "$mode" \
                --chars ascii --chars gb2312-1 --name glyphs --header "$work/glyphs.h"
            end=$(date +%s.%N)
            printf '#include "glyphs.h"\nconst ravik_lcd_font* font_of(void) { return &glyphs; }\n' \
                >"$work/font.c"
            arm-none-eabi-gcc -Os -mcpu=cortex-m0 -mthumb -std=c99 -I"$work" \
                -I"$RAVIK_ROOT/runtime" -c "$work/font.c" -o "$work/font.o"
            # Sizes of the arrays and the structure, in bytes.
            arm-none-eabi-nm -S --size-sort -t d "$work/font.o" |
                awk -v size="$size" -v bpp="$bpp" -v mode="$mode" -v s="$(echo "$end - $start" | bc)" '
                    $4 == "glyphs_bitmaps" { bitmaps = $2 + 0 }
                    $4 == "glyphs_glyphs" || $4 == "glyphs_metrics" || $4 == "glyphs_groups" ||
                        $4 == "glyphs_planes" { records += $2 }
                    $4 ~ /^glyphs/ { flash += $2 }
                    END { printf "%-5s %-4s %-6s %10d %10d %10d %8.2f\n", size, bpp, mode,
                          bitmaps, records, flash, s }'
        done
    done
done
