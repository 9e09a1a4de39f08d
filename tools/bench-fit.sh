#!/usr/bin/env bash
# Measures the scaling fits on 6000 × 4000 pictures and an 8000 × 6000 16-bit PNG (past the
# whole-picture decode limit; the fits read it row by row): `ravik-lcd convert PICTURE --fit contain`
# against ImageMagick's `convert PICTURE -resize 98x67 -depth 4 rgb:OUT`, interleaved runs, the
# median wall time and the median peak memory (/usr/bin/time -f %M).
# Not part of tools/test.sh. Usage: tools/bench-fit.sh [RUNS]   (default 5)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-5}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing imagemagick time

build="$RAVIK_ROOT/build-release"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target ravik-lcd >/dev/null

# The same kind of picture as tools/bench.sh: a smooth colour field with a radial light.
data="$build/bench-fit-data"
mkdir -p "$data"
if [ ! -f "$data/big.png" ]; then
    echo "== making 6000 × 4000 test pictures (once) =="
    /usr/bin/convert -size 6000x4000 gradient:'#ff8040'-'#2040c0' \
        \( -size 6000x4000 radial-gradient:white-'#303030' \) -compose multiply -composite \
        -depth 8 "$data/master.ppm"
    /usr/bin/convert "$data/master.ppm" -quality 90 -interlace none "$data/big-baseline.jpg"
    /usr/bin/convert "$data/master.ppm" "$data/big.png"
    rm "$data/master.ppm"
fi
if [ ! -f "$data/huge16.png" ]; then
    echo "== making an 8000 × 6000 16-bit test picture (once) =="
    /usr/bin/convert -size 8000x6000 gradient:'#ff8040'-'#2040c0' -depth 16 "$data/huge16.png"
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# One run: "seconds kilobytes".
measure() {
    /usr/bin/time -f '%e %M' -o "$out/time" "$@" >/dev/null 2>"$out/err" || {
        cat "$out/err" >&2
        return 1
    }
    cat "$out/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-22s %-12s %10s %10s %8s\n' picture tool 'time (s)' 'peak MiB' ratio
for picture in big-baseline.jpg big.png huge16.png; do
    : >"$out/ravik"
    : >"$out/magick"
    for _ in $(seq "$RUNS"); do
        measure "$build/ravik-lcd" convert "$data/$picture" --fit contain --bin "$out/f.bin" \
            >>"$out/ravik"
        measure /usr/bin/convert "$data/$picture" -resize 98x67 -depth 4 "rgb:$out/f.rgb" \
            >>"$out/magick"
    done
    ravik_time=$(cut -d' ' -f1 "$out/ravik" | median)
    magick_time=$(cut -d' ' -f1 "$out/magick" | median)
    ravik_mem=$(cut -d' ' -f2 "$out/ravik" | median)
    magick_mem=$(cut -d' ' -f2 "$out/magick" | median)
    ratio=$(awk -v a="$ravik_time" -v b="$magick_time" 'BEGIN { printf "%.3f", a / b }')
    printf '%-22s %-12s %10s %10.1f %8s\n' "$picture" "ravik-lcd" "$ravik_time" \
        "$(awk -v k="$ravik_mem" 'BEGIN { print k / 1024 }')" "$ratio"
    printf '%-22s %-12s %10s %10.1f %8s\n' "$picture" "ImageMagick" "$magick_time" \
        "$(awk -v k="$magick_mem" 'BEGIN { print k / 1024 }')" 1
done
