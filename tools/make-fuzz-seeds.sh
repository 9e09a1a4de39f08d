#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora into fuzz/corpus/TARGET/: small files (a few hundred bytes
# to a few KB) in every variant of every format the readers take, made by other encoders
# (ImageMagick, cjpeg, cwebp, img2webp, gif2webp, tiffcp, tiffset) or, where no tool here writes
# the variant (TGA types and origins, BMP RLE and bit fields, OS/2 BMP, ICO, APNG, eXIf, a GIF
# without a colour table, frame text), byte by byte from the formats' own layouts below.
# The results are committed, so the fuzz_regressions test needs none of these tools; run this
# again (it replaces the folders) after changing what it makes.
#
#   tools/make-fuzz-seeds.sh                 every target's seeds
#   tools/make-fuzz-seeds.sh --no-pictures   only the targets that read no pictures
#
# A target whose first byte selects how the rest is read (see fuzz/fuzz_input.h) gets each seed
# with that byte in front: picture_fit cycles through the fits, dithers and backgrounds;
# picture_hint gives each picture its own suffix (and a few a wrong one).
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
corpus="$RAVIK_ROOT/fuzz/corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
im=/usr/bin/convert # ImageMagick itself, not any wrapper earlier on the path
source "$RAVIK_ROOT/tools/setup.sh"

# The targets that read no pictures (manifest, char_set, font_file, compression, runtime,
# shaping): their seeds from the repository's own manifests and pictures, the system's fonts cut
# down by fontTools' pyftsubset, and the X11 bitmap fonts. `--no-pictures` makes only these.
input_seeds() {
    local targets=(manifest char_set font_file compression runtime shaping) target
    ravik_install_packages imagemagick python3-fonttools fonts-dejavu-core fonts-noto-cjk \
        fonts-liberation xfonts-base
    for target in "${targets[@]}"; do
        rm -rf "${corpus:?}/$target"
        mkdir -p "$corpus/$target"
    done
    local fonts="$work/fonts" rgba="$work/rgba"
    # Debian's own Python, which python3-fonttools is installed for.
    pyftsubset() { /usr/bin/python3 -m fontTools.subset "$@"; }
    mkdir -p "$fonts" "$rgba"
    # Fonts as the font_file target takes them: subsets of real fonts, each in its own format.
    pyftsubset /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --unicodes=U+20-7E \
        --output-file="$fonts/dejavu-ascii.ttf"
    pyftsubset /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --text='Ag1.' --no-hinting \
        --output-file="$fonts/dejavu-unhinted.ttf"
    pyftsubset /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf --text='Ag1.' \
        --flavor=woff --output-file="$fonts/liberation.woff"
    pyftsubset /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc --font-number=2 \
        --text='永中文A' --output-file="$fonts/noto-cjk-cff.otf"
    cp /usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz "$fonts/6x13.pcf.gz"
    # Each picture's straight RGBA bytes, small.
    "$im" "$RAVIK_ROOT/examples/firmware/pictures/icons.png" -depth 8 "rgba:$rgba/icons"
    "$im" "$RAVIK_ROOT/examples/firmware/pictures/splash.png" -resize 40x27 -depth 8 \
        "rgba:$rgba/splash"
    "$im" "$RAVIK_ROOT/samples/test-card.png" -resize 98x67! -depth 8 "rgba:$rgba/test-card"
    "$im" "$RAVIK_ROOT/examples/firmware/pictures/spinner.gif" -coalesce -depth 8 \
        "rgba:$rgba/spinner-%d"
    python3 - "$RAVIK_ROOT" "$corpus" "$fonts" "$rgba" <<'PY'
import os, struct, sys
root, corpus, fonts, rgba = sys.argv[1:]

def write(target, name, data):
    with open(f"{corpus}/{target}/{name}", "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())

def pixels(name, w, h):
    raw = open(f"{rgba}/{name}", "rb").read()
    return [tuple(raw[4 * i:4 * i + 4]) for i in range(w * h)]

def rgb444(p):
    return (p[0] >> 4) << 8 | (p[1] >> 4) << 4 | p[2] >> 4

def packed(colours):
    nibbles = [c >> s & 15 for c in colours for s in (8, 4, 0)]
    nibbles += [0] * (len(nibbles) % 2)
    return bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))

# The byte values ByteSource::inRange reads back as `value` in low..high.
def in_range(value, low, high):
    span, v = high - low + 1, value - low
    return bytes([v]) if span <= 256 else struct.pack(">H", v) if span <= 65536 else struct.pack(">I", v)

# --- manifest: the repository's manifests, one with every key, and the faults it names ---
write("manifest", "firmware.toml", open(f"{root}/examples/firmware/assets.toml").read())
readme = open(f"{root}/README.md").read()
start = readme.index("```toml\nname = \"ui_assets\"")
write("manifest", "readme.toml", readme[start + 8:readme.index("```", start + 8)])
write("manifest", "every-key.toml", """name = "ui"
attribute = "__attribute__((section(\\".flash\\")))"
budget = "64K"

[[frame]]
name = "启动画面"
picture = "图片/启动.png"
fit = "cover"
dither = "floyd-steinberg"
background = "102030"
crop = [2, 3, 50, 40]
rotate = 270
flip = "horizontal"
key = "FF00FF"
compress = "rle"
attribute = "PROGMEM"

[[sprite]]
name = "sheet"
picture = "sheet.png"
size = [16, 8]
tiles = [16, 8]
mask = true
rotate = 90
flip = "vertical"

[[animation]]
name = "walk"
picture = "walk.webp"
crop = [0, 0, 24, 24]
delta = false
compress = "none"

[[font]]
name = "text12"
font = "DejaVu Sans"
face = 0
size = 12
chars = ["ascii", "U+4E00-U+4E0F", "@strings.txt", "你好"]
text = "温度 23°C"
alpha = false
color = "FFFFFF"
background = "000000"
hinting = "full"
""")
write("manifest", "unknown-key.toml", 'name = "ui"\n[[frame]]\nname = "a"\npicture = "a.png"\nfitt = "contain"\n')
write("manifest", "wrong-type.toml", '[[sprite]]\nname = "a"\npicture = 7\nsize = ["16", 16]\n')
write("manifest", "same-name.toml", '[[frame]]\nname = "a"\npicture = "a.png"\n[[font]]\nname = "a"\nsize = 12\nchars = "ascii"\n')
write("manifest", "inline-tables.toml", 'name = "x"\nframe = [{name = "a", picture = "a.png"}, {name = "b", picture = "b.png", crop = [0, 0, 1, 1]}]\n')
write("manifest", "syntax.toml", '[[frame]\nname = "a\n')
write("manifest", "dotted.toml", 'a.b.c.d.e.f = 1\n[x.y.z]\n"q".\'r\' = 2\n')

