#!/usr/bin/env bash
# Measures a batch: 1,000 different 640 × 480 pictures (half PNG, half baseline JPEG, made once
# by ImageMagick) converted by one `ravik-lcd convert … --out-dir DIR --bin` call, against a shell
# loop of ImageMagick's `convert PICTURE -crop 98x67+0+0 +repage -depth 4 rgb:OUT` over the same
# files. Wall time, median of RUNS interleaved runs each (Release build, every core).
# Not part of tools/test.sh. Usage: tools/bench-batch.sh [RUNS]   (default 3)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-3}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing imagemagick

build="$RAVIK_ROOT/build-batch-bench"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target ravik-lcd >/dev/null
magick=/usr/bin/convert

# 20 groups of 50 8-bit pictures: one plasma field, each rotated by its own angle, so no two
# are alike.
data="$build/batch-data"
if [ ! -f "$data/done" ]; then
    echo "== making 1,000 pictures of 640 × 480 (once) =="
    rm -rf "$data"
    mkdir -p "$data"
    "$magick" -seed 7 -size 800x600 plasma:fractal -gravity center -crop 640x480+0+0 +repage \
        "$data/base.ppm"
    for group in $(seq 0 19); do
        format=png
        [ $((group % 2)) -eq 1 ] && format=jpg
        "$magick" "$data/base.ppm" -duplicate 49 -virtual-pixel mirror \
            -distort SRT "%[fx:($group*50+t)*0.35]" -depth 8 -quality 90 +adjoin \
            "$data/p$(printf %02d "$group")-%02d.$format"
    done
    rm "$data/base.ppm"
    touch "$data/done"
fi
mapfile -t pictures < <(find "$data" -name 'p*.png' -o -name 'p*.jpg' | sort)
echo "${#pictures[@]} pictures"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

out="$build/batch-out"
ours=()
loop=()
for run in $(seq 1 "$RUNS"); do
    rm -rf "$out" && mkdir -p "$out"
    start=$(now)
    "$build/ravik-lcd" convert "${pictures[@]}" --out-dir "$out/ravik" --bin 2>/dev/null
    ours+=("$(since "$start")")

    mkdir -p "$out/magick"
    start=$(now)
    for picture in "${pictures[@]}"; do
        name=$(basename "$picture")
        "$magick" "$picture" -crop 98x67+0+0 +repage -depth 4 "rgb:$out/magick/${name%.*}.rgb"
    done
    loop+=("$(since "$start")")
    echo "run $run: ravik-lcd ${ours[-1]} s, ImageMagick loop ${loop[-1]} s"
done
ours_median=$(printf '%s\n' "${ours[@]}" | median)
loop_median=$(printf '%s\n' "${loop[@]}" | median)
echo
echo "| 1,000 pictures 640 × 480 | median of $RUNS |"
echo "|---|---|"
printf '| ravik-lcd convert --out-dir --bin | %.2f s |\n' "$ours_median"
printf '| ImageMagick convert loop | %.2f s |\n' "$loop_median"
awk -v a="$ours_median" -v b="$loop_median" 'BEGIN { printf "| ratio | %.3f |\n", a / b }'
