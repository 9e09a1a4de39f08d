#!/usr/bin/env bash
# Measures `ravik-lcd convert` on 6000 × 4000 BMP, TIFF and TGA files against ImageMagick's
# `convert X -crop 98x67+0+0 +repage -depth 4 rgb:OUT`, as tools/bench.sh does: interleaved runs,
# median wall time and median peak memory (/usr/bin/time -f %M).
# Not part of tools/test.sh. Usage: tools/bench-formats.sh [RUNS]   (default 7)
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${1:-7}
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing imagemagick time

build="$RAVIK_ROOT/build-release"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target ravik-lcd >/dev/null

data="$build/bench-formats-data"
mkdir -p "$data"
if [ ! -f "$data/big-rle.tga" ]; then
    echo "== making 6000 × 4000 test pictures (once) =="
    convert -size 6000x4000 gradient:'#ff8040'-'#2040c0' \
        \( -size 6000x4000 radial-gradient:white-'#303030' \) -compose multiply -composite \
        -depth 8 "$data/master.ppm"
    convert "$data/master.ppm" -type TrueColor "BMP3:$data/big.bmp"
    convert "$data/master.ppm" -colors 256 -compress RLE "BMP3:$data/big-rle8.bmp"
    convert "$data/master.ppm" -compress None "$data/big.tif"
    convert "$data/master.ppm" -compress LZW "$data/big-lzw.tif"
    convert "$data/master.ppm" "$data/big.tga"
    convert "$data/master.ppm" -compress RLE "$data/big-rle.tga"
    rm "$data/master.ppm"
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
results="$out/results"
measure() {
    local label=$1
    shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$out/rss" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$label $(( (end - start) / 1000 )) $(cat "$out/rss")" >>"$results"
}

files=(big.bmp big-rle8.bmp big.tif big-lzw.tif big.tga big-rle.tga)
echo "== whole program, $RUNS interleaved runs each =="
for ((run = 1; run <= RUNS; run++)); do
    for file in "${files[@]}"; do
        measure "$file ravik" env -u DISPLAY -u WAYLAND_DISPLAY "$build/ravik-lcd" convert \
            "$data/$file" --bin "$out/frame.bin"
        measure "$file magick" /usr/bin/convert "$data/$file" -crop 98x67+0+0 +repage -depth 4 "rgb:$out/frame.rgb"
    done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-22s %12s %12s %12s %12s %10s\n' picture "ravik ms" "ravik MiB" "magick ms" "magick MiB" "time ratio"
for file in "${files[@]}"; do
    r_us=$(grep "^$file ravik " "$results" | cut -d' ' -f3 | median)
    r_kb=$(grep "^$file ravik " "$results" | cut -d' ' -f4 | median)
    m_us=$(grep "^$file magick " "$results" | cut -d' ' -f3 | median)
    m_kb=$(grep "^$file magick " "$results" | cut -d' ' -f4 | median)
    awk -v f="$file" -v ru="$r_us" -v rk="$r_kb" -v mu="$m_us" -v mk="$m_kb" 'BEGIN {
        printf "%-22s %12.1f %12.1f %12.1f %12.1f %9.3f\n", f, ru / 1000, rk / 1024, mu / 1000, mk / 1024, ru / mu }'
done
