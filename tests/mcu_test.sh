#!/usr/bin/env bash
# The firmware runtime on emulated chips: tests/mcu/mcu_program.c, with assets `ravik-lcd build`
# made with attribute = "PROGMEM" and coverage fonts in each stored form (4, 2 and 1 bits, packed
# and compressed), is built for the host, an ATmega1284 in
# simavr (assets in flash, -DRAVIK_LCD_PROGMEM), a Cortex-M0 in qemu (-M microbit, output by
# semihosting) and an 8052 in ucsim (sdcc --model-large, frame in external RAM), and every byte
# each chip draws must be the host's. On the 8052, with a timer interrupt running, every routine
# called from a function with locals and a stream receiver with 16 bytes of locals must leave at
# least 24 bytes of its 256 bytes of internal RAM spare. The example firmware runs on the AVR too
# and must send the host's bytes to its display stand-in.
# Usage: mcu_test.sh SOURCE_DIR RAVIK_LCD [OUT_DIR]. With OUT_DIR each chip's output is kept there
# (NAME.out), for tools/bench-mcu.sh. Exit 77: a chip's tools are missing (the others still run).
set -uo pipefail
source=$(cd "$1" && pwd) program=$2 keep=${3:-}
failures=() skipped=()
# Each fault is told at once and counted; the exit code says whether there was any.
fail() {
    failures+=("$*")
    echo "FAIL: $*"
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runtime="$source/runtime"
mcu="$source/tests/mcu"
strict=(-std=c99 -Wall -Wextra -Wpedantic -Werror)
cc=${CC:-cc}
command -v "$cc" >/dev/null || { echo "SKIP: no host C compiler"; exit 77; }

have() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || return 1
    done
}

# The assets, and the example's with its data in flash too.
"$program" build "$mcu/assets.toml" --out-dir "$work/gen" >"$work/build.log" 2>&1 || {
    echo "FAIL: ravik-lcd build: $(cat "$work/build.log")"
    exit 1
}
cp -r "$source/examples/firmware" "$work/example"
{
    echo 'attribute = "PROGMEM"'
    cat "$source/examples/firmware/assets.toml"
} >"$work/example/assets.toml"
"$program" build "$work/example/assets.toml" --out-dir "$work/example/gen" >"$work/build.log" 2>&1 || {
    echo "FAIL: ravik-lcd build of the example: $(cat "$work/build.log")"
    exit 1
}
sources=("$mcu/mcu_program.c" "$work/gen/mcu_assets.c" "$runtime/ravik_lcd.c")
includes=(-I"$work/gen" -I"$runtime")
example=("$work/example/main.c" "$work/example/gen/firmware_assets.c" "$runtime/ravik_lcd.c")
example_includes=(-I"$work/example/gen" -I"$runtime")

# Only the drawn bytes are compared; cycles (C) and stack (S) lines differ by chip.
bytes_of() {
    grep '^B ' "$1"
}
# What a chip printed, cleaned of the emulator's own words and colours.
clean() {
    sed -e 's/\x1b\[[0-9;]*m//g' -e 's/\.$//' | tr -d '\r' | grep -E '^(B|C|S|E)( |$)'
}

compare() {
    local chip=$1 out=$2
    if ! grep -qx 'E' "$out"; then
        fail "$chip: the program did not run to its end: $(tail -n 3 "$out" | tr '\n' ' ')"
        return
    fi
    if ! cmp -s <(bytes_of "$work/host.out") <(bytes_of "$out"); then
        fail "$chip: drawn bytes differ from the host's, first at: $(diff <(bytes_of "$work/host.out") <(bytes_of "$out") | grep '^>' | head -n 1 | cut -c1-60)"
    fi
    [ -n "$keep" ] && cp "$out" "$keep/$chip.out"
    echo "$chip: $(bytes_of "$out" | wc -l) lines of bytes as the host's"
}

# Host: the reference.
"$cc" "${strict[@]}" -DPROGMEM= "${includes[@]}" "${sources[@]}" -o "$work/host" ||
    { echo "FAIL: host build"; exit 1; }
"$work/host" >"$work/host.out" || fail "host program exited $?"
grep -qx 'E' "$work/host.out" || fail "host program did not finish"
[ -n "$keep" ] && cp "$work/host.out" "$keep/host.out"
"$cc" -std=c99 -Wall -Wextra -DPROGMEM= "${example_includes[@]}" "${example[@]}" -o "$work/example-host" ||
    fail "example: host build"
"$work/example-host" >"$work/example-host.out" || fail "example on the host exited $?"

