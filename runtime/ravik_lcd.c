/* Ravik LCD firmware runtime: see ravik_lcd.h for the packing and what each function does. */
#include "ravik_lcd.h"

#include <string.h>

/* Positions are counted in nibbles: a frame's fit in 16 bits (98 * 67 * 3 = 19698), a picture's
 * need 32 (1024 * 1024 * 3 is past 65535), and every product of a side with a side is taken in
 * 32 bits so that nothing overflows a 16-bit int. A picture may thus hold up to 2^32 nibbles. */
#define RAVIK_LCD_ROW_NIBBLES (2u * RAVIK_LCD_ROW_SIZE)

/* ---- Nibble streams ------------------------------------------------------------------------ */

/* Copies `count` (at least 1) nibbles of a stream starting in `source` (in its low nibble when
 * source_odd, else its high one) to a stream starting in `target` (likewise), leaving the target
 * nibbles around them as they are. Where both start on the same half of a byte the middle is one
 * memcpy; otherwise each target byte is two neighbouring source nibbles shifted together. */
static void copy_nibbles(uint8_t *target, uint8_t target_odd, const uint8_t *source,
                         uint8_t source_odd, uint16_t count) {
    uint16_t bytes;
    if (target_odd) {
        uint8_t nibble;
        if (source_odd) {
            nibble = (uint8_t)(*source & 0x0Fu);
            ++source;
        } else {
            nibble = (uint8_t)(*source >> 4);
        }
        *target = (uint8_t)((*target & 0xF0u) | nibble);
        ++target;
        source_odd = (uint8_t)!source_odd;
        --count;
    }
    bytes = (uint16_t)(count >> 1);
    if (!source_odd) {
        memcpy(target, source, bytes);
        target += bytes;
        source += bytes;
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (*source & 0xF0u));
        }
    } else {
        while (bytes != 0) {
            *target = (uint8_t)((uint8_t)(source[0] << 4) | (source[1] >> 4));
            ++target;
            ++source;
            --bytes;
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (uint8_t)(*source << 4));
        }
    }
}

/* ---- The frame ------------------------------------------------------------------------------ */

/* The byte in which frame pixel (x, y), known to lie in the frame, starts. */
static uint16_t pixel_offset(int x, int y) {
    return (uint16_t)((uint16_t)y * RAVIK_LCD_ROW_SIZE + ((uint16_t)x * 3u >> 1));
}

static uint8_t in_frame(int x, int y) {
    return (uint8_t)(x >= 0 && x < RAVIK_LCD_WIDTH && y >= 0 && y < RAVIK_LCD_HEIGHT);
}

uint16_t ravik_lcd_get_pixel(const uint8_t *frame, int x, int y) {
    const uint8_t *p;
    if (frame == NULL || !in_frame(x, y)) {
        return 0;
    }
    p = frame + pixel_offset(x, y);
    if (x & 1) {
        /* ... R | G B */
        return (uint16_t)((uint16_t)(p[0] & 0x0Fu) << 8 | p[1]);
    }
    /* R G | B ... */
    return (uint16_t)((uint16_t)p[0] << 4 | p[1] >> 4);
}

void ravik_lcd_set_pixel(uint8_t *frame, int x, int y, uint16_t rgb) {
    uint8_t *p;
    if (frame == NULL || !in_frame(x, y)) {
        return;
    }
    p = frame + pixel_offset(x, y);
    if (x & 1) {
        p[0] = (uint8_t)((p[0] & 0xF0u) | (rgb >> 8 & 0x0Fu));
        p[1] = (uint8_t)rgb;
    } else {
        p[0] = (uint8_t)(rgb >> 4);
        p[1] = (uint8_t)((p[1] & 0x0Fu) | (uint8_t)(rgb << 4));
    }
}

/* ---- Pictures ------------------------------------------------------------------------------- */

/* Clips one side of a picture, `length` (at least 1) pixels from `start`, to the frame's 0 to
 * size - 1: the frame's part [*first, *last) and how many of the picture's pixels lie before it.
 * 0 when nothing is inside. No sum is taken that could overflow an int. */