# --- char_set: items split at NUL; an item starting with @ is a file of the rest ---
strings = "第一行：温度\r\n第二行：湿度 45%\n"
write("char_set", "keywords", "ascii\0gb2312-1")
write("char_set", "ranges", "U+4E00-U+4E2F\0u+3000\0U+D7F0-U+E010\0U+10FFF0-U+10FFFF")
write("char_set", "file-with-bom", "@\ufeff" + strings)
write("char_set", "text-and-file", "你好，世界\0@" + strings + "\0ascii")
write("char_set", "bad-range", "U+4E2F-U+4E00")
write("char_set", "overlong", b"A\xc0\x80")
write("char_set", "surrogate-text", b"\xed\xa0\x80")
write("char_set", "readme-text", readme[:400].encode()[:400].decode("utf-8", "ignore"))

# --- font_file: the selector (size, hinting, characters) and the font's bytes ---
def selector(size_index, hinting, chars):
    return bytes([size_index | hinting << 4 | chars << 6])
write("font_file", "dejavu-ascii.ttf", selector(5, 0, 2) + open(f"{fonts}/dejavu-ascii.ttf", "rb").read())
write("font_file", "dejavu-unhinted.ttf", selector(3, 2, 0) + open(f"{fonts}/dejavu-unhinted.ttf", "rb").read())
write("font_file", "liberation.woff", selector(7, 1, 0) + open(f"{fonts}/liberation.woff", "rb").read())
write("font_file", "noto-cjk-cff.otf", selector(4, 0, 1) + open(f"{fonts}/noto-cjk-cff.otf", "rb").read())
write("font_file", "6x13.pcf.gz", selector(4, 0, 0) + open(f"{fonts}/6x13.pcf.gz", "rb").read())

# --- compression: real pictures as spans (round trip) and as stored token streams (decoder) ---
def spans(colours):
    out, i, last = bytearray(), 0, None
    while i < len(colours):
        if colours[i] == last:
            n = 1
            while i + n < len(colours) and colours[i + n] == last and n < 128:
                n += 1
            out.append(0x80 | (n - 1))
            i += n
        else:
            last = colours[i]
            out += bytes([last >> 8]) + struct.pack(">H", last & 0xFF)
            i += 1
    return bytes(out)

# The token stream of the documented format: runs of three or more, literals between.
def tokens(colours, previous=None):
    out, i, n = bytearray(), 0, len(colours)
    literal = []
    def flush():
        while literal:
            part = literal[:128]
            del literal[:128]
            out.append(len(part) - 1)
            out.extend(packed(part))
    while i < n:
        if previous is not None and colours[i] == previous[i]:
            k = 1
            while i + k < n and colours[i + k] == previous[i + k] and k < 16384:
                k += 1
            flush()
            out += bytes([0xC0 | (k - 1) >> 8, (k - 1) & 0xFF])
            i += k
            continue
        k = 1
        while i + k < n and colours[i + k] == colours[i] and k < 1024:
            k += 1
        if k >= 3:
            flush()
            c = colours[i]
            out += bytes([0x80 | (k - 1) >> 4, ((k - 1) & 15) << 4 | c >> 8, c & 0xFF])
            i += k
        else:
            literal.append(colours[i])
            i += 1
    flush()
    return bytes(out)

icons = [rgb444(p) for p in pixels("icons", 32, 16)]
card = [rgb444(p) for p in pixels("test-card", 98, 67)]
spinner = [[rgb444(p) for p in pixels(f"spinner-{k}", 24, 24)] for k in range(3)]
def dims(w, h):
    return in_range(w, 1, 120) + in_range(h, 1, 80)
write("compression", "icons-rle", b"\x04" + dims(32, 16) + spans(icons) + b"\x00")
write("compression", "test-card-raw", b"\x00" + dims(98, 67) + spans(card) + b"\x00")
write("compression", "spinner-delta", b"\x06" + dims(24, 24) + spans(spinner[0]) + b"\x02" +
      spans(spinner[1]) + spans(spinner[2]))
def stored(how, w, h, pictures):
    cuts, data = [], b""
    for p in pictures:
        cuts.append(len(data))
        data += p
    return bytes([how]) + dims(w, h) + in_range(len(pictures), 1, 3) + b"".join(struct.pack(">H", c) for c in cuts[1:]) + data
write("compression", "icons-tokens", stored(1, 32, 16, [tokens(icons)]))
write("compression", "test-card-tokens", stored(1, 98, 67, [tokens(card)]))
write("compression", "spinner-delta-tokens", stored(3, 24, 24, [tokens(spinner[0]),
      tokens(spinner[1], spinner[0]), tokens(spinner[2], spinner[1])]))
write("compression", "cut-short", stored(1, 32, 16, [tokens(icons)[:37]]))

# --- runtime: draw, pixels, text and unpack, the first byte picking which ---
def frame_pattern(pattern):
    return bytes([len(pattern)]) + pattern
