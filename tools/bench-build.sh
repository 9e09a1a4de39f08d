#!/usr/bin/env bash
# Measures `ravik-lcd build` on a firmware-sized manifest: 100 pictures (60 16 × 16 icons cut
# from sheets, 30 photos fitted to the frame, 10 flat UI screens), 5 animations of 12 frames
# (rle + delta) and the GB2312-1 glyph set at 16 pixels plus ASCII (4-bit coverage), all made
# once by ImageMagick with fixed seeds. Reports the first build's wall time, the no-change
# rebuild's (median of RUNS; nothing is rewritten), `ravik-lcd --version` for the start-up cost,
# and the stored bytes against raw. Release build; not part of tools/test.sh.
# Usage: [RAVIK_PROGRAM=…] tools/bench-build.sh [RUNS]   (default 5)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-5}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing imagemagick

# RAVIK_PROGRAM=path/to/ravik-lcd measures a program already built (its data goes beside it).
if [ -n "${RAVIK_PROGRAM:-}" ]; then
    program=$RAVIK_PROGRAM
    build=$(dirname "$program")
else
    build="$RAVIK_ROOT/build-build-bench"
    cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$build" --target ravik-lcd ravik-lcd-assets ravik-lcd-pictures >/dev/null
    program="$build/ravik-lcd"
fi
magick=/usr/bin/convert

data="$build/build-bench-data"
if [ ! -f "$data/assets.toml" ]; then
    rm -rf "$data" && mkdir -p "$data"
    {
        echo 'name = "firmware_assets"'
        for i in $(seq 1 30); do
            "$magick" -seed "$i" -size 320x240 plasma:fractal -blur 0x2 "$data/photo$i.jpg"
            printf '[[frame]]\nname = "photo%d"\npicture = "photo%d.jpg"\nfit = "cover"\n' "$i" "$i"
            printf 'dither = "ordered"\ncompress = "rle"\n'
        done
        for i in $(seq 1 10); do
            "$magick" -size 98x67 xc:'#202830' -fill '#3080F0' -draw "rectangle 4,4 93,$((10 + i))" \
                -fill white -draw "rectangle 10,30 $((20 + i * 6)),40" -fill '#F0A020' \
                -draw "circle 80,50 80,$((42 + i % 4))" "$data/screen$i.png"
            printf '[[frame]]\nname = "screen%d"\npicture = "screen%d.png"\ncompress = "rle"\n' "$i" "$i"
        done
        # 60 icons: 6 sheets of 10, each icon a shape on transparency.
        for s in $(seq 1 6); do
            args=()
            for t in $(seq 0 9); do
                x=$((t * 16))
                args+=(-fill "hsl($((s * 40 + t * 20)),80%,50%)" -draw "circle $((x + 8)),8 $((x + 8)),$((2 + t % 4))")
            done
            "$magick" -size 160x16 xc:none "${args[@]}" "PNG32:$data/icons$s.png"
            printf '[[sprite]]\nname = "icons%d"\npicture = "icons%d.png"\ntiles = [16, 16]\n' "$s" "$s"
            printf 'mask = true\ncompress = "rle"\n'
        done
        for a in $(seq 1 5); do
            frames=()
            for f in $(seq 0 11); do
                frames+=("(" -size 98x67 xc:'#101820' -fill '#40C0F0'
                         -draw "circle $((20 + f * 5)),$((20 + a * 5)) $((26 + f * 5)),$((20 + a * 5))" ")")
            done
            "$magick" -delay 8 "${frames[@]}" -loop 0 "$data/anim$a.gif"
            printf '[[animation]]\nname = "anim%d"\npicture = "anim%d.gif"\ncompress = "rle"\ndelta = true\n' "$a" "$a"
        done
        printf '[[font]]\nname = "text16"\nsize = 16\nchars = ["ascii", "gb2312-1"]\nalpha = true\n'
    } >"$data/assets.toml.part"
    mv "$data/assets.toml.part" "$data/assets.toml"
fi

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

out="$build/build-bench-out"
rm -rf "$out"
start=$(now)
"$program" build "$data/assets.toml" --out-dir "$out" --depfile "$out/assets.d"
first=$(since "$start")

rebuilds=()
starts=()
for run in $(seq 1 "$RUNS"); do
    start=$(now)
    "$program" build "$data/assets.toml" --out-dir "$out" --depfile "$out/assets.d"
    rebuilds+=("$(since "$start")")
    start=$(now)
    "$program" --version >/dev/null
    starts+=("$(since "$start")")
done

# The header's comments: "N picture(s) of W x H pixels, S bytes stored of R, …".
read -r stored raw < <(sed -n 's/.* pixels, \([0-9]*\) bytes stored of \([0-9]*\),.*/\1 \2/p' \
    "$out/firmware_assets.h" | awk '{ s += $1; r += $2 } END { print s, r }')
pictures=$(sed -n 's/^\/\* [a-z0-9_]*: \([0-9]*\) picture.*/\1/p' "$out/firmware_assets.h" |
    awk '{ n += $1 } END { print n }')
glyphs=$(sed -n 's/^\/\* text16: \([0-9]*\) glyphs.*/\1/p' "$out/firmware_assets.h")
echo "manifest: 100 pictures (30 photos, 10 screens, 60 icons), 5 animations of 12 frames, ${glyphs} glyphs"
echo "pictures stored: ${pictures}, ${stored} bytes stored of ${raw} raw ($(awk -v s="$stored" -v r="$raw" 'BEGIN { printf "%.1f", 100 * s / r }') %)"
echo "first build:        ${first} s"
echo "no-change rebuild:  $(printf '%s\n' "${rebuilds[@]}" | median) s (median of ${RUNS})"
echo "ravik-lcd --version: $(printf '%s\n' "${starts[@]}" | median) s (median of ${RUNS})"
echo "generated: $(du -b "$out/firmware_assets.c" | cut -f1) bytes of C source"