static uint8_t clip_side(int start, int length, uint8_t size, uint8_t *first, uint8_t *last,
                         uint32_t *skipped) {
    uint32_t before = 0;
    uint32_t inside = (uint32_t)length;
    if (start >= (int)size) {
        return 0;
    }
    if (start < 0) {
        before = (uint32_t)0 - (uint32_t)start;
        if (inside <= before) {
            return 0;
        }
        inside -= before;
        start = 0;
    }
    if (inside > (uint32_t)(size - start)) {
        inside = (uint32_t)(size - start);
    }
    *first = (uint8_t)start;
    *last = (uint8_t)((uint8_t)start + (uint8_t)inside);
    *skipped = before;
    return 1;
}

/* Copies the runs of set bits among `columns` mask bits, starting at bit `bit` (0x80 = the top)
 * of `bits`, as runs of pixels from the picture stream at nibble `source` to the frame stream at
 * nibble `target`. */
static void draw_masked_row(uint8_t *frame, uint16_t target, const uint8_t *pixels,
                            uint32_t source, const uint8_t *bits, uint8_t bit, uint8_t columns) {
    uint8_t at = 0;
    while (at < columns) {
        uint8_t start;
        while (at < columns && !(*bits & bit)) {
            /* A whole byte of clear bits is passed over at once. */
            if (bit == 0x80u && *bits == 0 && columns - at >= 8) {
                at = (uint8_t)(at + 8);
                ++bits;
                continue;
            }
            ++at;
            bit >>= 1;
            if (bit == 0) {
                bit = 0x80u;
                ++bits;
            }
        }
        start = at;
        while (at < columns && (*bits & bit)) {
            ++at;
            bit >>= 1;
            if (bit == 0) {
                bit = 0x80u;
                ++bits;
            }
        }
        if (at > start) {
            uint16_t offset = (uint16_t)(3u * start);
            uint16_t t = (uint16_t)(target + offset);
            uint32_t s = source + offset;
            copy_nibbles(frame + (t >> 1), (uint8_t)(t & 1u), pixels + (s >> 1),
                         (uint8_t)(s & 1u), (uint16_t)(3u * (uint16_t)(at - start)));
        }
    }
}

void ravik_lcd_draw(uint8_t *frame, int x, int y, const uint8_t *pixels, int width, int height,
                    const uint8_t *mask) {
    uint8_t left, right, top, bottom, row, columns, first_bit = 0;
    uint16_t target;
    uint32_t column, first_row, source, source_stride, mask_stride = 0, mask_column = 0;
    if (frame == NULL || pixels == NULL || width <= 0 || height <= 0 ||
        !clip_side(x, width, RAVIK_LCD_WIDTH, &left, &right, &column) ||
        !clip_side(y, height, RAVIK_LCD_HEIGHT, &top, &bottom, &first_row)) {
        return;
    }
    columns = (uint8_t)(right - left);
    source_stride = 3u * (uint32_t)width;
    source = source_stride * first_row + 3u * column;
    target = (uint16_t)(top * RAVIK_LCD_ROW_NIBBLES + 3u * left);
    if (mask != NULL) {
        mask_stride = ((uint32_t)width + 7u) >> 3;
        mask += mask_stride * first_row;
        mask_column = column >> 3;
        first_bit = (uint8_t)(0x80u >> (column & 7u));
    }
    for (row = top; row < bottom; ++row) {
        if (mask == NULL) {
            copy_nibbles(frame + (target >> 1), (uint8_t)(target & 1u), pixels + (source >> 1),
                         (uint8_t)(source & 1u), (uint16_t)(3u * columns));
        } else {
            draw_masked_row(frame, target, pixels, source, mask + mask_column, first_bit, columns);
            mask += mask_stride;
        }
        source += source_stride;
        target = (uint16_t)(target + RAVIK_LCD_ROW_NIBBLES);
    }
}
