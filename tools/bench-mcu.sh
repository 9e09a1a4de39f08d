#!/usr/bin/env bash
# The firmware runtime's figures on the emulated chips, as docs/runtime-on-chips.md gives them:
# code and static RAM of ravik_lcd.c per chip (against BASELINE, a git revision, when given), the
# stack peak of its calls, and cycles per call from the emulators with the floor (a plain loop
# copying the same stored bytes out of flash) beside them. Runs tools/mcu-check.sh first (which
# installs the tools and checks every byte against the host's). Counts are the emulators',
# independent of the host's load. Usage: tools/bench-mcu.sh [BASELINE]
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
baseline=${1:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$RAVIK_ROOT/tools/mcu-check.sh" "$out" >"$out/check.log" 2>&1 || {
    cat "$out/check.log"
    exit 1
}

# Code and static RAM of one ravik_lcd.c for one chip: "code ram".
sizes() {
    local chip=$1 dir=$2 object
    case $chip in
    avr)
        avr-gcc -mmcu=atmega1284 -Os -std=c99 -DRAVIK_LCD_PROGMEM -c "$dir/ravik_lcd.c" -o "$dir/avr.o"
        avr-size "$dir/avr.o" | awk 'NR == 2 { print $1, $2 + $3 }'
        ;;
    cortex-m0)
        arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -std=c99 -c "$dir/ravik_lcd.c" -o "$dir/arm.o"
        arm-none-eabi-size "$dir/arm.o" | awk 'NR == 2 { print $1, $2 + $3 }'
        ;;
    8052)
        # Code: CSEG + CONST; RAM: internal (DSEG, OSEG, ISEG, bits) + external (XSEG).
        sdcc -mmcs51 --model-large --std-c99 -c "$dir/ravik_lcd.c" -o "$dir/" >/dev/null 2>&1
        local -A size=([CSEG]=0 [CONST]=0 [DSEG]=0 [OSEG]=0 [ISEG]=0 [BSEG]=0 [XSEG]=0)
        local name hex
        while read -r name hex; do
            size[$name]=$((16#$hex))
        done < <(awk '$1 == "A" && $3 == "size" { print $2, $4 }' "$dir/ravik_lcd.rel")
        echo "$((size[CSEG] + size[CONST])) $((size[DSEG] + size[OSEG] + size[ISEG] + (size[BSEG] + 7) / 8))_inside_+_${size[XSEG]}_outside"
        ;;
    esac
}

mkdir -p "$out/now" "$out/base"
cp "$RAVIK_ROOT/runtime/ravik_lcd."[ch] "$out/now/"
if [ -n "$baseline" ]; then
    git -C "$RAVIK_ROOT" show "$baseline:runtime/ravik_lcd.c" >"$out/base/ravik_lcd.c"
    git -C "$RAVIK_ROOT" show "$baseline:runtime/ravik_lcd.h" >"$out/base/ravik_lcd.h"
fi

thousands() { # a number with its thousands set apart: 1,234,567
    sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|[^0-9]\)/\1,\2\3/' -e 'ta' <<<"$1"
}
value() { # chip kind name: the first such line's number
    awk -v k="$2" -v n="$3" '$1 == k && $2 == n { print $3; exit }' "$out/$1.out"
}
peak() { # chip: the deepest stack any runtime call took
    awk '$1 == "S" && $2 !~ /^copy-|^spare|^interrupt/ && $3 > m { m = $3 } END { print m + 0 }' "$out/$1.out"
}
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f ×", a / b; else print "–" }'
}

echo "Code and RAM of ravik_lcd.c, bytes${baseline:+ (before: $baseline)}:"
echo
echo "| chip | compiler | code | static RAM | deepest stack of a call |"
echo "|---|---|---:|---:|---:|"
for chip in avr cortex-m0 8052; do
    read -r code ram < <(sizes "$chip" "$out/now")
    growth=""
    if [ -n "$baseline" ]; then
        read -r base_code _ < <(sizes "$chip" "$out/base")
        growth=" (was $(thousands "$base_code"), $(awk -v a="$code" -v b="$base_code" 'BEGIN { printf "%+.1f %%", (a - b) * 100 / b }'))"
    fi
    case $chip in
    avr) label="AVR ATmega1284" compiler="avr-gcc -mmcu=atmega1284 -Os -DRAVIK_LCD_PROGMEM" ;;
    cortex-m0) label="Cortex-M0" compiler="arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os" ;;
    8052) label="8052" compiler="sdcc -mmcs51 --model-large" ;;
    esac
    echo "| $label | $compiler | $(thousands "$code")$growth | ${ram//_/ } | $(peak "$chip") |"
