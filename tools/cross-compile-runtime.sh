#!/usr/bin/env bash
# Compiles the firmware runtime (runtime/ravik_lcd.c) for the processors such panels are driven
# from, with warnings as errors, and prints what it costs on each:
#   Cortex-M0  arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os
#   AVR        avr-gcc -mmcu=atmega328p -Os
#   AVR        the same, reading pictures and fonts from flash (-DRAVIK_LCD_PROGMEM)
#   8051       sdcc -mmcs51, small memory model (its default; no text routine there) and large
#              model, each with a program calling every function linked
# Code is the bytes of flash (gcc: text, read-only data included; sdcc: CSEG + CONST), data the
# bytes of RAM the runtime keeps for itself (gcc: data + bss; sdcc: its locals and arguments, which
# it places in internal RAM, DSEG + OSEG), stack the sum of every function's frame as gcc's
# -fstack-usage reports it (an upper bound: nothing recurses). memcpy, from the C library, is not
# counted. Installs the cross compilers first when they are missing (Debian/Ubuntu).
# Not part of tools/test.sh. Usage: tools/cross-compile-runtime.sh
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing gcc-arm-none-eabi libnewlib-arm-none-eabi gcc-avr avr-libc sdcc

source_file="$RAVIK_ROOT/runtime/ravik_lcd.c"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
strict=(-std=c99 -Wall -Wextra -Wpedantic -Werror)
rows=()

# The sum of the stack frames in a -fstack-usage file (lines "file:line:column:name bytes kind").
stack_sum() {
    awk -F'\t' '{ sum += $2 } END { print sum + 0 }' "$1"
}

# One gcc: compiles with the given flags and reads text, data and bss back with the given size tool.
measure_gcc() {
    local label=$1 compiler=$2 size_tool=$3
    shift 3
    local object="$work/$compiler.o"
    if ! "$compiler" "$@" "${strict[@]}" -fstack-usage -c "$source_file" -o "$object"; then
        ravik_say "${compiler} 编译运行库失败（见上文）。" "${compiler} could not compile the runtime (see above)."
        return 1
    fi
    local text data bss
    read -r text data bss _ < <("$size_tool" "$object" | tail -n 1)
    rows+=("$label|$compiler $*|$text|$((data + bss))|$(stack_sum "${object%.o}.su")")
}

# sdcc: fails on any warning (it has no -Wextra), and reads the sizes of its areas (hexadecimal)
# from the object's "A NAME size HEX" lines.
measure_sdcc() {
    local label=$1
    shift
    local log="$work/sdcc.log"
    rm -f "$work"/*.rel
    if ! sdcc -mmcs51 "$@" --std-c99 --Werror -c "$source_file" -o "$work/" >"$log" 2>&1; then
        cat "$log" >&2
        ravik_say "sdcc 编译运行库失败（见上文）。" "sdcc could not compile the runtime (see above)."
        return 1
    fi
    if grep -qi 'warning' "$log"; then
        cat "$log" >&2
        ravik_say "sdcc 对运行库给出警告（见上文）。" "sdcc warns about the runtime (see above)."
        return 1
    fi
    local object="$work/ravik_lcd.rel" name hex
    local -A area=()
    while read -r name hex; do
        area[$name]=$((16#$hex))
    done < <(awk '$1 == "A" && $3 == "size" { print $2, $4 }' "$object")
    if [ -z "${area[CSEG]:-}" ]; then
        ravik_say "sdcc 的目标文件中没有代码段（CSEG）：无法读出大小。" "sdcc's object has no CSEG: no size to read."
        return 1
    fi
    # sdcc keeps each function's variables at fixed places in the 8051's 128 bytes of internal
    # RAM, so compiling is not enough: a program that calls every function must also link.
    cat >"$work/program.c" <<'PROGRAM'
#include "ravik_lcd.h"
__xdata uint8_t frame[RAVIK_LCD_FRAME_SIZE];
const uint8_t picture[5] = {0x12, 0x34, 0x56, 0x78, 0x90};
const uint8_t mask[1] = {0xA0};
#if RAVIK_LCD_HAS_TEXT
const uint8_t glyphs[12] = {RAVIK_LCD_GLYPH(0x41, 0, 0), RAVIK_LCD_GLYPH(0x42, 0, 1)};
const uint8_t metrics[12] = {RAVIK_LCD_METRICS(1, 2, 0, 2, 2, 0), RAVIK_LCD_METRICS(2, 2, 0, 2, 3, 1)};
const ravik_lcd_font font = {glyphs, metrics, 0, 0, mask, 1, 2, 2, 0, 6, 24, 0, 2, 2, 4};
#endif
#if RAVIK_LCD_HAS_ASSETS
const uint8_t tokens[4] = {0x81, 0x0F, 0x00, 0x00};
const uint32_t offsets[3] = {0, 3, 4};
const ravik_lcd_asset asset = {1, 2, 2, 3, 4, 1, RAVIK_LCD_RLE, 0, 0, tokens, offsets};
static uint16_t streamed;
static void count_bytes(const uint8_t* bytes, uint16_t n, void* ctx) RAVIK_LCD_REENTRANT {
    (void)bytes;
    (void)ctx;
    streamed += n;
}
#endif
void main(void) {
#if RAVIK_LCD_HAS_ASSETS
    ravik_lcd_unpack(&asset, 1, frame);
    ravik_lcd_stream(&asset, 0, count_bytes, 0);
#endif
    ravik_lcd_draw(frame, 1, 2, picture, 3, 1, mask);
    ravik_lcd_set_pixel(frame, 0, 0, ravik_lcd_get_pixel(frame, 1, 2));
#if RAVIK_LCD_HAS_TEXT
    ravik_lcd_text(frame, 3, 4, "AB", &font, 0x0F00);
#endif
}
PROGRAM
    if ! (cd "$work" && sdcc -mmcs51 "$@" --std-c99 -I"$RAVIK_ROOT/runtime" -c program.c &&
        sdcc -mmcs51 "$@" program.rel ravik_lcd.rel -o program.ihx) >"$log" 2>&1; then
        cat "$log" >&2
        ravik_say "sdcc 无法链接调用运行库的 8051 程序（见上文）。" \
            "sdcc could not link an 8051 program that calls the runtime (see above)."
        return 1
    fi
    local code=$((area[CSEG] + ${area[CONST]:-0}))
    local data=$((${area[DSEG]:-0} + ${area[OSEG]:-0} + ${area[ISEG]:-0} + ${area[XSEG]:-0}))
    rows+=("$label|sdcc -mmcs51 ${*:+$* }--std-c99|$code|$data|-")
}

measure_gcc "Cortex-M0" arm-none-eabi-gcc arm-none-eabi-size -mcpu=cortex-m0 -mthumb -Os
measure_gcc "AVR ATmega328P" avr-gcc avr-size -mmcu=atmega328p -Os
measure_gcc "AVR, data in flash" avr-gcc avr-size -mmcu=atmega328p -Os -DRAVIK_LCD_PROGMEM
measure_sdcc "8051, no text/assets"
measure_sdcc "8051" --model-large

echo "ravik_lcd.c, bytes:"
{
    echo "processor|compiler|code|data|stack"
    printf '%s\n' "${rows[@]}"
} | column -t -s '|'
echo
arm-none-eabi-gcc --version | head -n 1
avr-gcc --version | head -n 1
sdcc --version | head -n 1
