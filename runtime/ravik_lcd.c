/* Ravik LCD firmware runtime: see ravik_lcd.h for the packing and what each function does. */
#include "ravik_lcd.h"

#include <string.h> /* NULL, size_t */

/* Sizes for an 8-bit processor: positions in a frame row fit 16 bits, and every product of a
 * picture's sides is taken in 32, so nothing overflows a 16-bit int. A picture may hold up to 2^32
 * nibbles. The function that copies calls no other (not even memcpy, for runs of at most 147
 * bytes), so that an 8051 compiler can lay its variables over others' in its small RAM. */

/* ---- Nibble streams ------------------------------------------------------------------------ */

/* Copies pixels `from` to `to` - 1 (to > from) of a row of pixels, from a picture stream whose
 * pixel 0 starts in `source` (in its low nibble when source_odd, else in its high one) to a frame
 * stream whose pixel 0 starts in `target` (likewise), leaving the frame's other nibbles as they
 * are. Where both streams are on the same half of a byte the middle is copied byte for byte;
 * otherwise each frame byte is two neighbouring picture nibbles shifted together. */
static void copy_pixels(uint8_t* target, uint8_t target_odd, const uint8_t* source,
                        uint8_t source_odd, uint8_t from, uint8_t to) {
    /* Three nibbles a pixel, as shift and add: an 8-bit processor would call a routine to
     * multiply, and a function that calls nothing keeps its variables in shared RAM on an 8051. */
    uint16_t skipped = (uint16_t)(((uint16_t)from << 1) + from);
    uint16_t count = (uint16_t)((((uint16_t)to << 1) + to) - skipped);
    uint16_t bytes;
    bytes = (uint16_t)(target_odd + skipped);
    target += bytes >> 1;
    target_odd = (uint8_t)(bytes & 1u);
    bytes = (uint16_t)(source_odd + skipped);
    source += bytes >> 1;
    source_odd = (uint8_t)(bytes & 1u);
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
    /* The frame stream is now at a byte's start. */
    bytes = (uint16_t)(count >> 1);
    if (!source_odd) {
        while (bytes != 0) {
            *target++ = *source++;
            --bytes;
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (*source & 0xF0u));
        }
    } else {
        while (bytes != 0) {
            *target++ = (uint8_t)((uint8_t)(source[0] << 4) | (source[1] >> 4));
            ++source;
            --bytes;
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (uint8_t)(*source << 4));
        }
    }
}

/* ---- The frame ------------------------------------------------------------------------------ */

/* Whether (x, y) lies in the frame, and the byte in which such a pixel starts. Macros rather than
 * functions so that get and set call nothing: an 8051 compiler can then share their locals. */
#define IN_FRAME(x, y) ((x) >= 0 && (x) < RAVIK_LCD_WIDTH && (y) >= 0 && (y) < RAVIK_LCD_HEIGHT)
#define PIXEL_OFFSET(x, y) ((uint16_t)((uint16_t)(y)*RAVIK_LCD_ROW_SIZE + ((uint16_t)(x)*3u >> 1)))

uint16_t ravik_lcd_get_pixel(const uint8_t* frame, int x, int y) {
    const uint8_t* p;
    if (frame == NULL || !IN_FRAME(x, y)) {
        return 0;
    }
    p = frame + PIXEL_OFFSET(x, y);
    if (x & 1) {
        /* ... R | G B */
        return (uint16_t)((uint16_t)(p[0] & 0x0Fu) << 8 | p[1]);
    }
    /* R G | B ... */
    return (uint16_t)((uint16_t)p[0] << 4 | p[1] >> 4);
}

void ravik_lcd_set_pixel(uint8_t* frame, int x, int y, uint16_t rgb) {
    uint8_t* p;
    if (frame == NULL || !IN_FRAME(x, y)) {
        return;
    }
    p = frame + PIXEL_OFFSET(x, y);
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
 * size - 1: where the visible part starts in the frame (*first), how many pixels it has (*count)
 * and how many of the picture's pixels lie before it (*skipped). 0 when nothing is inside. No sum
 * is taken that could overflow an int. */
static uint8_t clip_side(int start, int length, uint8_t size, uint8_t* first, uint8_t* count,
                         uint32_t* skipped) {
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
    *count = (uint8_t)inside;
    *skipped = before;
    return 1;
}

/* A picture is walked as a pointer to the byte where the visible part of the current row starts,
 * and which half of it that is; a frame row is 147 bytes, so in the frame the half never changes.
 * Pointers move on to a row only when it is drawn, so none points past its buffer. */
void ravik_lcd_draw(uint8_t* frame, int x, int y, const uint8_t* pixels, int width, int height,
                    const uint8_t* mask) {
    uint8_t left, top, columns, rows, frame_odd, source_odd, row_odd, first_bit = 0;
    size_t row_bytes, mask_row_bytes = 0;
    uint32_t column, first_row, nibble;
    if (frame == NULL || pixels == NULL || width <= 0 || height <= 0 ||
        !clip_side(x, width, RAVIK_LCD_WIDTH, &left, &columns, &column) ||
        !clip_side(y, height, RAVIK_LCD_HEIGHT, &top, &rows, &first_row)) {
        return;
    }
    frame += PIXEL_OFFSET(left, top);
    frame_odd = (uint8_t)(left & 1u);
    /* The first visible pixel is nibble 3 * (width * first_row + column) of the picture. */
    nibble = 3u * ((uint32_t)width * first_row + column);
    pixels += nibble >> 1;
    source_odd = (uint8_t)(nibble & 1u);
    /* A picture row is 3 * width nibbles: row_bytes whole bytes and a half when width is odd. */
    row_bytes = (size_t)(3u * (uint32_t)width >> 1);
    row_odd = (uint8_t)(width & 1);
    if (mask != NULL) {
        mask_row_bytes = (size_t)(((uint32_t)width + 7u) >> 3);
        mask += (size_t)((uint32_t)mask_row_bytes * first_row + (column >> 3));
        first_bit = (uint8_t)(0x80u >> (column & 7u));
    }
    for (;;) {
        if (mask == NULL) {
            copy_pixels(frame, frame_odd, pixels, source_odd, 0, columns);
        } else {
            /* Runs of set bits, each copied at once; whole clear bytes passed over at once. */
            const uint8_t* bits = mask;
            uint8_t bit = first_bit;
            uint8_t at = 0;
            while (at < columns) {
                uint8_t start;
                while (at < columns && !(*bits & bit)) {
                    if (bit == 0x80u && *bits == 0) {
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
                    copy_pixels(frame, frame_odd, pixels, source_odd, start, at);
                }
            }
        }
        if (--rows == 0) {
            return;
        }
        frame += RAVIK_LCD_ROW_SIZE;
        pixels += row_bytes;
        if (row_odd) {
            pixels += source_odd;
            source_odd = (uint8_t)!source_odd;
        }
        if (mask != NULL) {
            mask += mask_row_bytes;
        }
    }
}
