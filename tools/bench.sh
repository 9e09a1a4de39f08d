#!/usr/bin/env bash
# Builds in Release and measures:
#  1. the codec and export benchmarks (Google Benchmark: packing, decoding, C text, .bin);
#  2. whole-program conversions of 6000 × 4000 pictures: `ravik-lcd convert` against ImageMagick's
#     `convert big -crop 98x67+0+0 +repage -depth 4 rgb:out`, several interleaved runs each, the
#     median wall time (each command run straight from the shell) and the median peak memory (a
#     second run under /usr/bin/time).
# `tools/bench.sh tiny [RUNS]` (default 15) measures only the fixed cost of a run instead: a 98 × 67
# PNG against ImageMagick's `convert tiny.png -depth 4 rgb:out`, and the same frame read back from
# a .bin, each as median time and peak memory of interleaved runs.
# Not part of tools/test.sh. Usage: tools/bench.sh [RUNS]   (default 7)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MODE=whole
if [ "${1:-}" = tiny ]; then
    MODE=tiny
    shift
fi
RUNS=${1:-7}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing libbenchmark-dev time

build="$RAVIK_ROOT/build-release"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
magick=/usr/bin/convert
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# One measurement: the wall microseconds of a command run straight from the shell, then its
# peak resident KiB from a second run under /usr/bin/time, appended to $results.
measure() {
    local label=$1
    shift
    local start end
    start=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>&1
    end=${EPOCHREALTIME/./}
    /usr/bin/time -f '%M' -o "$out/rss" "$@" >/dev/null 2>&1
    echo "$label $((end - start)) $(cat "$out/rss")" >>"$results"
}
# The table: for each label, ravik's and ImageMagick's median time and memory, and their ratio.
report() {
    printf '%-28s %12s %12s %12s %12s %10s\n' input "ravik ms" "ravik MiB" "magick ms" "magick MiB" "time ratio"
    local label r_us r_kb m_us m_kb
    for label in "$@"; do
        r_us=$(grep "^$label ravik " "$results" | cut -d' ' -f3 | median)
        r_kb=$(grep "^$label ravik " "$results" | cut -d' ' -f4 | median)
        m_us=$(grep "^$label magick " "$results" | cut -d' ' -f3 | median)
        m_kb=$(grep "^$label magick " "$results" | cut -d' ' -f4 | median)
        awk -v f="$label" -v ru="$r_us" -v rk="$r_kb" -v mu="$m_us" -v mk="$m_kb" 'BEGIN {
            printf "%-28s %12.1f %12.1f %12.1f %12.1f %9.3f\n", f, ru / 1000, rk / 1024, mu / 1000, mk / 1024, ru / mu }'
    done
}

