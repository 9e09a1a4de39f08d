#!/usr/bin/env bash
# The CMake package as a firmware project uses it: the build is installed into a scratch root,
# examples/firmware is configured against it with find_package(RavikLCD) and built, and its
# program checks every asset, unpacked and streamed, against `ravik-lcd convert`'s .bin files for
# the manifest's options. With Ninja and with Make, a rebuild with nothing changed does nothing;
# touching a picture reruns the asset step once (the depfile and the stamp) without recompiling;
# redrawing one changes the firmware's bytes.
# Usage: cmake_package_test.sh SOURCE_DIR BUILD_DIR C_COMPILER. Exit 77: skipped.
set -uo pipefail
source=$(cd "$1" && pwd) build=$2 cc=$3
command -v "$cc" >/dev/null || { echo "SKIP: no C compiler"; exit 77; }
command -v ninja >/dev/null || { echo "SKIP: no ninja"; exit 77; }
[ -x /usr/bin/convert ] || { echo "SKIP: no ImageMagick"; exit 77; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
die() {
    echo "FAIL: $*"
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/root" cmake --install "$build" >"$work/install.log" 2>&1 ||
    die "cmake --install: $(cat "$work/install.log")"
config=$(find "$work/root" -name RavikLCDConfig.cmake)
[ -f "$config" ] || die "no RavikLCDConfig.cmake installed"
[ -f "$(dirname "$config")/RavikLCDConfigVersion.cmake" ] || fail "no version file installed"
prefix=$(cd "$(dirname "$config")/../../.." && pwd)
program="$prefix/bin/ravik-lcd"
[ -x "$program" ] || die "no program at $program"

firmware="$work/firmware"
cp -r "$source/examples/firmware" "$firmware"
# The references: convert with the options each asset has in assets.toml.
references() {
    rm -rf "$work/ref"
    mkdir -p "$work/ref"
    (cd "$firmware/pictures" &&
        "$program" convert splash.png --fit contain --dither ordered --bin "$work/ref/splash.bin" &&
        "$program" convert icons.png --tiles 16x16 --background 000000 \
            --bin "$work/ref/icons.bin" --mask-bin "$work/ref/icons.mask" &&
        "$program" convert spinner.gif --all-frames --size 24x24 --bin "$work/ref/spinner.bin") ||
        die "convert could not make the references"
}
references

# Built as the tests build C: warnings as errors, with the sanitizers.
flags="-Werror -fsanitize=address,undefined -fno-sanitize-recover=undefined"
for generator in Ninja "Unix Makefiles"; do
    if [ "$generator" = "Unix Makefiles" ] && ! command -v make >/dev/null; then
        echo "no make: Unix Makefiles not tried"
        continue
    fi
    out="$work/build-${generator// /-}"
    cmake -S "$firmware" -B "$out" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >"$work/configure.log" 2>&1 ||
        die "configuring with $generator: $(cat "$work/configure.log")"
    grep -q "^RavikLCD_DIR:PATH=$work/root/" "$out/CMakeCache.txt" ||
        fail "$generator: found a RavikLCD outside the scratch root"
    cmake --build "$out" >"$work/build.log" 2>&1 ||
        die "building with $generator: $(cat "$work/build.log")"
    "$out/firmware" "$work/ref" || fail "$generator: the firmware's assets differ from convert's"
    cmake --build "$out" >"$work/again.log" 2>&1 || fail "$generator: the second build failed"
    grep -q "Ravik LCD assets\|Building C" "$work/again.log" &&
        fail "$generator: a build with nothing changed did work: $(cat "$work/again.log")"
done

# The depfile and the stamp, with Ninja and with Make: a touched picture reruns the asset step
# once, which rewrites nothing, so nothing is compiled, and the build after it does nothing; a
# redrawn picture reaches the firmware.
touch "$firmware/pictures/icons.png"
for out in "$work"/build-*; do
    generator=${out##*/build-}
    cmake --build "$out" >"$work/touched.log" 2>&1 ||
        die "$generator: building after a touch: $(cat "$work/touched.log")"
    grep -q "Ravik LCD assets firmware_assets" "$work/touched.log" ||
        fail "$generator: touching a picture did not rerun the asset step: $(cat "$work/touched.log")"
    grep -q "Building C" "$work/touched.log" &&
        fail "$generator: touching a picture recompiled: $(cat "$work/touched.log")"
    cmake --build "$out" >"$work/settled.log" 2>&1 || fail "$generator: the build after a touch failed"
    grep -q "Ravik LCD assets\|Building C" "$work/settled.log" &&
        fail "$generator: the build after a touch is not settled: $(cat "$work/settled.log")"
done

/usr/bin/convert -size 32x16 xc:none -fill '#F0F000' -draw 'rectangle 1,1 14,14' \
    -fill '#00F0F0' -draw 'circle 24,8 24,2' PNG32:"$firmware/pictures/icons.png"
references
"$work/build-Ninja/firmware" "$work/ref" >/dev/null 2>&1 &&
    fail "the old firmware matches the redrawn picture's bytes"
for out in "$work"/build-*; do
    generator=${out##*/build-}
    cmake --build "$out" >"$work/redrawn.log" 2>&1 ||
        die "$generator: building after a redraw: $(cat "$work/redrawn.log")"
    grep -q "Building C" "$work/redrawn.log" || fail "$generator: a redrawn picture was not compiled in"
    "$out/firmware" "$work/ref" || fail "$generator: the firmware differs from convert's bytes for the new picture"
done

[ "$failures" -eq 0 ] && echo "all CMake package checks passed"
exit $((failures > 0))