sprite = packed(icons[:16 * 16])  # not a tile: the sheet's first 256 pixels, as 16 x 16
mask = bytes([0xF0, 0x0F] * 16)
write("runtime", "draw-masked", b"\x00\x02" + in_range(16, -2, 120) + in_range(16, -2, 80) +
      in_range(-5, -140, 140) + in_range(58, -140, 140) + sprite + mask + frame_pattern(b"\x12\x34\x56"))
write("runtime", "draw-whole-frame", b"\x00\x00" + in_range(98, -2, 120) + in_range(67, -2, 80) +
      in_range(0, -140, 140) + in_range(0, -140, 140) + packed(card) + frame_pattern(b""))
write("runtime", "draw-odd-place", b"\x00\x00" + in_range(13, -2, 120) + in_range(9, -2, 80) +
      in_range(91, -140, 140) + in_range(-3, -140, 140) + packed(card[:117]) + frame_pattern(b"\xff"))
write("runtime", "pixels", b"\x01" + frame_pattern(b"\xa5\x5a") + b"".join(
      bytes([how]) + in_range(x, -140, 140) + in_range(y, -140, 140) + struct.pack(">H", rgb)
      for how, x, y, rgb in ((2, 0, 0, 0xF00), (2, 97, 66, 0x0F0), (2, 98, 0, 0x00F), (0, 97, 66, 0),
                             (2, 45, 30, 0xFABC), (0, -1, 5, 0))))
# A coverage font of 'A' (5 x 7) and U+4E2D (7 x 7) and a text finding both and missing one.
def glyph(code_index, w, h, left, top, advance):
    return bytes([code_index]) + in_range(w, 0, 24) + in_range(h, 0, 24) + struct.pack("bbB", left, top, advance)
A = [0, 6, 9, 6, 0, 6, 0, 0, 0, 6, 15, 15, 15, 15, 15, 9, 0, 0, 0, 9, 9, 0, 0, 0, 9, 9, 0, 0, 0, 9, 9, 0, 0, 0, 9]
zhong = [0, 0, 0, 15, 0, 0, 0] * 2 + [15] * 7 + [15, 0, 0, 15, 0, 0, 15] + [15] * 7 + [0, 0, 0, 15, 0, 0, 0] * 2
def coverage(levels):
    levels = levels + [0] * (len(levels) % 2)
    return bytes(levels[i] << 4 | levels[i + 1] for i in range(0, len(levels), 2))
font = b"\x01\x02" + glyph(3, 5, 7, 0, 7, 6) + glyph(11, 7, 7, 0, 7, 8) + coverage(A) + coverage(zhong) + b"\x09\x08"
text = "A中A?".encode()
write("runtime", "text-coverage", b"\x02\x01" + font + in_range(2, -32768, 32767) + in_range(30, -32768, 32767) +
      struct.pack(">H", 0xF80) + frame_pattern(b"\x00") + text)
write("runtime", "text-invalid-utf8", b"\x02\x01" + font + in_range(90, -32768, 32767) + in_range(-3, -32768, 32767) +
      struct.pack(">H", 0x0FF) + frame_pattern(b"\x33") + b"A\xe4\xb8A\xc0\x80\xed\xa0\x80\xf4\x90\x80\x80\xff")
colour_font = b"\x00\x01" + glyph(3, 4, 3, -1, 2, 4) + packed(icons[:12]) + b"\x08\x06"
write("runtime", "text-rgb444", b"\x02\x00" + colour_font + in_range(-2, -32768, 32767) + in_range(60, -32768, 32767) +
      struct.pack(">H", 0) + frame_pattern(b"\x10\x20") + b"\x03\x03\x04\x03")
def literal_pixels(colours):
    return b"".join(struct.pack(">H", c) for c in colours)
# tokensFrom's own format: kind, length, then a literal's pixels or a run's colour.
def model_tokens(colours, previous=None):
    out, i = bytearray(), 0
    while i < len(colours):
        if previous is not None and colours[i] == previous[i]:
            k = 1
            while i + k < len(colours) and colours[i + k] == previous[i + k] and k < 16384:
                k += 1
            out += b"\x02" + in_range(k, 1, min(16384, len(colours) - i))
        else:
            k = 1
            while i + k < len(colours) and colours[i + k] == colours[i] and k < 1024:
                k += 1
            if k >= 2:
                out += b"\x01" + in_range(k, 1, min(1024, len(colours) - i)) + struct.pack(">H", colours[i])
            else:
                k = 1
                while i + k < len(colours) and k < 128 and colours[i + k] != colours[i + k - 1]:
                    k += 1
                out += b"\x00" + in_range(k, 1, min(128, len(colours) - i)) + literal_pixels(colours[i:i + k])
        i += k
    return bytes(out)
def unpack_seed(how, w, h, count):
    return b"\x03" + bytes([how]) + in_range(w, 1, 64) + in_range(h, 1, 64) + in_range(count, 1, 3)
write("runtime", "unpack-icons", unpack_seed(0, 32, 16, 1) + model_tokens(icons))
write("runtime", "unpack-raw-then-delta", unpack_seed(3, 24, 24, 3) + packed(spinner[0]) +
      model_tokens(spinner[1], spinner[0]) + model_tokens(spinner[2], spinner[1]))
write("runtime", "unpack-short", unpack_seed(0, 13, 9, 2) + model_tokens(card[:50]) + b"\x03" +
      b"\x02" + in_range(117, 1, 117))

# --- shaping: the options, then a picture's size and straight RGBA (RGB with a key) ---
def shaping(how, more, options, picture, w, h, crop=None, tiles=None, key=None, size=None):
    out = bytes([how])
    if crop:
        out += in_range(crop[0], -2, 40) + in_range(crop[1], -2, 40) + in_range(crop[2], -1, 40) + in_range(crop[3], -1, 40)
    if tiles:
        out += in_range(tiles[0], 1, 40) + in_range(tiles[1], 1, 40)
    out += bytes([more])
    if key:
        out += bytes(key)
    out += bytes([options])
    if size:
        out += in_range(size[0], 1, 120) + in_range(size[1], 1, 90)
    out += in_range(w, 1, 40) + in_range(h, 1, 40)
    return out + b"".join(bytes(p[:3] if key else p) for p in picture)