if [ "$MODE" = tiny ]; then
    [ $# -gt 0 ] || RUNS=15
    cmake --build "$build" --target ravik-lcd >/dev/null
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    results="$out/results"
    # Both programs run straight under /usr/bin/time, with no display: convert needs none.
    unset DISPLAY WAYLAND_DISPLAY
    # A colourful 98 × 67 picture, and its frame as a .bin.
    "$magick" -size 98x67 gradient:'#ff8040'-'#2040c0' -depth 8 "$out/tiny.png"
    "$build/ravik-lcd" convert "$out/tiny.png" --bin "$out/tiny.bin"
    echo "== 98 × 67, $RUNS interleaved runs each (ImageMagick: convert tiny.png -depth 4 rgb:out) =="
    for ((run = 1; run <= RUNS; run++)); do
        # A new .bin each time, as a build writes it; then replacing one, which convert makes
        # sure is on disk before it takes the old file's place (fdatasync), as ImageMagick doesn't.
        for input in tiny.png tiny.bin; do
            measure "$input-bin ravik" "$build/ravik-lcd" convert \
                "$out/$input" --bin "$out/new-$run-$input.bin"
            measure "$input-bin magick" "$magick" "$out/tiny.png" -depth 4 "rgb:$out/frame.rgb"
        done
        measure "tiny.png-replace ravik" "$build/ravik-lcd" convert "$out/tiny.png" \
            --bin "$out/frame.bin"
        measure "tiny.png-replace magick" "$magick" "$out/tiny.png" -depth 4 "rgb:$out/frame.rgb"
        measure "tiny.bin-preview ravik" "$build/ravik-lcd" convert \
            "$out/tiny.bin" --preview "$out/preview-$run.png"
        measure "tiny.bin-preview magick" "$magick" "$out/tiny.png" -depth 4 "rgb:$out/frame.rgb"
        # The same on standard output.
        for input in tiny.png tiny.bin; do
            measure "$input-stdout ravik" "$build/ravik-lcd" convert \
                "$out/$input" --bin -
            measure "$input-stdout magick" "$magick" "$out/tiny.png" -depth 4 rgb:-
        done
    done
    report tiny.png-bin tiny.bin-bin tiny.png-replace tiny.bin-preview tiny.png-stdout tiny.bin-stdout
    exit 0
fi
cmake --build "$build" --target ravik_bench ravik-lcd ravik_startup_floor ravik_startup_floor_widgets >/dev/null

echo "== codec and export (Google Benchmark, median of 9) =="
"$build/benchmarks/ravik_bench" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
    --benchmark_filter='.*' 2>/dev/null | grep -E '^(Benchmark|BM_.*_median)'

# The pictures: a smooth colour field with a radial light, as a photo-sized test, made once in
# every kind the readers handle, plus a 98 × 67 PNG for the fixed cost of a run.
data="$build/bench-data"
mkdir -p "$data"
# An EXIF block turning a JPEG a quarter clockwise (orientation 6), put right after its SOI.
with_orientation_6() {
    { head -c 2 "$1"
      printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01'
      printf '\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
      tail -c +3 "$1"; } >"$2"
}
if [ ! -f "$data/small.png" ]; then
    echo "== making 6000 × 4000 test pictures (once) =="
    "$magick" -size 6000x4000 gradient:'#ff8040'-'#2040c0' \
        \( -size 6000x4000 radial-gradient:white-'#303030' \) -compose multiply -composite \
        -depth 8 "$data/master.ppm"
    "$magick" "$data/master.ppm" -quality 90 "$data/big-baseline.jpg"
    "$magick" "$data/master.ppm" -quality 90 -interlace JPEG "$data/big-progressive.jpg"
    with_orientation_6 "$data/big-baseline.jpg" "$data/big-baseline-turned.jpg"
    with_orientation_6 "$data/big-progressive.jpg" "$data/big-progressive-turned.jpg"
    "$magick" "$data/master.ppm" "$data/big.png"
    "$magick" "$data/master.ppm" -interlace PNG "$data/big-interlaced.png"
    "$magick" "$data/master.ppm" -type TrueColor "$data/big.bmp"
    "$magick" "$data/master.ppm" -quality 90 "$data/big-lossy.webp"
    cwebp -quiet -lossless -z 1 "$data/master.ppm" -o "$data/big-lossless.webp"
    "$magick" "$data/master.ppm" -colors 256 "$data/big.gif"
    "$magick" "$data/big.gif" -interlace GIF "$data/big-interlaced.gif"
    "$magick" "$data/master.ppm" -crop 98x67+0+0 +repage "$data/small.png"
    rm "$data/master.ppm"
fi
# BMP RLE8, TGA (plain and RLE, bottom-left origin: the corner's rows are stored last) and TIFF
# (uncompressed and LZW).
if [ ! -f "$data/big-lzw.tif" ]; then
    "$magick" "$data/big.png" -colors 256 -compress RLE "$data/big-rle8.bmp"
    "$magick" "$data/big.png" "$data/big.tga"
    "$magick" "$data/big.png" -compress RLE "$data/big-rle.tga"
    "$magick" "$data/big.png" -compress None "$data/big.tif"
    "$magick" "$data/big.png" -compress LZW "$data/big-lzw.tif"
fi
extra_files=(big-rle8.bmp big.tga big-rle.tga big.tif big-lzw.tif)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
results="$out/results"

files=(big-baseline.jpg big-progressive.jpg big-baseline-turned.jpg big-progressive-turned.jpg
       big.png big-interlaced.png big.bmp big.gif big-interlaced.gif big-lossy.webp
       big-lossless.webp small.png "${extra_files[@]}")
echo "== whole program, $RUNS interleaved runs each =="
for ((run = 1; run <= RUNS; run++)); do
    for file in "${files[@]}"; do
        measure "$file ravik" env -u DISPLAY -u WAYLAND_DISPLAY "$build/ravik-lcd" convert \
            "$data/$file" --bin "$out/frame.bin"
        measure "$file magick" "$magick" "$data/$file" -crop 98x67+0+0 +repage -depth 4 "rgb:$out/frame.rgb"
    done
    # The floor under the fixed cost: Qt start-up alone, without and with the widget library.
    measure "qt-gui-start-up ravik" "$build/benchmarks/ravik_startup_floor"
    measure "qt-gui-start-up magick" "$magick" "$data/small.png" -crop 98x67+0+0 +repage -depth 4 "rgb:$out/frame.rgb"
    measure "qt-widgets-start-up ravik" "$build/benchmarks/ravik_startup_floor_widgets"
    measure "qt-widgets-start-up magick" "$magick" "$data/small.png" -crop 98x67+0+0 +repage -depth 4 "rgb:$out/frame.rgb"
done

report "${files[@]}" qt-gui-start-up qt-widgets-start-up
