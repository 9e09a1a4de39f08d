#!/usr/bin/env python3
"""Prints RAVIK_LCD_LEVEL_ODDS for runtime/ravik_lcd.h: the odds and level orders of compressed
2-bit glyphs, counted over ASCII + GB2312 level 1 at 12, 16 and 24 px.

Usage: tools/make-level-odds.py RAVIK_LCD [FONT]. Makes each set packed with `ravik-lcd font
--alpha --bpp 2 --compress none`, reads the levels back from the header, and counts, in each
context (the levels above, to the left and above-left), how often each level follows. A context's
order lists its levels from the most to the least seen; its three odds are those of "the first",
of "the second" when not the first, and of "the third" when neither, in 256ths, as the coder uses
them. The table is part of the stored form: glyphs coded with one table decode only with it.
"""
import collections
import re
import subprocess
import sys
import tempfile


def read_levels(path):
    """Each glyph of a packed 2-bit header as (width, height, levels)."""
    text = open(path, encoding="utf-8").read()
    arrays = {}
    for m in re.finditer(r"static const uint8_t (\w+)\[\d*\] = \{(.*?)\};", text, re.S):
        body = m.group(2)
        if "RAVIK_LCD_METRICS(" in body:
            values = []
            for entry in re.findall(r"RAVIK_LCD_METRICS\(([^)]*)\)", body):
                values += [int(x) & 255 for x in entry.split(",")]
            arrays[m.group(1)] = bytes(values)
        else:
            arrays[m.group(1)] = bytes(int(x, 16) for x in re.findall(r"0x[0-9A-Fa-f]+", body))
    fields = [x.strip() for x in re.search(
        r"static const ravik_lcd_font \w+ = \{(.*?)\};", text, re.S).group(1).split(",")]
    records, metrics, offsets = arrays[fields[0]], arrays[fields[1]], arrays.get(fields[2])
    bitmaps = arrays[fields[4]]
    count, record_size, offset_bits, group_bits = (int(fields[i]) for i in (6, 8, 9, 10))
    glyphs = []
    for i in range(count):
        field = int.from_bytes(records[i * record_size + 2:(i + 1) * record_size], "little")
        offset = field & ((1 << offset_bits) - 1)
        entry = field >> offset_bits
        if offsets:
            group = i >> group_bits
            offset += int.from_bytes(offsets[3 * group:3 * group + 3], "little")
        width, height = metrics[6 * entry], metrics[6 * entry + 1]
        levels = [bitmaps[offset + k // 4] >> (6 - 2 * (k % 4)) & 3 for k in range(width * height)]
        glyphs.append((width, height, levels))
    return glyphs


def odds(zeros, ones):
    return min(255, max(1, round(256 * zeros / (zeros + ones)))) if zeros + ones else 128


def main():
    program = sys.argv[1]
    font = sys.argv[2:3]
    seen = collections.defaultdict(lambda: [0] * 4)
    rows = [0, 0]
    with tempfile.TemporaryDirectory() as work:
        for size in (12, 16, 24):
            header = f"{work}/glyphs{size}.h"
            subprocess.run([program, "font", *font, "--alpha", "--size", str(size), "--bpp", "2",
                            "--compress", "none", "--chars", "ascii", "--chars", "gb2312-1",
                            "--name", "glyphs", "--header", header], check=True)
            for width, height, levels in read_levels(header):
                above = [0] * width
                for y in range(height):
                    row = levels[y * width:(y + 1) * width]
                    rows[row == above] += 1
                    if row != above:
                        for x in range(width):
                            left = row[x - 1] if x else 0
                            above_left = above[x - 1] if x else 0
                            seen[above[x] + 4 * left + 16 * above_left][row[x]] += 1
                        above = row
    table = []
    for context in range(64):
        counts = seen[context]
        # Most seen first; ties (and unseen contexts) by level.
        order = sorted(range(4), key=lambda level: -counts[level])
        left = sum(counts)
        for level in order[:3]:
            table.append(odds(counts[level], left - counts[level]))
            left -= counts[level]
        table.append(order[0] << 6 | order[1] << 4 | order[2] << 2 | order[3])
    table.append(odds(rows[0], rows[1]))
    print(", ".join(str(v) for v in table))


main()