icon_rgba = pixels("icons", 32, 16)
splash = pixels("splash", 40, 27)
write("shaping", "tiles-with-masks", shaping(0x20 | 0x40, 0, 0, icon_rgba, 32, 16, tiles=(16, 16)))
write("shaping", "crop-quarter-turn", shaping(1 | 1 << 1, 0, 1, splash, 40, 27, crop=(4, 2, 30, 20)))
write("shaping", "half-turn-flipped", shaping(2 << 1 | 1 << 3 | 0x80, 0, 2, icon_rgba, 32, 16))
write("shaping", "key-colour", shaping(0x80, 1, 0, splash, 40, 27, key=splash[0][:3]))
write("shaping", "sized-contain", shaping(3 << 1 | 2 << 3 | 0x40, 2, 0x15, splash, 40, 27, size=(60, 20)))
write("shaping", "crop-outside", shaping(1, 0, 0, icon_rgba, 32, 16, crop=(20, 0, 16, 16)))
write("shaping", "tiles-too-big", shaping(0x20, 0, 0, icon_rgba, 32, 16, tiles=(40, 8)))
PY
    for target in "${targets[@]}"; do
        printf '%-15s %3d seeds, %6d bytes\n' "$target" "$(ls "$corpus/$target" | wc -l)" \
            "$(cat "$corpus/$target"/* | wc -c)"
    done
}
input_seeds
[[ ${1:-} == --no-pictures ]] && exit 0

pictures="$work/pictures"
animations="$work/animations"
texts="$work/texts"
mkdir -p "$pictures" "$animations" "$texts"