done
echo
echo "On the 8052, $(value 8052 S spare) of 256 bytes of internal RAM left spare at the deepest call" \
    "(with a timer interrupt's $(value 8052 S interrupt-frame) bytes)."
echo
echo "Per call: AVR cycles (16 MHz clock), Cortex-M0 instructions, 8052 machine cycles:"
echo
echo "| call | floor | AVR | Cortex-M0 | 8052 |"
echo "|---|---|---:|---:|---:|"
row() { # label name floor
    local line="| $1 | $3" chip count floor
    for chip in avr cortex-m0 8052; do
        count=$(value "$chip" C "$2")
        if [ -n "$3" ] && [ "$3" != "–" ]; then
            floor=$(value "$chip" C "$3")
            line+=" | $(thousands "$count") ($(ratio "$count" "$floor"))"
        else
            line+=" | $(thousands "$count")"
        fi
    done
    echo "$line |"
}
row "copy the frame's stored bytes out of flash (the floor)" copy-frame "–"
row "\`ravik_lcd_unpack\`, 98 × 67 frame, RLE" unpack-frame copy-frame
row "\`ravik_lcd_stream\`, the same, to a counting receiver" stream-frame copy-frame
row "\`ravik_lcd_unpack\`, the same frame, LZ" unpack-frame-lz copy-frame
row "\`ravik_lcd_stream\`, the same, LZ, to a counting receiver" stream-frame-lz copy-frame
row "\`ravik_lcd_unpack\`, 98 × 67 test card, LZ" unpack-card-lz copy-frame
row "copy the LZ frame's stored bytes out of flash" copy-frame-lz "–"
row "copy a 16 × 16 tile's 384 bytes (the floor)" copy-tile "–"
row "\`ravik_lcd_unpack\`, raw 16 × 16 tile" unpack-tile copy-tile
row "\`ravik_lcd_draw\`, 16 × 16 from flash, masked" draw-tile-masked "–"
row "\`ravik_lcd_draw_from\`, 16 × 16 from RAM, mask in flash" draw-ram-masked "–"
row "\`ravik_lcd_unpack\`, 24 × 24 delta animation, frame 0" unpack-delta-first "–"
row "\`ravik_lcd_text\`, 10 digits, coverage font" text-10-glyphs "–"
row "\`ravik_lcd_text\`, 6 hanzi at 16 px, 4-bit packed" text-hanzi-4bit "–"
row "\`ravik_lcd_text\`, the same 4-bit compressed" text-hanzi-4bit-rle text-hanzi-4bit
row "\`ravik_lcd_text\`, 6 hanzi at 16 px, 2-bit packed" text-hanzi-2bit "–"
row "\`ravik_lcd_text\`, the same 2-bit compressed" text-hanzi-2bit-rle text-hanzi-2bit
row "\`ravik_lcd_text\`, 6 hanzi at 16 px, 1-bit packed" text-hanzi-1bit "–"
row "\`ravik_lcd_text\`, the same 1-bit compressed" text-hanzi-1bit-rle text-hanzi-1bit
echo
echo "Stack per call, bytes (8052: with its timer interrupt's frame; the stream's with a receiver"
echo "that keeps 16 bytes of locals):"
echo
echo "| call | AVR | Cortex-M0 | 8052 |"
echo "|---|---:|---:|---:|"
for name in unpack-frame stream-frame stream-frame-receiver unpack-frame-lz stream-frame-lz \
    stream-frame-lz-receiver unpack-tile draw-tile-masked draw-ram-masked text-10-glyphs; do
    echo "| $name | $(value avr S "$name") | $(value cortex-m0 S "$name") | $(value 8052 S "$name") |"
done
echo
grep -h '^[a-z0-9-]*:.*host' "$out/check.log" || true
avr-gcc --version | head -n 1
arm-none-eabi-gcc --version | head -n 1
sdcc --version | head -n 1
