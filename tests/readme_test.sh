#!/usr/bin/env bash
# The README as a reader uses it: every line of its ```sh blocks runs as written (except
# tools/run.sh and tools/test.sh, which build the project this test is part of) in a scratch folder
# holding the pictures the commands name; every ```toml block is a manifest `build` accepts; every
# ```make block, run by make, makes the assets and is then up to date; and the ```c blocks of each
# language's part, joined into one file, compile and link with the runtime and the assets the
# manifest makes (cc -std=c99 -Wall -Wextra -Werror).
# Usage: readme_test.sh PROGRAM SOURCE_DIR C_COMPILER
set -uo pipefail
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source=$(cd "$2" && pwd)
cc=$3
readme="$source/README.md"

for tool in /usr/bin/convert make "$cc"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (tools/setup.sh installs it)"
        exit 77
    fi
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
blocks="$work/.blocks"
mkdir -p "$blocks"

# Splits the README into its fenced blocks: blocks/NNN.LANG, numbered in order; a block's part
# (zh before the "## English" heading, en after it) is in blocks/NNN.part.
awk -v out="$blocks" '
    /^## English$/ { part = "en" }
    /^```/ {
        if (file != "") { close(file); file = ""; next }
        lang = substr($0, 4)
        if (lang == "") lang = "text"
        n++
        file = sprintf("%s/%03d.%s", out, n, lang)
        printf "%s\n", (part == "" ? "zh" : part) > sprintf("%s/%03d.part", out, n)
        close(sprintf("%s/%03d.part", out, n))
        printf "" > file
        next
    }
    file != "" { print > file }
' "$readme"

count() { find "$blocks" -name "*.$1" | wc -l; }
[ "$(count sh)" -ge 6 ] || fail "the README has $(count sh) sh blocks, fewer than its sections"
[ "$(count toml)" -ge 1 ] || fail "the README has no manifest (toml block)"
[ "$(count make)" -ge 1 ] || fail "the README has no make block"
[ "$(count c)" -ge 2 ] || fail "the README has fewer than two C blocks"

# The files the commands name, drawn with ImageMagick.
cd "$work" || exit 1
im=/usr/bin/convert
mkdir -p samples icons
cp "$source/samples/test-card.png" samples/
$im -size 98x67 gradient:red-blue -fill white -draw "circle 49,33 49,10" logo.png
cp logo.png splash.png
$im -size 640x480 plasma:fractal -seed 7 photo.jpg 2>/dev/null || $im -size 640x480 gradient:yellow-navy photo.jpg
$im -size 48x40 xc:navy -fill orange -draw "circle 24,20 24,4" icon.png
$im -size 64x64 gradient:white-black -fill red -draw "rectangle 10,20 41,43" shot.png
$im -size 32x16 xc:none -fill red -draw "circle 8,8 8,2" -fill green -draw "rectangle 18,2 29,13" icons.png
$im -size 16x8 xc:"#FF00FF" -fill blue -draw "rectangle 1,1 6,6" -fill cyan -draw "circle 12,4 12,1" keyed.png
cp icon.png icons/battery.png
cp shot.png icons/wifi.png
for i in 0 1 2 3; do
    $im -size 24x24 xc:white -fill black -draw "rectangle $((i * 4)),2 $((i * 4 + 8)),10" "spin$i.png"
done
$im -delay 10 spin0.png spin1.png spin2.png spin3.png -loop 0 spinner.gif
printf '温度 23°C\n湿度 45%%\n' >strings.txt
[ -s logo.png ] && [ -s spinner.gif ] || { echo "FAIL: ImageMagick drew no pictures"; exit 1; }

export PATH="$(dirname "$program"):$PATH"
[ "$(command -v ravik-lcd)" = "$program" ] || fail "ravik-lcd on the PATH is not $program"

# Every manifest is one `build` accepts; the first is the assets.toml the commands use.
first_manifest=""
for manifest in "$blocks"/*.toml; do
    [ -n "$first_manifest" ] || first_manifest=$manifest
    cp "$manifest" assets.toml
    ravik-lcd build assets.toml --out-dir "$work/.manifest-check" >/dev/null ||
        fail "the manifest in $(basename "$manifest") is refused"
done
cp "$first_manifest" assets.toml

# Every command, in order, each in its own shell so a failure names its line.
ran=0
for block in "$blocks"/*.sh; do
    while IFS= read -r line; do
        case $line in
        '' | '#'* | tools/run.sh* | tools/test.sh*) continue ;;
        esac
        ran=$((ran + 1))
        # As a reader's shell runs it: a pipeline's status is its last command's (`| head` cuts
        # the writer short), so what a pipeline prints is checked below where the README quotes it.
        if ! output=$(bash -c "$line" 2>&1); then
            fail "README command failed: $line"
            printf '%s\n' "$output" | head -n 5
        fi
        # The output the README quotes for the test card: its first line is the white bar.
        if [[ $line == "ravik-lcd convert samples/test-card.png | head -n 1"* ]]; then
            white=$(printf '0xFF,%.0s' {1..16})
            [ "${output%$'\r'}" = "$white" ] || fail "the test card's first line is '$output', not the README's"
        fi
    done <"$block"
done
[ "$ran" -ge 20 ] || fail "only $ran README commands ran"

# The Make rule makes the assets from nothing, and is then up to date.
for rules in "$blocks"/*.make; do
    rm -rf assets
    if ! make -s -f "$rules" assets/ui_assets.h >/dev/null; then
        fail "the make rule in $(basename "$rules") failed"
    elif [ ! -s assets/ui_assets.c ] || [ ! -s assets/ui_assets.d ] || [ ! -f assets/ui_assets.stamp ]; then
        fail "the make rule in $(basename "$rules") left out the source, depfile or stamp"
    elif ! make -q -f "$rules" assets/ui_assets.h; then
        fail "the make rule in $(basename "$rules") is not up to date after a run"
    fi
done
ravik-lcd build assets.toml --out-dir assets >/dev/null || fail "the README's manifest does not build"

# The C examples of each part, joined, against the runtime and the manifest's assets.
flags=(-std=c99 -Wall -Wextra -Werror -I "$source/runtime" -I assets)
"$cc" "${flags[@]}" -c "$source/runtime/ravik_lcd.c" -o ravik_lcd.o || fail "ravik_lcd.c does not compile"
"$cc" "${flags[@]}" -c assets/ui_assets.c -o ui_assets.o || fail "the generated ui_assets.c does not compile"
cat >driver.c <<'EOF'
#include <stdint.h>
void lcd_write(const uint8_t* bytes, uint16_t n);
void delay_ms(uint16_t ms);
void lcd_write(const uint8_t* bytes, uint16_t n) { (void)bytes; (void)n; }
void delay_ms(uint16_t ms) { (void)ms; }
int main(void) { return 0; }
EOF
"$cc" "${flags[@]}" -c driver.c -o driver.o || fail "the stand-in driver does not compile"
for part in zh en; do
    : >"example_$part.c"
    for block in "$blocks"/*.c; do
        [ "$(cat "${block%.c}.part")" = "$part" ] && cat "$block" >>"example_$part.c"
    done
    if [ ! -s "example_$part.c" ]; then
        fail "the $part part has no C example"
    elif ! "$cc" "${flags[@]}" -c "example_$part.c" -o "example_$part.o"; then
        fail "the $part part's C examples do not compile"
    elif ! "$cc" "example_$part.o" ui_assets.o ravik_lcd.o driver.o -o "example_$part"; then
        fail "the $part part's C examples do not link with the runtime"
    fi
done

echo "$ran README commands ran"
[ "$failures" -eq 0 ] || exit 1