# The base pictures: colour ramps with a transparent corner and a half-transparent band, small
# (13 × 9, odd sizes so rows need padding) and one larger than the frame (104 × 70).
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
def pam(name, w, h):
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            a = 0 if x + y < 3 else (128 if y == h // 2 else 255)
            rows += bytes([x * 255 // max(w - 1, 1), y * 255 // max(h - 1, 1), (x * y * 7) & 255, a])
    head = f"P7\nWIDTH {w}\nHEIGHT {h}\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
    open(f"{work}/{name}.pam", "wb").write(head.encode() + rows)
pam("base", 13, 9)
pam("large", 104, 70)
PY
base="$work/base.pam"
large="$work/large.pam"
opaque="$work/opaque.ppm"
"$im" "$base" -background '#3080c0' -alpha remove -alpha off "$opaque"

# PNG: every colour type and depth, interlaced, larger than the frame.
"$im" "$opaque" -colorspace Gray -depth 8 -define png:color-type=0 -define png:bit-depth=8 "$pictures/grey8.png"
"$im" "$opaque" -colorspace Gray -define png:color-type=0 -define png:bit-depth=4 "$pictures/grey4.png"
"$im" "$opaque" -colorspace Gray -define png:color-type=0 -define png:bit-depth=1 "$pictures/grey1.png"
"$im" "$base" -colorspace Gray -define png:color-type=4 "$pictures/grey-alpha.png"
"$im" "$base" -depth 16 -colorspace Gray -define png:color-type=0 -define png:bit-depth=16 "$pictures/grey16.png"
"$im" "$opaque" -colors 16 PNG8:"$pictures/palette.png"
"$im" "$base" -colors 16 PNG8:"$pictures/palette-trns.png"
"$im" "$opaque" -define png:color-type=2 "$pictures/rgb.png"
"$im" "$base" -define png:color-type=6 "$pictures/rgba.png"
"$im" "$opaque" -depth 16 -define png:color-type=2 -define png:bit-depth=16 "$pictures/rgb16.png"
"$im" "$base" -depth 16 -define png:color-type=6 -define png:bit-depth=16 "$pictures/rgba16.png"
"$im" "$base" -interlace PNG -define png:color-type=6 "$pictures/interlaced.png"
"$im" "$large" -colors 32 PNG8:"$pictures/large-palette.png"

# JPEG: baseline, progressive, grey, 4:4:4, restart markers, arithmetic coding, CMYK, larger than
# the frame (so the corner and the reduced decode are cut).
cjpeg -quality 80 "$opaque" >"$pictures/baseline.jpg"
cjpeg -quality 80 -progressive "$opaque" >"$pictures/progressive.jpg"
cjpeg -quality 80 -grayscale "$opaque" >"$pictures/grey.jpg"
cjpeg -quality 80 -sample 1x1 "$opaque" >"$pictures/444.jpg"
cjpeg -quality 80 -restart 1B "$opaque" >"$pictures/restart.jpg"
cjpeg -quality 80 -arithmetic "$opaque" >"$pictures/arithmetic.jpg"
"$im" "$opaque" -colorspace CMYK -quality 80 "$pictures/cmyk.jpg"
"$im" "$large" -background white -alpha remove -quality 30 "$work/large.ppm"
cjpeg -quality 30 "$work/large.ppm" >"$pictures/large.jpg"
cjpeg -quality 30 -progressive "$work/large.ppm" >"$pictures/large-progressive.jpg"

# GIF: plain, interlaced, transparent, larger than the frame.
"$im" "$opaque" -colors 16 "$pictures/plain.gif"
"$im" "$opaque" -colors 16 -interlace GIF "$pictures/interlaced.gif"
"$im" "$base" -colors 16 "$pictures/transparent.gif"
"$im" "$large" -colors 32 "$pictures/large.gif"

# Animated GIFs: each disposal, transparency, a frame smaller than the canvas with its own
# colour table, an interlaced frame.
frames=()
for i in 0 1 2; do
    "$im" -size 13x9 "xc:rgb($((i * 100)),80,$((200 - i * 60)))" "$work/f$i.ppm"
    frames+=("$work/f$i.ppm")
done
"$im" -delay 10 "${frames[@]}" -loop 0 "$animations/plain.gif"
"$im" -size 6x5 xc:orange "$work/small.ppm"
"$im" -delay 5 -dispose Background "$base" -page +2+1 "$work/small.ppm" -colors 16 \
    "$animations/dispose-background.gif"
"$im" -delay 0 -dispose Previous "$base" -page +3+2 "$work/small.ppm" "$animations/dispose-previous.gif"
"$im" -delay 20 -dispose None "$base" "$work/f0.ppm" -interlace GIF "$animations/interlaced.gif"
cp "$animations/plain.gif" "$pictures/animated.gif"

# WebP: lossy, lossless, lossy with alpha, animated (lossy, lossless, mixed, from a GIF).
"$im" "$base" "$work/base.png"
"$im" "$opaque" "$work/opaque.png"
cwebp -quiet -q 70 "$work/opaque.png" -o "$pictures/lossy.webp"
cwebp -quiet -lossless "$work/base.png" -o "$pictures/lossless.webp"
cwebp -quiet -q 70 -alpha_q 50 "$work/base.png" -o "$pictures/lossy-alpha.webp"
cwebp -quiet -q 70 -exact "$work/base.png" -o "$pictures/lossy-exact.webp"
for i in 0 1 2; do "$im" "$work/f$i.ppm" "$work/f$i.png"; done
img2webp -loop 0 -d 80 -lossy "$work/f0.png" "$work/f1.png" "$work/base.png" -o "$animations/lossy.webp" 2>/dev/null
img2webp -loop 2 -d 40 -lossless "$work/f0.png" "$work/base.png" -o "$animations/lossless.webp" 2>/dev/null
img2webp -mixed -d 30 "$work/base.png" "$work/f2.png" -o "$animations/mixed.webp" 2>/dev/null
gif2webp -quiet "$animations/dispose-background.gif" -o "$animations/from-gif.webp"
cp "$animations/lossy.webp" "$pictures/animated.webp"

# TIFF: strips and tiles, each compression, 16-bit, palette, grey, bilevel, CMYK, Lab,
# associated and unassociated alpha, big-endian, each orientation.
"$im" "$base" -compress None "$work/rgba.tif"
"$im" "$opaque" -compress None "$work/rgb.tif"
tiffcp -c none -r 3 "$work/rgb.tif" "$pictures/strips.tif"
tiffcp -c lzw "$work/rgb.tif" "$pictures/lzw.tif"
tiffcp -c lzw:2 "$work/rgb.tif" "$pictures/lzw-predictor.tif"
tiffcp -c zip "$work/rgba.tif" "$pictures/deflate.tif"
tiffcp -c packbits "$work/rgb.tif" "$pictures/packbits.tif"
tiffcp -c lzw -t -w 16 -l 16 "$work/rgba.tif" "$pictures/tiles.tif"
tiffcp -c none -B "$work/rgb.tif" "$pictures/big-endian.tif"
tiffcp -c none -p separate "$work/rgb.tif" "$pictures/planar.tif"
"$im" "$opaque" -depth 16 -compress None "$pictures/rgb16.tif"
"$im" "$base" -depth 16 -compress Zip "$pictures/rgba16.tif"
"$im" "$base" -depth 16 -define tiff:alpha=associated -compress None "$pictures/associated16.tif"
"$im" "$base" -define tiff:alpha=unassociated -compress None "$pictures/unassociated.tif"
"$im" "$opaque" -colors 16 -type Palette -compress None "$pictures/palette.tif"
"$im" "$opaque" -colorspace Gray -compress LZW "$pictures/grey.tif"
"$im" "$opaque" -colorspace Gray -depth 16 -compress None "$pictures/grey16.tif"
"$im" "$opaque" -monochrome -compress None "$pictures/bilevel.tif"
"$im" "$opaque" -colorspace CMYK -compress None "$pictures/cmyk.tif"
"$im" "$opaque" -colorspace Lab -compress None "$pictures/lab.tif"
"$im" "$large" -compress LZW "$pictures/large.tif"
for orientation in 2 3 4 5 6 7 8; do
    cp "$work/rgb.tif" "$pictures/orientation$orientation.tif"
    tiffset -s 274 "$orientation" "$pictures/orientation$orientation.tif"
done
"$im" "$base" "$work/f1.ppm" -compress LZW "$animations/pages.tif"

# ICO, BMP (every depth, RLE, bit fields, OS/2, top-down), TGA (every type, origin, footer or
# none), PNG with eXIf, JPEG with EXIF orientation and stray bytes, GIF without a colour table,
# APNG, and frame text: byte by byte.
python3 - "$work" "$pictures" "$animations" "$texts" <<'PY'
import struct, sys, zlib
work, pictures, animations, texts = sys.argv[1:5]

def read_pam(path):
    data = open(path, "rb").read()
    head, pixels = data.split(b"ENDHDR\n", 1)
    fields = dict(line.split(" ", 1) for line in head.decode().splitlines()[1:])
    w, h = int(fields["WIDTH"]), int(fields["HEIGHT"])
    return w, h, [[tuple(pixels[(y * w + x) * 4:(y * w + x) * 4 + 4]) for x in range(w)]
                  for y in range(h)]

W, H, RGBA = read_pam(f"{work}/base.pam")
def write(folder, name, data):
    open(f"{folder}/{name}", "wb").write(data)

# A palette of 16 colours and each pixel's nearest index, for the indexed formats.
PALETTE = [(r * 85, g * 85, (r + g) * 40) for r in range(4) for g in range(4)]
def index(p, count=16):
    return min(range(count), key=lambda i: sum((a - b) ** 2 for a, b in zip(p[:3], PALETTE[i])))
INDEXED = [[index(p) for p in row] for row in RGBA]

# --- BMP ---
def bmp_rows(bpp, rows, top_down=False):
    out = b""
    order = rows if top_down else rows[::-1]
    for row in order:
        if bpp in (1, 2, 4, 8):
            bits = "".join(format(v, f"0{bpp}b") for v in row)
            bits += "0" * (-len(bits) % 8)
            line = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
        else:
            line = b"".join(row)
        out += line + b"\0" * (-len(line) % 4)
    return out

def bmp(bpp, pixels, compression=0, palette=None, top_down=False, header=40, masks=None,
        raw=None):
    w, h = len(pixels[0]) if pixels else W, len(pixels) if pixels else H
    data = raw if raw is not None else bmp_rows(bpp, pixels, top_down)
    pal = b""
    if palette is not None:
        entry = 3 if header == 12 else 4
        if header == 12: # OS/2 1.x: always the full 2^bpp entries of three bytes
            palette = palette + [(0, 0, 0)] * ((1 << bpp) - len(palette))
        pal = b"".join(bytes([b, g, r] + ([0] if entry == 4 else [])) for r, g, b in palette)
    if header == 12:
        info = struct.pack("<IHHHH", 12, w, h, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bpp,
                           compression, len(data), 2835, 2835,
                           len(palette) if palette else 0, 0)
        if masks and header > 40:
            info += struct.pack("<4I", *masks)
        info += b"\0" * (header - len(info))
        if compression == 3 and header == 40:
            info += struct.pack("<3I", *masks[:3])
    offset = 14 + len(info) + len(pal)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + pal + data

def rle8(rows, absolute_from=None):
    out = b""
    for row in rows[::-1]:
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and row[x + run] == row[x] and run < 255:
                run += 1
            if run == 1 and x + 3 <= len(row):
                # An absolute run of three: escape 0, count, values, padded to a word.
                out += bytes([0, 3] + row[x:x + 3] + [0])
                x += 3
                continue
            out += bytes([run, row[x]])
            x += run
        out += b"\0\0"
    return out + b"\0\1"

def rle4(rows):
    out = b""
    for row in rows[::-1]:
        x = 0
        while x < len(row):
            if x + 4 <= len(row) and len(set(row[x:x + 4])) > 1:
                v = row[x:x + 4]
                out += bytes([0, 4, v[0] << 4 | v[1], v[2] << 4 | v[3]])
                x += 4
                continue
            run = min(len(row) - x, 6)
            out += bytes([run, row[x] << 4 | row[min(x + 1, len(row) - 1)]])
            x += run
        out += b"\0\0"
    # A delta that skips to the end, then the end of the picture.
    return out + b"\0\2\0\0" + b"\0\1"

bgr = [[bytes([b, g, r]) for r, g, b, a in row] for row in RGBA]
bgra = [[bytes([b, g, r, a]) for r, g, b, a in row] for row in RGBA]
rgb565 = [[struct.pack("<H", (r >> 3) << 11 | (g >> 2) << 5 | b >> 3) for r, g, b, a in row]
          for row in RGBA]
rgb555 = [[struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3) for r, g, b, a in row]
          for row in RGBA]
mono = [[1 if sum(p[:3]) > 380 else 0 for p in row] for row in RGBA]
four = [[v & 3 for v in row] for row in INDEXED]

write(pictures, "1bit.bmp", bmp(1, mono, palette=[(0, 0, 0), (255, 255, 255)]))
write(pictures, "2bit.bmp", bmp(2, four, palette=PALETTE[:4]))
write(pictures, "4bit.bmp", bmp(4, INDEXED, palette=PALETTE))
write(pictures, "8bit.bmp", bmp(8, INDEXED, palette=PALETTE))
write(pictures, "16bit-555.bmp", bmp(16, rgb555))
write(pictures, "16bit-565-bitfields.bmp",
      bmp(16, rgb565, compression=3, masks=(0xF800, 0x07E0, 0x001F)))
write(pictures, "24bit.bmp", bmp(24, bgr))
write(pictures, "24bit-top-down.bmp", bmp(24, bgr, top_down=True))
write(pictures, "32bit.bmp", bmp(32, bgra))
write(pictures, "32bit-v4-alpha.bmp",
      bmp(32, bgra, compression=3, header=108,
          masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)))
write(pictures, "32bit-v5-alpha.bmp",
      bmp(32, bgra, compression=3, header=124,
          masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)))
