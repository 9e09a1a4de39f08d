#!/usr/bin/env bash
# Measures compression for flash on a realistic set, made here with ImageMagick:
#   icons      flat shapes, text on buttons, anti-aliased circles (transparent where not drawn)
#   photo      ImageMagick's rose: and a seeded plasma:, fitted to 98 x 67
#   card       the stored test card and ImageMagick's gradient and checkerboard pattern, 98 x 67
#   animation  GIFs: a dot moving over a 98 x 67 background, a 32 x 32 spinner, a 98 x 67 fade
# and a glyph set (400 glyphs at 16 px from the system's Chinese font) that the program renders:
# bytes stored raw, with RLE, with delta + RLE (animations), in the copying form (lz), and the
# runtime decoder's speed on this machine. Then every picture of tools/make-picture-set.sh's varied
# 98 x 67 set alone: rle, lz and auto beside LZ4-HC (level 12) and gzip -9 of the same packed
# bytes. Builds in Release (build-release/). Not part of tools/test.sh.
# Usage: tools/bench-compression.sh
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing libbenchmark-dev imagemagick

build="$RAVIK_ROOT/build-release"
cmake -S "$RAVIK_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target ravik_compression_bench >/dev/null
magick=/usr/bin/convert
set_dir=$(mktemp -d)
trap 'rm -rf "$set_dir"' EXIT
mkdir -p "$set_dir"/{icons,photo,card,animation}

# Icons: 16 to 48 pixels, the shapes a firmware's interface draws; text in the system's sans serif.
i="$set_dir/icons"
font=$(fc-match -f '%{file}' sans-serif)
"$magick" -size 32x32 xc:none -fill '#2080ff' -draw 'roundrectangle 2,2 29,29 6,6' "$i/tile.png"
"$magick" -size 24x24 xc:none -fill '#e03030' -draw 'circle 12,12 12,2' "$i/dot.png"
"$magick" -size 48x48 xc:none -fill none -stroke '#30c030' -strokewidth 4 \
    -draw 'circle 24,24 24,5' "$i/ring.png"
"$magick" -size 16x16 xc:none -fill '#ffd000' -draw 'polygon 8,1 15,15 1,15' "$i/warning.png"
"$magick" -size 64x24 xc:'#3060c0' -font "$font" -fill white -pointsize 14 -gravity center \
    -annotate 0 'OK' "$i/button-ok.png"
"$magick" -size 80x24 xc:'#404040' -font "$font" -fill '#f0f0f0' -pointsize 13 -gravity center \
    -annotate 0 'Settings' "$i/button-settings.png"
"$magick" -size 32x32 xc:none -fill '#808080' -draw 'rectangle 4,14 27,17' \
    -draw 'rectangle 14,4 17,27' "$i/plus.png"
"$magick" -size 40x20 xc:none -fill '#20a020' -draw 'roundrectangle 0,0 39,19 9,9' \
    -fill white -draw 'circle 29,10 29,2' "$i/switch.png"

# Photographs at the panel's size.
"$magick" rose: -resize '98x67!' "$set_dir/photo/rose.png"
"$magick" -seed 4 -size 98x67 plasma: "$set_dir/photo/plasma.png"

# Test cards.
"$magick" "$RAVIK_ROOT/samples/test-card.png" -resize '98x67!' "$set_dir/card/test-card.png"
"$magick" -size 98x67 gradient:'#ff0000-#0000ff' "$set_dir/card/gradient.png"
"$magick" -size 98x67 pattern:checkerboard "$set_dir/card/checkerboard.png"
"$magick" -size 98x67 xc:'#202020' -fill '#ff0000' -draw 'rectangle 0,0 13,66' \
    -fill '#00ff00' -draw 'rectangle 14,0 27,66' -fill '#0000ff' -draw 'rectangle 28,0 41,66' \
    -fill '#ffff00' -draw 'rectangle 42,0 55,66' -fill '#00ffff' -draw 'rectangle 56,0 69,66' \
    -fill '#ff00ff' -draw 'rectangle 70,0 83,66' -fill white -draw 'rectangle 84,0 97,66' \
    "$set_dir/card/bars.png"

# Animations: small moving parts, and a fade where every pixel changes.
frames=()
for f in $(seq 0 23); do
    x=$((8 + f * 3))
    frames+=(\( -size 98x67 xc:'#102040' -fill '#ffcc00' -draw "circle $x,33 $((x + 5)),33" \))
done
"$magick" -delay 4 "${frames[@]}" -loop 0 "$set_dir/animation/moving-dot.gif"
frames=()
for f in $(seq 0 11); do
    frames+=(\( -size 32x32 xc:black -fill none -stroke '#40a0ff' -strokewidth 3
        -draw "arc 4,4 27,27 $((f * 30)),$((f * 30 + 270))" \))
done
"$magick" -delay 8 "${frames[@]}" -loop 0 "$set_dir/animation/spinner.gif"
frames=()
for f in $(seq 0 7); do
    frames+=(\( -size 98x67 xc:"rgb($((f * 30)),$((f * 20)),$((200 - f * 20)))" \))
done
"$magick" -delay 10 "${frames[@]}" -loop 0 "$set_dir/animation/fade.gif"

"$build/benchmarks/ravik_compression_bench" "$set_dir"

# Every picture of a varied 98 x 67 set on its own, as firmware stores a frame: our forms beside
# LZ4-HC at level 12 (python3-lz4, a bare block: no frame header) and gzip -9, on the same packed
# bytes.
ravik_install_missing python3-lz4 gzip
frames_dir=$(mktemp -d)
trap 'rm -rf "$set_dir" "$frames_dir"' EXIT
mkdir -p "$frames_dir/pictures" "$frames_dir/packed"
"$RAVIK_ROOT/tools/make-picture-set.sh" "$frames_dir/pictures"
"$build/benchmarks/ravik_compression_bench" --each "$frames_dir/pictures" "$frames_dir/packed" \
    >"$frames_dir/ours.txt"
echo
echo "Each picture alone, bytes stored (98 x 67, 9849 bytes raw):"
echo
echo "| picture | rle | lz | auto | LZ4-HC 12 | gzip -9 |"
echo "|---|---:|---:|---:|---:|---:|"
while read -r name raw rle lz auto; do
    packed="$frames_dir/packed/$name.packed"
    lz4=$(/usr/bin/python3 -c 'import lz4.block, sys
data = open(sys.argv[1], "rb").read()
print(len(lz4.block.compress(data, mode="high_compression", compression=12, store_size=False)))' "$packed")
    gz=$(gzip -9 -n -c "$packed" | wc -c)
    echo "| $name | $rle | $lz | $auto | $lz4 | $gz |"
    echo "$raw $rle $lz $auto $lz4 $gz" >>"$frames_dir/sums.txt"
done <"$frames_dir/ours.txt"
awk '{ for (i = 1; i <= 6; ++i) t[i] += $i; n++ }
    END {
        printf "| all %d, bytes | %d | %d | %d | %d | %d |\n", n, t[2], t[3], t[4], t[5], t[6]
        printf "| of raw (%d) | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% |\n", t[1],
            100 * t[2] / t[1], 100 * t[3] / t[1], 100 * t[4] / t[1], 100 * t[5] / t[1], 100 * t[6] / t[1]
        printf "| against LZ4-HC | %.3f | %.3f | %.3f | 1 | %.3f |\n", t[2] / t[5], t[3] / t[5],
            t[4] / t[5], t[6] / t[5]
    }' "$frames_dir/sums.txt"
echo
uname -m
grep -m 1 'model name' /proc/cpuinfo || true
