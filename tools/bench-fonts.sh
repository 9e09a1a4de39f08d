#!/usr/bin/env bash
# Measures glyph sets side by side with LVGL's font converter, lv_font_conv 1.5.3 (installed from
# the npm registry into ~/.cache/ravik-lcd/bench/ and reused): ASCII plus the 3,755 GB2312 level-1
# hanzi from the system's Simplified Chinese font (fontconfig's `sans-serif:lang=zh-cn`; the face
# is extracted from its .ttc with fontTools, since lv_font_conv can't read collections, and both
# converters read that one file) at 12, 16 and 24 px.
#   Ravik:        `ravik-lcd font FACE --size N --chars ascii --chars gb2312-1 --alpha OPTIONS`,
#                 one row for each argument (OPTIONS; none gives one row of plain --alpha);
#   lv_font_conv: `--format lvgl` at bpp 4 and 1 (and every bpp a Ravik row asks for with
#                 --bpp), compressed and `--no-compress`, kerning kept.
# Each output is compiled for a Cortex-M0 (arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -c) and
# its flash bytes are text + data of the object (arm-none-eabi-size): the font's data only, with
# neither side's drawing code; and the ratio of Ravik's bytes to lv_font_conv's at the same bpp.
# Also each conversion's wall time and peak memory (from /usr/bin/time), medians of RUNS runs
# (default 1). Release build (build-release/); not part of tools/test.sh.
# Usage: [RUNS=n] [SIZES="12 16 24"] [RAVIK_PROGRAM=…] tools/bench-fonts.sh [OPTIONS]...
#   e.g. tools/bench-fonts.sh "" "--bpp 1" "--bpp 1 --compress rle" "--fallback 'Noto Sans'"
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=${RUNS:-1}
read -ra sizes <<<"${SIZES:-12 16 24}"
row_options=("$@")
[ ${#row_options[@]} -gt 0 ] || row_options=("")
RAVIK_BUILD_DIR="build-release"
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
source "$RAVIK_ROOT/tools/setup.sh"

# Says what failed, in Chinese and English, and stops.
fail() {
    ravik_say "bench-fonts.sh：$1" "bench-fonts.sh: $2"
    exit 1
}

ravik_install_missing gcc-arm-none-eabi binutils-arm-none-eabi python3-fonttools fontconfig time
command -v npm >/dev/null || ravik_install_packages nodejs npm
# Debian's Python, which has Debian's fontTools (a python3 earlier in PATH may not).
python=/usr/bin/python3

if [ -n "${RAVIK_PROGRAM:-}" ]; then
    program=$RAVIK_PROGRAM
else
    ravik_build ravik-lcd >/dev/null
    program="$RAVIK_ROOT/$RAVIK_BUILD_DIR/ravik-lcd"
fi

# lv_font_conv, pinned, in a cache outside the work tree.
lv_version=1.5.3
cache="${XDG_CACHE_HOME:-$HOME/.cache}/ravik-lcd/bench/lv_font_conv-$lv_version"
lv_font_conv="$cache/node_modules/.bin/lv_font_conv"
if [ "$("$lv_font_conv" --version 2>/dev/null)" != "$lv_version" ]; then
    echo "== installing lv_font_conv $lv_version into $cache =="
    mkdir -p "$cache"
    npm install --prefix "$cache" --no-audit --no-fund --loglevel=error "lv_font_conv@$lv_version" ||
        fail "npm 未能安装 lv_font_conv@$lv_version（见上文 npm 的说明）。" \
            "npm could not install lv_font_conv@$lv_version (npm's words are above)."
    [ "$("$lv_font_conv" --version)" = "$lv_version" ] ||
        fail "安装后的 lv_font_conv 不是 $lv_version 版。" \
            "the lv_font_conv installed is not version $lv_version."
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The face fontconfig picks for Simplified Chinese, alone in a font file.
match=$(fc-match -f '%{file}:%{index}' 'sans-serif:lang=zh-cn')
collection=${match%:*}
index=${match##*:}
[ -f "$collection" ] ||
    fail "fontconfig 没有找到简体中文字体（fc-match 'sans-serif:lang=zh-cn' 给出的是 $match）；请安装 fonts-noto-cjk。" \
        "fontconfig found no Simplified Chinese font (fc-match 'sans-serif:lang=zh-cn' gave $match); install fonts-noto-cjk."
face="$work/face.otf"
"$python" - "$collection" "$index" "$face" <<'EOF' ||
import sys
from fontTools.ttLib import TTFont

# Tables are copied as stored: nothing is decompiled, so the glyph outlines and hints stay as
# they are in the collection.
TTFont(sys.argv[1], fontNumber=int(sys.argv[2])).save(sys.argv[3])
EOF
    fail "fontTools 未能从 $collection 取出第 $index 个字体。" \
        "fontTools could not extract face $index of $collection."
family=$(fc-query -f '%{family[0]} %{style[0]}' "$face")

# The characters: ASCII and GB2312 level 1, read from the project's own table (rows 16 to 55 at
# its start: 94 a row, 89 in row 55), as a range list for lv_font_conv.
read -r char_count ranges < <("$python" - "$RAVIK_ROOT/fonts/gb2312_table.h" <<'EOF'
import re
import sys

text = open(sys.argv[1], encoding="utf-8").read()
table = [int(code, 16) for code in re.findall(r"0x([0-9A-Fa-f]{4})", text[text.index("= {"):])]
codes = sorted(set(range(0x20, 0x7F)) | set(table[:39 * 94 + 89]))
ranges = []
for code in codes:
    if ranges and ranges[-1][1] == code - 1:
        ranges[-1][1] = code
    else:
        ranges.append([code, code])
print(len(codes), ",".join(f"0x{a:X}" if a == b else f"0x{a:X}-0x{b:X}" for a, b in ranges))
EOF
)
[ "$char_count" = 3850 ] ||
    fail "从 fonts/gb2312_table.h 得到 $char_count 个字符，应为 3850。" \
        "fonts/gb2312_table.h gave $char_count characters, not 3850."

# What lv_font_conv's C includes, declared here with LVGL 8.3's layout and default lv_conf
# (16-bit coordinates, user data on, descriptors of the small format). The sizes asserted are
# what LVGL 8.3.11's own headers give with the compiler below; the 16 px bpp 4 output compiled
# against those headers and against these to the same bytes (LVGL 9 stores 4 more for the two
# font records, nothing more).
mkdir -p "$work/lvgl"
cat >"$work/lvgl/lvgl.h" <<'EOF'
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#define LVGL_VERSION_MAJOR 8
#define LVGL_VERSION_MINOR 3
#define LVGL_VERSION_PATCH 11
#define LV_VERSION_CHECK(x, y, z) \
    ((x) == LVGL_VERSION_MAJOR && \
     ((y) < LVGL_VERSION_MINOR || ((y) == LVGL_VERSION_MINOR && (z) <= LVGL_VERSION_PATCH)))
#define LV_ATTRIBUTE_LARGE_CONST
#define LV_FONT_FMT_TXT_LARGE 0

enum { LV_FONT_SUBPX_NONE, LV_FONT_SUBPX_HOR, LV_FONT_SUBPX_VER, LV_FONT_SUBPX_BOTH };
enum {
    LV_FONT_FMT_TXT_CMAP_FORMAT0_FULL,
    LV_FONT_FMT_TXT_CMAP_SPARSE_FULL,
    LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY,
    LV_FONT_FMT_TXT_CMAP_SPARSE_TINY
};

typedef struct {
    uint32_t bitmap_index : 20;
    uint32_t adv_w : 12;
    uint8_t box_w;
    uint8_t box_h;
    int8_t ofs_x;
    int8_t ofs_y;
} lv_font_fmt_txt_glyph_dsc_t;

typedef struct {
    uint32_t range_start;
    uint16_t range_length;
    uint16_t glyph_id_start;
    const uint16_t *unicode_list;
    const void *glyph_id_ofs_list;
    uint16_t list_length;
    uint8_t type;
} lv_font_fmt_txt_cmap_t;

typedef struct {
    const void *glyph_ids;
    const int8_t *values;
    uint32_t pair_cnt : 30;
    uint32_t glyph_ids_size : 2;
} lv_font_fmt_txt_kern_pair_t;

typedef struct {
    const int8_t *class_pair_values;
    const uint8_t *left_class_mapping;
    const uint8_t *right_class_mapping;
    uint8_t left_class_cnt;
    uint8_t right_class_cnt;
} lv_font_fmt_txt_kern_classes_t;

typedef struct {
    uint32_t last_letter;
    uint32_t last_glyph_id;
} lv_font_fmt_txt_glyph_cache_t;

typedef struct {
    const uint8_t *glyph_bitmap;
    const lv_font_fmt_txt_glyph_dsc_t *glyph_dsc;
    const lv_font_fmt_txt_cmap_t *cmaps;
    const void *kern_dsc;
    uint16_t kern_scale;
    uint16_t cmap_num : 9;
    uint16_t bpp : 4;
    uint16_t kern_classes : 1;
    uint16_t bitmap_format : 2;
    lv_font_fmt_txt_glyph_cache_t *cache;
} lv_font_fmt_txt_dsc_t;

typedef struct lv_font lv_font_t;
struct lv_font {
    bool (*get_glyph_dsc)(const lv_font_t *, void *, uint32_t, uint32_t);
    const uint8_t *(*get_glyph_bitmap)(const lv_font_t *, uint32_t);
    int16_t line_height;
    int16_t base_line;
    uint8_t subpx : 2;
    int8_t underline_position;
    int8_t underline_thickness;
    const void *dsc;
    const lv_font_t *fallback;
    void *user_data;
};

bool lv_font_get_glyph_dsc_fmt_txt(const lv_font_t *, void *, uint32_t, uint32_t);
const uint8_t *lv_font_get_bitmap_fmt_txt(const lv_font_t *, uint32_t);

_Static_assert(sizeof(lv_font_fmt_txt_glyph_dsc_t) == 8, "glyph descriptor as in LVGL");
_Static_assert(sizeof(lv_font_fmt_txt_cmap_t) == 20, "character map as in LVGL");
_Static_assert(sizeof(lv_font_fmt_txt_kern_pair_t) == 12, "kerning pairs as in LVGL");
_Static_assert(sizeof(lv_font_fmt_txt_kern_classes_t) == 16, "kerning classes as in LVGL");
_Static_assert(sizeof(lv_font_fmt_txt_dsc_t) == 24, "font data record as in LVGL 8");
_Static_assert(sizeof(lv_font_t) == 28, "font record as in LVGL 8");
EOF

cc=(arm-none-eabi-gcc -mcpu=cortex-m0 -mthumb -Os -std=c99)
# Flash bytes of one C file, text + data of its object, into $flash.
flash_bytes() {
    local source=$1
    shift
    "${cc[@]}" "$@" -c "$source" -o "${source%.*}.o" 2>"${source%.*}.log" || {
        cat "${source%.*}.log" >&2
        fail "arm-none-eabi-gcc 未能编译 $(basename "$source")（见上文）。" \
            "arm-none-eabi-gcc could not compile $(basename "$source") (see above)."
    }
    flash=$(arm-none-eabi-size "${source%.*}.o" | awk 'NR == 2 { print $1 + $2 }')
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Runs a converter RUNS times; the medians of its wall seconds (timed here, to the microsecond)
# and peak kilobytes (from /usr/bin/time) go into $seconds and $kilobytes under $row $size.
# Stops on the converter's failure.
measure() {
    local label=$1 start end
    shift
    : >"$work/times"
    for _ in $(seq "$RUNS"); do
        start=${EPOCHREALTIME/./}
        /usr/bin/time -f '%M' -o "$work/time" "$@" >"$work/out.log" 2>&1 || {
            cat "$work/out.log" >&2
            fail "$label 转换失败（见上文）。" "$label failed (see above)."
        }
        end=${EPOCHREALTIME/./}
        printf '%d.%06d %s\n' $(((end - start) / 1000000)) $(((end - start) % 1000000)) \
            "$(cat "$work/time")" >>"$work/times"
    done
    seconds[$row $size]=$(cut -d' ' -f1 "$work/times" | median)
    kilobytes[$row $size]=$(cut -d' ' -f2 "$work/times" | median)
}

declare -A bytes seconds kilobytes
lv_rows=()
ravik_rows=()
# One argument's Ravik options as words, into $words; quotes group a value with spaces in it, as
# in "--fallback 'Noto Sans'".
split_options() {
    local listing
    listing=$(xargs -r printf '%s\n' <<<"$1") ||
        fail "无法拆分选项（引号不成对？）：$1" "could not split the options (unmatched quotes?): $1"
    words=()
    [ -z "$listing" ] || mapfile -t words <<<"$listing"
}
# The bits per pixel a set of Ravik options asks for (4 unless --bpp says otherwise).
bpp_of() {
    local bpp=4 previous="" word words
    split_options "$1"
    for word in "${words[@]}"; do
        [ "$previous" = --bpp ] && bpp=$word
        [[ $word == --bpp=* ]] && bpp=${word#--bpp=}
        previous=$word
    done
    echo "$bpp"
}
lv_bpps=(4 1)
for options in "${row_options[@]}"; do
    bpp=$(bpp_of "$options")
    [[ " ${lv_bpps[*]} " == *" $bpp "* ]] || lv_bpps+=("$bpp")
done

for size in "${sizes[@]}"; do
    echo "== $size px =="
    for r in "${!row_options[@]}"; do
        row="ravik $r"
        [ "$size" = "${sizes[0]}" ] && ravik_rows+=("$row")
        split_options "${row_options[$r]}"
        header="$work/ravik_${r}_$size.h"
        measure "ravik-lcd font --alpha${row_options[$r]:+ ${row_options[$r]}}" "$program" font "$face" --size "$size" \
            --chars ascii --chars gb2312-1 --alpha "${words[@]}" --header "$header" --name ravik_font
        glyphs=$(sed -n 's|^/\* ravik_font: \([0-9]*\) glyphs.*|\1|p' "$header")
        [ -z "$glyphs" ] || [ "$glyphs" = "$char_count" ] ||
            fail "ravik-lcd 生成了 $glyphs 个字形，应为 $char_count。" \
                "ravik-lcd made $glyphs glyphs, not $char_count."
        # The header's font record is static: a program drawing with it keeps it, and so does
        # this one, by marking it used (which stores nothing).
        {
            echo "#include \"$(basename "$header")\""
            sed -n 's/^\(static [^=]*\bravik_font\) = .*/\1 __attribute__((used));/p' "$header"
        } >"$work/ravik_${r}_$size.c"
        flash_bytes "$work/ravik_${r}_$size.c" -I "$RAVIK_ROOT/runtime"
        bytes[$row $size]=$flash
        [ "${bytes[$row $size]}" -gt "$char_count" ] ||
            fail "ravik-lcd 的字模编译后只有 ${bytes[$row $size]} 字节：字体没有留在目标文件里。" \
                "ravik-lcd's glyph set compiled to ${bytes[$row $size]} bytes: the font was not kept."
        echo "ravik-lcd font --alpha${row_options[$r]:+ ${row_options[$r]}}: ${bytes[$row $size]} bytes, ${seconds[$row $size]} s"
    done
    for bpp in "${lv_bpps[@]}"; do
        for compress in compressed uncompressed; do
            row="lv $bpp $compress"
            [ "$size" = "${sizes[0]}" ] && lv_rows+=("$row")
            flags=()
            [ $compress = uncompressed ] && flags=(--no-compress)
            source_file="$work/lv_${bpp}_${compress}_$size.c"
            measure "lv_font_conv --bpp $bpp${flags[*]:+ ${flags[*]}}" "$lv_font_conv" --font "$face" \
                -r "$ranges" --size "$size" --bpp "$bpp" "${flags[@]}" --format lvgl \
                --lv-font-name lv_font -o "$source_file"
            glyphs=$(grep -c '^ *\/\* U+' "$source_file" || true)
            [ "$glyphs" = "$char_count" ] ||
                fail "lv_font_conv 生成了 $glyphs 个字形，应为 $char_count（字体缺字？）。" \
                    "lv_font_conv made $glyphs glyphs, not $char_count (characters missing from the font?)."
            flash_bytes "$source_file" -I "$work/lvgl" -DLV_LVGL_H_INCLUDE_SIMPLE
            bytes[$row $size]=$flash
            echo "lv_font_conv --bpp $bpp${flags[*]:+ ${flags[*]}}: ${bytes[$row $size]} bytes, ${seconds[$row $size]} s"
        done
    done
done

thousands() { # 1234567 → 1,234,567
    sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|[^0-9]\)/\1,\2\3/' -e 'ta' <<<"$1"
}
label() { # a row's name in the tables
    local kind number compress
    read -r kind number compress <<<"$1"
    if [ "$kind" = ravik ]; then
        echo "Ravik \`font --alpha${row_options[$number]:+ ${row_options[$number]}}\`"
    elif [ "$compress" = compressed ]; then
        echo "lv_font_conv bpp $number, compressed"
    else
        echo "lv_font_conv bpp $number, \`--no-compress\`"
    fi
}
columns() { # the table's head: title, then one column a size
    local line="| $1 |" rule="|---|" size
    for size in "${sizes[@]}"; do
        line+=" $size px |"
        rule+="---:|"
    done
    printf '%s\n%s\n' "$line" "$rule"
}

commit=$(git -C "$RAVIK_ROOT" describe --always --dirty 2>/dev/null || echo unknown)
echo
echo "command: ${SIZES:+SIZES=\"${SIZES}\" }RUNS=$RUNS tools/bench-fonts.sh${*:+ ${*@Q}}"
echo "ravik-lcd at $commit; lv_font_conv $lv_version; $("${cc[0]}" --version | head -n 1);"
echo "face: $family, face $index of $(basename "$collection"), extracted by fontTools."
echo
columns "ASCII + 3,755 GB2312 level-1 hanzi, $family: bytes in flash on a Cortex-M0"
for row in "${ravik_rows[@]}" "${lv_rows[@]}"; do
    line="| $(label "$row") |"
    for size in "${sizes[@]}"; do
        line+=" $(thousands "${bytes[$row $size]}") |"
    done
    echo "$line"
done
echo
columns "Ravik / lv_font_conv at the same bpp"
for row in "${ravik_rows[@]}"; do
    bpp=$(bpp_of "${row_options[${row#ravik }]}")
    for compress in compressed uncompressed; do
        line="| $(label "$row") / $(label "lv $bpp $compress" | sed 's/^lv_font_conv //') |"
        for size in "${sizes[@]}"; do
            line+=" $(awk -v a="${bytes[$row $size]}" -v b="${bytes[lv $bpp $compress $size]}" \
                'BEGIN { printf "%.3f", a / b }') |"
        done
        echo "$line"
    done
done
if [[ " ${lv_bpps[*]} " == *" 1 "* ]]; then
    echo
    echo "(lv_font_conv stores a 1-bit set uncompressed whatever its options say, so its two bpp 1 rows agree.)"
fi
echo
columns "one conversion: wall time, peak memory (median of $RUNS)"
for row in "${ravik_rows[@]}" "${lv_rows[@]}"; do
    line="| $(label "$row") |"
    for size in "${sizes[@]}"; do
        line+=" $(awk -v s="${seconds[$row $size]}" -v k="${kilobytes[$row $size]}" \
            'BEGIN { printf(s < 1 ? "%.3f s, %.1f MiB" : "%.2f s, %.1f MiB", s, k / 1024) }') |"
    done
    echo "$line"
done
for row in "${ravik_rows[@]}"; do
    lv="lv $(bpp_of "${row_options[${row#ravik }]}") compressed"
    line="| $(label "$lv") ÷ $(label "$row") |"
    for size in "${sizes[@]}"; do
        line+=" $(awk -v a="${seconds[$lv $size]}" -v b="${seconds[$row $size]}" \
            -v c="${kilobytes[$lv $size]}" -v d="${kilobytes[$row $size]}" \
            'BEGIN { if (b > 0) printf "%.0f × the time, ", a / b; printf "%.1f × the memory", c / d }') |"
    done
    echo "$line"
done
echo
uname -m
grep -m 1 'model name' /proc/cpuinfo || true