write(pictures, "8bit-top-down.bmp", bmp(8, INDEXED, palette=PALETTE, top_down=True))
write(pictures, "rle8.bmp", bmp(8, INDEXED, compression=1, palette=PALETTE, raw=rle8(INDEXED)))
write(pictures, "rle4.bmp", bmp(4, INDEXED, compression=2, palette=PALETTE, raw=rle4(INDEXED)))
write(pictures, "os2-8bit.bmp", bmp(8, INDEXED, palette=PALETTE, header=12))
write(pictures, "os2-24bit.bmp", bmp(24, bgr, header=12))

# --- TGA ---
def tga_rle(pixels, size):
    out, i = b"", 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and pixels[i + run] == pixels[i] and run < 128:
            run += 1
        if run > 1:
            out += bytes([0x80 | (run - 1)]) + pixels[i]
            i += run
            continue
        raw = 1
        while (i + raw < len(pixels) and raw < 128 and
               (i + raw + 1 >= len(pixels) or pixels[i + raw] != pixels[i + raw + 1])):
            raw += 1
        out += bytes([raw - 1]) + b"".join(pixels[i:i + raw])
        i += raw
    return out

def tga(kind, bpp, origin, footer, palette=None, ident=b""):
    rows = {0: RGBA[::-1], 1: [r[::-1] for r in RGBA[::-1]], 2: RGBA, 3: [r[::-1] for r in RGBA]}[origin]
    flat = [p for row in rows for p in row]
    base = kind & 7
    if base == 1:
        pixels = [bytes([index(p)]) for p in flat]
    elif base == 3:
        pixels = [bytes([(p[0] * 3 + p[1] * 6 + p[2]) // 10]) for p in flat]
    elif bpp == 16:
        pixels = [struct.pack("<H", (0x8000 if p[3] > 127 else 0) | (p[0] >> 3) << 10 |
                              (p[1] >> 3) << 5 | p[2] >> 3) for p in flat]
    elif bpp == 24:
        pixels = [bytes([p[2], p[1], p[0]]) for p in flat]
    else:
        pixels = [bytes([p[2], p[1], p[0], p[3]]) for p in flat]
    data = tga_rle(pixels, bpp) if kind & 8 else b"".join(pixels)
    cmap = b""
    colour_map = (0, 0, 0)
    if palette:
        cmap = b"".join(bytes([b, g, r]) for r, g, b in palette)
        colour_map = (0, len(palette), 24)
    alpha_bits = 8 if bpp == 32 else (1 if bpp == 16 else 0)
    head = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if palette else 0, kind, *colour_map, 0, 0,
                       W, H, bpp, alpha_bits | origin << 4)
    body = head + ident + cmap + data
    if footer:
        body += struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"
    return body

origins = {0: "bottom-left", 1: "bottom-right", 2: "top-left", 3: "top-right"}
for footer in (False, True):
    tail = "-footer" if footer else ""
    write(pictures, f"type1-palette{tail}.tga", tga(1, 8, 0, footer, PALETTE, b"ravik"))
    write(pictures, f"type9-palette-rle{tail}.tga", tga(9, 8, 2, footer, PALETTE))
    write(pictures, f"type3-grey{tail}.tga", tga(3, 8, 0, footer))
    write(pictures, f"type11-grey-rle{tail}.tga", tga(11, 8, 2, footer))
    write(pictures, f"type2-16bit{tail}.tga", tga(2, 16, 0, footer))
    write(pictures, f"type10-24bit-rle{tail}.tga", tga(10, 24, 0, footer))
    write(pictures, f"type10-32bit-rle{tail}.tga", tga(10, 32, 2, footer))
    for origin, name in origins.items():
        write(pictures, f"type2-32bit-{name}{tail}.tga", tga(2, 32, origin, footer))
    write(pictures, f"type2-24bit{tail}.tga", tga(2, 24, 3, footer))

# --- ICO: a BMP inside (32-bit with its AND mask, 8-bit and 4-bit with palettes), a PNG inside,
# and several images of different sizes ---
def ico_bmp(bpp, pixels, palette=None):
    w, h = len(pixels[0]), len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, 0, 0, 0,
                         len(palette) if palette else 0, 0)
    pal = b"".join(bytes([b, g, r, 0]) for r, g, b in palette) if palette else b""
    mask = bmp_rows(1, [[1 if p[3] < 128 else 0 for p in row] for row in RGBA])
    return header + pal + bmp_rows(bpp, pixels) + mask

def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, bpp, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bpp, len(data), offset)
        offset += len(data)
    return out + b"".join(d for *_, d in images)

