#!/usr/bin/env bash
# Measures cutting a sprite sheet: one 640 × 400 sheet of 1,000 16 × 16 tiles (made once by
# ImageMagick) turned into a header by one `ravik-lcd convert SHEET --tiles 16x16 --header` call,
# against a shell loop of ImageMagick's `convert SHEET -crop 16x16+X+Y +repage -depth 4 rgb:OUT`,
# one call a tile. Wall time, median of RUNS interleaved runs each (Release build).
# Not part of tools/test.sh. Usage: tools/bench-tiles.sh [RUNS]   (default 3)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-3}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing imagemagick

build="$RAVIK_ROOT/build-tiles-bench"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target ravik-lcd >/dev/null
magick=/usr/bin/convert

data="$build/tiles-data"
mkdir -p "$data"
sheet="$data/sheet.png"
if [ ! -f "$sheet" ]; then
    "$magick" -seed 11 -size 640x400 plasma:fractal -depth 8 "$sheet"
fi

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

out="$build/tiles-out"
ours=()
loop=()
for run in $(seq 1 "$RUNS"); do
    rm -rf "$out" && mkdir -p "$out/magick"
    start=$(now)
    "$build/ravik-lcd" convert "$sheet" --tiles 16x16 --header "$out/sprites.h" --name sprites
    ours+=("$(since "$start")")

    start=$(now)
    for y in $(seq 0 16 384); do
        for x in $(seq 0 16 624); do
            "$magick" "$sheet" -crop "16x16+$x+$y" +repage -depth 4 "rgb:$out/magick/$x-$y.rgb"
        done
    done
    loop+=("$(since "$start")")
    echo "run $run: ravik-lcd ${ours[-1]} s, ImageMagick loop ${loop[-1]} s"
done
grep -q '#define sprites_COUNT 1000$' "$out/sprites.h" || { echo "the header holds no 1,000 tiles"; exit 1; }
ours_median=$(printf '%s\n' "${ours[@]}" | median)
loop_median=$(printf '%s\n' "${loop[@]}" | median)
echo
echo "| 1,000 tiles of 16 × 16 from a 640 × 400 sheet | median of $RUNS |"
echo "|---|---|"
printf '| ravik-lcd convert --tiles 16x16 --header | %.3f s |\n' "$ours_median"
printf '| ImageMagick convert -crop loop | %.2f s |\n' "$loop_median"
awk -v a="$ours_median" -v b="$loop_median" 'BEGIN { printf "| ratio | %.4f |\n", a / b }'