# ATmega1284 in simavr, 16 MHz.
if have avr-gcc simavr; then
    avr=(avr-gcc -mmcu=atmega1284 -Os "${strict[@]}" -DRAVIK_LCD_PROGMEM -DF_CPU=16000000UL)
    if "${avr[@]}" "${includes[@]}" "${sources[@]}" -o "$work/avr.elf"; then
        timeout 300 simavr -m atmega1284 -f 16000000 "$work/avr.elf" 2>&1 | clean >"$work/avr.out"
        compare avr "$work/avr.out"
        # Streaming an LZ picture takes at most two display rows (294 bytes) and 64 more of
        # stack, as ravik_lcd.h says: the ring, the decoder and its calls, write() included.
        lz=$(awk '$1 == "S" && $2 == "stream-frame-lz" { print $3 }' "$work/avr.out")
        echo "avr: streaming LZ took ${lz:-?} bytes of stack"
        [ -n "$lz" ] && [ "$lz" -le 358 ] ||
            fail "avr: streaming LZ took ${lz:-no} bytes of stack, at most 358 wanted"
    else
        fail "avr: build"
    fi
    if "${avr[@]}" -Wno-pedantic "${example_includes[@]}" "${example[@]}" "$mcu/avr_stdout.c" -o "$work/example-avr.elf"; then
        timeout 300 simavr -m atmega1284 -f 16000000 "$work/example-avr.elf" 2>&1 |
            sed -e 's/\x1b\[[0-9;]*m//g' -e 's/\.$//' | grep 'sent to the display' >"$work/example-avr.out"
        if ! grep -q . "$work/example-avr.out" ||
            ! cmp -s <(grep 'sent to the display' "$work/example-host.out") "$work/example-avr.out"; then
            fail "example on the AVR: '$(cat "$work/example-avr.out")', host: '$(grep 'sent to the display' "$work/example-host.out")'"
        else
            echo "example on the AVR: $(cat "$work/example-avr.out")"
        fi
    else
        fail "example: AVR build"
    fi
else
    skipped+=("AVR (avr-gcc, simavr)")
fi

# Cortex-M0 in qemu's microbit; -icount shift=8: 256 ns an instruction, 4.096 timer ticks.
if have arm-none-eabi-gcc qemu-system-arm; then
    if arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os "${strict[@]}" -DPROGMEM= -ffreestanding \
        -nostartfiles -T "$mcu/cortex_m0.ld" "${includes[@]}" "${sources[@]}" -o "$work/arm.elf" \
        -lc -lgcc; then
        timeout 300 qemu-system-arm -M microbit -nographic -monitor none -serial none \
            -semihosting-config enable=on,target=native -icount shift=8,align=off,sleep=off \
            -kernel "$work/arm.elf" 2>&1 | clean >"$work/arm.out"
        compare cortex-m0 "$work/arm.out"
    else
        fail "cortex-m0: build"
    fi
else
    skipped+=("Cortex-M0 (arm-none-eabi-gcc, qemu-system-arm)")
fi

# 8052 in ucsim, large model: variables in external RAM, the stack in the 256 bytes inside.
if have sdcc s51; then
    mkdir -p "$work/8052"
    ok=1
    for file in "${sources[@]}"; do
        sdcc -mmcs51 --model-large --std-c99 -DPROGMEM= "${includes[@]}" -c "$file" \
            -o "$work/8052/" >"$work/sdcc.log" 2>&1 || { cat "$work/sdcc.log"; ok=0; }
    done
    if [ $ok = 1 ] && (cd "$work/8052" && sdcc -mmcs51 --model-large --xram-size 65536 \
        --code-size 65536 mcu_program.rel mcu_assets.rel ravik_lcd.rel -o mcu.ihx) \
        >"$work/sdcc.log" 2>&1; then
        # Commands on its console: run until the program stops itself, then quit. The program's
        # characters come out among ucsim's own words.
        printf 'run\nquit\n' | timeout 600 s51 -t 8052 -X 12M -I if=xram[0xffff] \
            "$work/8052/mcu.ihx" 2>&1 | clean >"$work/8052.out"
        compare 8052 "$work/8052.out"
        spare=$(awk '$1 == "S" && $2 == "spare" { print $3 }' "$work/8052.out")
        echo "8052: ${spare:-?} bytes of stack spare, timer interrupt running"
        [ -n "$spare" ] && [ "$spare" -ge 24 ] ||
            fail "8052: ${spare:-no} bytes of stack spare, at least 24 wanted"
    else
        cat "$work/sdcc.log"
        fail "8052: build"
    fi
else
    skipped+=("8052 (sdcc, s51)")
fi

[ ${#failures[@]} -eq 0 ] || exit 1
if [ ${#skipped[@]} -gt 0 ]; then
    echo "SKIP: not installed: ${skipped[*]} (tools/mcu-check.sh installs them)"
    exit 77
fi
echo "every chip drew the host's bytes"