png_inside = open(f"{work}/base.png", "rb").read()
write(pictures, "bmp32.ico", ico([(W, H, 32, ico_bmp(32, bgra))]))
write(pictures, "bmp8.ico", ico([(W, H, 8, ico_bmp(8, INDEXED, PALETTE))]))
write(pictures, "bmp4.ico", ico([(W, H, 4, ico_bmp(4, INDEXED, PALETTE))]))
write(pictures, "png.ico", ico([(W, H, 32, png_inside)]))
write(pictures, "several.ico",
      ico([(W, H, 4, ico_bmp(4, INDEXED, PALETTE)), (W, H, 32, png_inside),
           (W, H, 32, ico_bmp(32, bgra))]))

# --- PNG chunks: eXIf with an orientation, and APNG ---
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def chunks(png):
    pos, out = 8, []
    while pos < len(png):
        n = struct.unpack(">I", png[pos:pos + 4])[0]
        out.append((png[pos + 4:pos + 8], png[pos + 8:pos + 8 + n]))
        pos += 12 + n
    return out

def tiff_exif(orientation, big_endian):
    if big_endian:
        return b"MM\0\x2a" + struct.pack(">IHHHIHHI", 8, 1, 274, 3, 1, orientation, 0, 0)
    return b"II\x2a\0" + struct.pack("<IHHHIHHI", 8, 1, 274, 3, 1, orientation, 0, 0)

for orientation, big in ((6, True), (3, False), (8, False), (5, True)):
    parts = chunks(png_inside)
    out = b"\x89PNG\r\n\x1a\n" + chunk(*parts[0]) + chunk(b"eXIf", tiff_exif(orientation, big))
    out += b"".join(chunk(k, d) for k, d in parts[1:])
    write(pictures, f"exif-orientation{orientation}.png", out)

def apng(frames, blend_over=True, dispose=1):
    w, h = len(frames[0][0]), len(frames[0])
    def raw(rows):
        return zlib.compress(b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    out += chunk(b"acTL", struct.pack(">II", len(frames), 0))
    seq = 0
    for i, rows in enumerate(frames):
        fw, fh = len(rows[0]), len(rows)
        out += chunk(b"fcTL", struct.pack(">IIIIIHHBB", seq, fw, fh, i, i, 1, 10,
                                          dispose if i else 0, 1 if blend_over and i else 0))
        seq += 1
        if i == 0:
            out += chunk(b"IDAT", raw(rows))
        else:
            out += chunk(b"fdAT", struct.pack(">I", seq) + raw(rows))
            seq += 1
    return out + chunk(b"IEND", b"")

small = [[(255, 0, 0, 128)] * 4 for _ in range(3)]
write(animations, "apng-blend.png", apng([RGBA, small, small]))
write(animations, "apng-dispose-previous.png", apng([RGBA, small], dispose=2))
write(pictures, "apng.png", apng([RGBA, small], blend_over=False))

# --- JPEG: EXIF orientations, stray bytes before a marker ---
jpeg = open(f"{pictures}/baseline.jpg", "rb").read()
for orientation, big in ((6, False), (3, True), (8, True), (2, False)):
    exif = b"Exif\0\0" + tiff_exif(orientation, big)
    app1 = b"\xff\xe1" + struct.pack(">H", len(exif) + 2) + exif
    write(pictures, f"exif-orientation{orientation}.jpg", jpeg[:2] + app1 + jpeg[2:])
app0_end = 4 + struct.unpack(">H", jpeg[4:6])[0]
write(pictures, "stray-bytes.jpg", jpeg[:app0_end] + b"\0\0junk" + jpeg[app0_end:])

# --- GIF without any colour table (a viewer's default palette applies) ---
gif = open(f"{pictures}/plain.gif", "rb").read()
flags = gif[10]
table = 3 << ((flags & 7) + 1) if flags & 0x80 else 0
write(pictures, "no-colour-table.gif", gif[:10] + bytes([flags & 0x70]) + gif[11:13] +
      gif[13 + table:])

# --- Frame text: .bin and C text, one frame and frame sets, as this program and as people
# write it ---
SIZE, PER_LINE = 9849, 16
frame_a = bytes((i * 7) & 255 for i in range(SIZE))
frame_b = bytes((255 - i) & 255 for i in range(SIZE))
def c_values(frame, style):
    forms = {"hex": lambda v: f"0x{v:02X}", "dec": str, "oct": lambda v: f"0{v:o}" if v else "0"}
    values = [forms[style](v) for v in frame]
    return ",\n".join(", ".join(values[i:i + PER_LINE]) for i in range(0, len(values), PER_LINE))
write(texts, "one-frame.bin", frame_a)
write(texts, "two-frames.bin", frame_a + frame_b)
write(texts, "short.bin", frame_a[:100])
write(texts, "header-hex.h",
      ("/* frame */\n#define FRAME_SIZE 9849\nstatic const uint8_t frame[FRAME_SIZE] = {\n" +
       c_values(frame_a, "hex") + "\n};\n").encode())
write(texts, "bare-decimal.txt", (c_values(bytes(v & 15 for v in frame_a), "dec") + "\n").encode())
write(texts, "octal-comments.c",
      ("// octal\nconst unsigned char f[] = { /* start */\n" +
       c_values(bytes(v & 7 for v in frame_b), "oct") + " };\n").encode())
write(texts, "frame-set-delays.h",
      ("#define SET_FRAMES 2\nstatic const uint8_t SET[SET_FRAMES][SET_SIZE] = {\n{" +
       c_values(bytes(SIZE), "dec") + "},\n{" + c_values(bytes([1]) * SIZE, "dec") +
       "},\n};\nstatic const uint16_t SET_DELAYS_MS[SET_FRAMES] = { 100, 40, };\n").encode())
write(texts, "frame-set-one-braced.c",
      ("uint8_t s[1][9849] = {{" + c_values(bytes(SIZE), "dec") + "}};").encode())
write(texts, "two-frames-flat.txt", (c_values(bytes(2 * SIZE), "dec")).encode())
write(texts, "too-few.c", b"const uint8_t f[] = { 0x01, 0x02, 0x03 };\n")
write(texts, "not-c.txt", "这不是帧数据\n".encode())
PY

# Each target's seeds, with the selector byte in front where the target takes one.
rm -rf "${corpus:?}"/{picture_corner,picture_fit,picture_hint,frame_text,frame_set}
mkdir -p "$corpus"/{picture_corner,picture_fit,picture_hint,frame_text,frame_set}
cp "$pictures"/* "$corpus/picture_corner/"
prefixed() { # BYTE SOURCE TARGET
    { printf "\\$(printf '%03o' "$1")"; cat "$2"; } >"$3"
}
hints=(png jpg gif bmp tga tif webp ico)
hint_of() {
    local suffix=$1 i
    for i in "${!hints[@]}"; do [[ ${hints[$i]} == "$suffix" ]] && echo "$i" && return; done
    echo 0
}
i=0
for file in "$pictures"/*; do
    name=${file##*/}
    suffix=${name##*.}
    prefixed $(((i * 37) % 256)) "$file" "$corpus/picture_fit/$name"
    prefixed $((($(hint_of "$suffix")) | ((i % 16) << 4))) "$file" "$corpus/picture_hint/$name"
    i=$((i + 1))
done
# A few with a wrong suffix: the content has to decide.
prefixed 4 "$pictures/baseline.jpg" "$corpus/picture_hint/baseline-as-tga.jpg"
prefixed 0 "$pictures/24bit.bmp" "$corpus/picture_hint/24bit-as-png.bmp"
prefixed 7 "$pictures/lossy.webp" "$corpus/picture_hint/lossy-as-ico.webp"
for file in "$texts"/*; do
    name=${file##*/}
    [[ $name == *.bin ]] && byte=0 || byte=1
    prefixed "$byte" "$file" "$corpus/frame_text/$name"
done
suffixes=(gif webp png tif)
i=0
for file in "$animations"/*; do
    name=${file##*/}
    suffix=${name##*.}
    for s in "${!suffixes[@]}"; do [[ ${suffixes[$s]} == "$suffix" ]] && break; done
    prefixed $((s | ((i % 16) << 2))) "$file" "$corpus/frame_set/$name"
    i=$((i + 1))
done
for target in picture_corner picture_fit picture_hint frame_text frame_set; do
    printf '%-15s %3d seeds, %6d bytes\n' "$target" "$(ls "$corpus/$target" | wc -l)" \
        "$(cat "$corpus/$target"/* | wc -c)"
done
