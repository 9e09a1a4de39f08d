/* Ravik LCD firmware runtime: see ravik_lcd.h for the packing and what each function does. */
#include "ravik_lcd.h"

#include <string.h> /* NULL, size_t */

/* sdcc on an 8051 keeps the temporaries of common subexpressions, loop invariants and induction
 * variables at fixed places in the 128 directly addressed bytes of internal RAM, whatever the
 * memory model; without those three steps the runtime needs 72 of them rather than 200, and the
 * stack, which shares them, keeps its room. */
#if defined(__SDCC_mcs51)
#pragma nogcse
#pragma noinvariant
#pragma noinduction
/* The few variables of the innermost loops, which call nothing, in directly addressed RAM that
 * such functions share; elsewhere, in the large model, every access would go through DPTR. */
#define NEAR __data
/* The row buffer of a glyph, in external RAM in every memory model, reached through a 2-byte
 * pointer rather than a generic one. */
#define ROW_RAM __xdata
#else
#define NEAR
#define ROW_RAM
#endif

/* Sizes for an 8-bit processor: positions in a frame row fit 16 bits, and every product of a
 * picture's sides is taken in 32, so nothing overflows a 16-bit int. A picture may hold up to 2^32
 * nibbles. The function that copies calls no other (not even memcpy, for runs of at most 147
 * bytes), so that an 8051 compiler can lay its variables over others' in its small RAM. */

/* ---- Data that may lie in flash -------------------------------------------------------------- */

/* Every byte of a picture, mask, font table, glyph bitmap or asset kept where the build keeps its
 * data is read through RAVIK_LCD_READ_BYTE (see ravik_lcd.h), so that on AVR such data can stay
 * in flash (PROGMEM) and a chip with other flash rules can bring its own reader. */
#ifndef RAVIK_LCD_READ_BYTE
#if defined(RAVIK_LCD_PROGMEM) && defined(__AVR__)
#include <avr/pgmspace.h>
#define RAVIK_LCD_READ_BYTE(p) pgm_read_byte(p)
#else
#define RAVIK_LCD_READ_BYTE(p) (*(const uint8_t*)(p))
/* Data and RAM are read alike: no code for telling them apart. */
#define PLAIN_READS
#endif
#endif
#define DATA_BYTE(p) ((uint8_t)RAVIK_LCD_READ_BYTE(p))
/* The runtime's own constant tables: in flash with PROGMEM when the runtime reads flash through
 * pgm_read_byte, else plain constant data read through a pointer. */
#if defined(RAVIK_LCD_PROGMEM) && defined(__AVR__) && !defined(PLAIN_READS)
#include <avr/pgmspace.h>
#define TABLE PROGMEM
#define TABLE_BYTE(p) ((uint8_t)pgm_read_byte(p))
#else
#define TABLE
#define TABLE_BYTE(p) (*(p))
#endif
/* A byte of a picture or mask that lies in RAM when `ram` is set, else where the data is kept. */
#ifdef PLAIN_READS
#define SOURCE_BYTE(p, ram) ((void)(ram), DATA_BYTE(p))
#else
#define SOURCE_BYTE(p, ram) ((ram) ? *(p) : DATA_BYTE(p))
#endif

/* ---- Nibble streams ------------------------------------------------------------------------ */

/* Copies pixels `from` to `to` - 1 (to > from) of a row of pixels, from a picture stream whose
 * pixel 0 starts in `source` (in its low nibble when source_odd, else in its high one; in RAM when
 * `ram`, else where the data is kept) to a frame stream whose pixel 0 starts in `target`
 * (likewise), leaving the frame's other nibbles as they are. Where both streams are on the same
 * half of a byte the middle is copied byte for byte; otherwise each frame byte is two neighbouring
 * picture nibbles shifted together. */
static void copy_pixels(uint8_t* target, uint8_t target_odd, const uint8_t* source,
                        uint8_t source_odd, uint8_t ram, uint8_t from, uint8_t to) {
    /* Three nibbles a pixel, as shift and add: an 8-bit processor would call a routine to
     * multiply, and a function that calls nothing keeps its variables in shared RAM on an 8051. */
    uint16_t skipped = (uint16_t)(((uint16_t)from << 1) + from);
    uint16_t count = (uint16_t)((((uint16_t)to << 1) + to) - skipped);
    uint16_t bytes;
    uint8_t carry;
    bytes = (uint16_t)(target_odd + skipped);
    target += bytes >> 1;
    target_odd = (uint8_t)(bytes & 1u);
    bytes = (uint16_t)(source_odd + skipped);
    source += bytes >> 1;
    source_odd = (uint8_t)(bytes & 1u);
    if (target_odd) {
        uint8_t nibble;
        if (source_odd) {
            nibble = (uint8_t)(SOURCE_BYTE(source, ram) & 0x0Fu);
            ++source;
        } else {
            nibble = (uint8_t)(SOURCE_BYTE(source, ram) >> 4);
        }
        *target = (uint8_t)((*target & 0xF0u) | nibble);
        ++target;
        source_odd = (uint8_t)!source_odd;
        --count;
    }
    /* The frame stream is now at a byte's start. */
    bytes = (uint16_t)(count >> 1);
    if (!source_odd) {
#ifndef PLAIN_READS
        if (ram) {
            for (; bytes != 0; --bytes) {
                *target++ = *source++;
            }
        } else
#endif
        {
            for (; bytes != 0; --bytes) {
                *target++ = DATA_BYTE(source);
                ++source;
            }
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (SOURCE_BYTE(source, ram) & 0xF0u));
        }
    } else if (count != 0) {
        /* Each source byte read once: its low nibble waits as the next frame byte's high one. */
        carry = (uint8_t)(SOURCE_BYTE(source, ram) << 4);
        for (; bytes != 0; --bytes) {
            uint8_t next;
            ++source;
            next = SOURCE_BYTE(source, ram);
            *target++ = (uint8_t)(carry | (next >> 4));
            carry = (uint8_t)(next << 4);
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | carry);
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
void ravik_lcd_draw_from(uint8_t* frame, int x, int y, const uint8_t* pixels, int width, int height,
                         const uint8_t* mask, uint8_t from) {
    const uint8_t pixels_ram = (uint8_t)(from & RAVIK_LCD_PIXELS_IN_RAM);
    const uint8_t mask_ram = (uint8_t)(from & RAVIK_LCD_MASK_IN_RAM);
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
            copy_pixels(frame, frame_odd, pixels, source_odd, pixels_ram, 0, columns);
        } else {
            /* Runs of set bits, each copied at once; whole clear bytes passed over at once.
             * The mask byte is read once, and the next only while the row goes on. */
            const uint8_t* bits = mask;
            uint8_t bit = first_bit, at = 0, start, m = SOURCE_BYTE(bits, mask_ram);
            while (at < columns) {
                while (at < columns && !(m & bit)) {
                    if (bit == 0x80u && m == 0) {
                        at = (uint8_t)(at + 8u);
                    } else {
                        ++at;
                        bit >>= 1;
                        if (bit != 0) {
                            continue;
                        }
                        bit = 0x80u;
                    }
                    ++bits;
                    if (at < columns) {
                        m = SOURCE_BYTE(bits, mask_ram);
                    }
                }
                start = at;
                while (at < columns && (m & bit)) {
                    ++at;
                    bit >>= 1;
                    if (bit == 0) {
                        bit = 0x80u;
                        ++bits;
                        if (at < columns) {
                            m = SOURCE_BYTE(bits, mask_ram);
                        }
                    }
                }
                if (at > start) {
                    copy_pixels(frame, frame_odd, pixels, source_odd, pixels_ram, start, at);
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

void ravik_lcd_draw(uint8_t* frame, int x, int y, const uint8_t* pixels, int width, int height,
                    const uint8_t* mask) {
    ravik_lcd_draw_from(frame, x, y, pixels, width, height, mask, 0);
}

#if RAVIK_LCD_HAS_TEXT

/* ---- Text ----------------------------------------------------------------------------------- */

/* Where the pen and the line's y stop, either way, so that the x it returns fits a 16-bit int
 * and no sum of a position and a glyph's offsets overflows. */
#define PEN_LIMIT 32767L
static int32_t clamp_position(int32_t v) {
    return v > PEN_LIMIT ? PEN_LIMIT : v < -PEN_LIMIT - 1 ? -PEN_LIMIT - 1 : v;
}

/* The code point of the UTF-8 sequence at *text (not at its NUL), moving *text past it. A
 * sequence cut short is passed up to the byte that breaks it (never past the NUL, which is no
 * continuation byte); it, and an overlong form, a surrogate or a value past U+10FFFF, give
 * U+FFFD. */
static uint32_t next_code_point(const uint8_t** text) {
    const uint8_t* p = *text;
    uint8_t length, i;
    uint32_t code, least;
    if (p[0] < 0x80u) {
        *text = p + 1;
        return p[0];
    }
    if ((p[0] & 0xE0u) == 0xC0u) {
        length = 2;
        code = p[0] & 0x1Fu;
        least = 0x80UL;
    } else if ((p[0] & 0xF0u) == 0xE0u) {
        length = 3;
        code = p[0] & 0x0Fu;
        least = 0x800UL;
    } else if ((p[0] & 0xF8u) == 0xF0u) {
        length = 4;
        code = p[0] & 0x07u;
        least = 0x10000UL;
    } else {
        *text = p + 1;
        return 0xFFFDUL;
    }
    for (i = 1; i < length; ++i) {
        if ((p[i] & 0xC0u) != 0x80u) {
            *text = p + i;
            return 0xFFFDUL;
        }
        code = code << 6 | (uint32_t)(p[i] & 0x3Fu);
    }
    *text = p + length;
    if (code < least || code > 0x10FFFFUL || (code >= 0xD800UL && code <= 0xDFFFUL)) {
        return 0xFFFDUL;
    }
    return code;
}

/* Blends colour nibble c over the frame's nibble o by coverage a: (c a + o (15 - a) + 7) / 15.
 * The sum v is at most 15 * 15 + 7, and for every v up to 247, v / 15 is (v + v / 16 + 1) / 16:
 * shifts and adds in a byte where an 8-bit processor would call a routine to divide (and a
 * function that calls nothing keeps its variables in shared RAM on an 8051). */
#define DIVIDE_BY_15(v) ((uint8_t)((uint8_t)((v) + ((v) >> 4) + 1u) >> 4))
#define BLEND(c, o, a)                                                                             \
    DIVIDE_BY_15((uint8_t)((uint8_t)((c) * (a)) + (uint8_t)((o) * (uint8_t)(15u - (a))) + 7u))

/* Writes coverage a (1 to 15) of colour rgb over the frame pixel starting in byte p (in its low
 * nibble when odd): full coverage is the colour itself. Uses the caller's r, g, b. A macro so that
 * the glyph drawers call nothing. */
#define PUT_PIXEL(p, odd, a)                                                                       \
    do {                                                                                           \
        if (odd) {                                                                                 \
            /* ... R | G B */                                                                      \
            r = (uint8_t)((p)[0] & 0x0Fu);                                                         \
            g = (uint8_t)((p)[1] >> 4);                                                            \
            b = (uint8_t)((p)[1] & 0x0Fu);                                                         \
        } else {                                                                                   \
            /* R G | B ... */                                                                      \
            r = (uint8_t)((p)[0] >> 4);                                                            \
            g = (uint8_t)((p)[0] & 0x0Fu);                                                         \
            b = (uint8_t)((p)[1] >> 4);                                                            \
        }                                                                                          \
        if ((a) == 15u) {                                                                          \
            r = (uint8_t)(rgb >> 8 & 0x0Fu);                                                       \
            g = (uint8_t)(rgb >> 4 & 0x0Fu);                                                       \
            b = (uint8_t)(rgb & 0x0Fu);                                                            \
        } else {                                                                                   \
            r = BLEND((uint8_t)(rgb >> 8 & 0x0Fu), r, (a));                                        \
            g = BLEND((uint8_t)(rgb >> 4 & 0x0Fu), g, (a));                                        \
            b = BLEND((uint8_t)(rgb & 0x0Fu), b, (a));                                             \
        }                                                                                          \
        if (odd) {                                                                                 \
            (p)[0] = (uint8_t)(((p)[0] & 0xF0u) | r);                                              \
            (p)[1] = (uint8_t)(g << 4 | b);                                                        \
        } else {                                                                                   \
            (p)[0] = (uint8_t)(r << 4 | g);                                                        \
            (p)[1] = (uint8_t)(((p)[1] & 0x0Fu) | (uint8_t)(b << 4));                              \
        }                                                                                          \
    } while (0)

/* avr-gcc would fold blend_glyph into ravik_lcd_text, where the text's own variables leave the
 * pixel loop too few registers on an AVR. */
#if defined(__GNUC__) && defined(__AVR__)
#define RAVIK_NOINLINE __attribute__((noinline))
#else
#define RAVIK_NOINLINE
#endif
/* The glyph lookup kept out of ravik_lcd_text on a Cortex-M0: folded in, its variables crowd the
 * packed pixel loop's registers there (a packed 16-pixel hanzi took 8 % more cycles); avr-gcc
 * gets the loop's registers either way and saves code by folding it. */
#if defined(__GNUC__) && !defined(__AVR__)
#define LOOKUP_NOINLINE __attribute__((noinline))
#else
#define LOOKUP_NOINLINE
#endif

/* Draws the visible part of a coverage glyph: rows first_row to end_row - 1 and columns
 * first_column to end_column - 1 of its bitmap `bits`, `width` pixels a row. The frame row of
 * its first visible row starts at `line`; its first visible column lies at frame x `x0`. The
 * bitmap and the frame are walked with pointers, one coverage nibble and one frame pixel after
 * the other; a full coverage is the colour itself, none leaves the pixel. Calls nothing, so that
 * an 8051 compiler can lay its variables over others'. */
RAVIK_NOINLINE static void blend_glyph(uint8_t* line, uint8_t x0, const uint8_t* bits,
                                       uint8_t width, uint8_t first_column, uint8_t end_column,
                                       uint8_t first_row, uint8_t end_row, uint16_t rgb) {
    uint8_t row, column, byte = 0, a, r, g, b, odd, half;
    const uint8_t* q;
    uint8_t* p;
    /* Nibble of the glyph's first visible pixel in the row; at most 255 * 255. */
    uint16_t row_nibble = first_column;
    for (row = 0; row < first_row; ++row) {
        row_nibble = (uint16_t)(row_nibble + width);
    }
    /* Pixel x starts in byte 3 * x / 2 of its row. */
    line += (uint16_t)((uint16_t)((uint16_t)x0 << 1) + x0) >> 1;
    for (; row < end_row; ++row, line += RAVIK_LCD_ROW_SIZE, row_nibble += width) {
        q = bits + (row_nibble >> 1);
        half = (uint8_t)(row_nibble & 1u);
        if (half) {
            byte = (uint8_t)(DATA_BYTE(q) << 4);
            ++q;
        }
        p = line;
        odd = (uint8_t)(x0 & 1u);
        column = (uint8_t)(end_column - first_column);
        while (column != 0) {
            if (!half) {
                byte = DATA_BYTE(q);
                ++q;
                if (byte == 0 && column >= 2u) {
                    /* Two clear pixels: three frame bytes on, whichever half they start on. */
                    p += 3;
                    column = (uint8_t)(column - 2u);
                    continue;
                }
            }
            a = (uint8_t)(byte >> 4);
            byte = (uint8_t)(byte << 4);
            half ^= 1u;
            if (a != 0u) {
                PUT_PIXEL(p, odd, a);
            }
            p += 1u + odd;
            odd ^= 1u;
            --column;
        }
    }
}

/* A glyph's two bit streams: the levels, read forwards from the glyph's first byte, each byte's
 * bits most significant first, with the bits not yet read at the top of `level_byte` (`left` of
 * them); and the control bits of a compressed glyph, read backwards from its last byte, each
 * byte's bits least significant first. The two share the byte where they meet. Outside the
 * glyph's bytes both read 0 bits, so corrupt data never reads outside them. */
#define NEXT_LEVEL_BYTE()                                                                          \
    do {                                                                                           \
        level_byte = 0;                                                                            \
        if (level_at < end) {                                                                      \
            level_byte = DATA_BYTE(level_at);                                                      \
            ++level_at;                                                                            \
        }                                                                                          \
        level_left = 8;                                                                            \
    } while (0)

/* One control bit into `bit` (0 or 1). `byte` keeps the bits not yet read at its bottom and a 1
 * above them, so that 1 means none left: no count to keep beside it. */
#define READ_BIT(bit)                                                                              \
    do {                                                                                           \
        if (byte == 1u) {                                                                          \
            byte = 0;                                                                              \
            if (at > bits) {                                                                       \
                --at;                                                                              \
                byte = DATA_BYTE(at);                                                              \
            }                                                                                      \
            bit = (uint8_t)(byte & 1u);                                                            \
            byte = (uint8_t)(byte >> 1 | 0x80u);                                                   \
        } else {                                                                                   \
            bit = (uint8_t)(byte & 1u);                                                            \
            byte = (uint8_t)(byte >> 1);                                                           \
        }                                                                                          \
    } while (0)

/* The next level into `level` as a 4-bit coverage: at 4 bits as it is, at 2 the level times 5
 * (0, 5, 10, 15), at 1 bit 0 or 15. Levels never straddle a byte, so each is one shift by a
 * constant (an 8-bit processor shifts by a variable in a loop). */
#define READ_COVERAGE(level)                                                                       \
    do {                                                                                           \
        if (level_left == 0) {                                                                     \
            NEXT_LEVEL_BYTE();                                                                     \
        }                                                                                          \
        if (bpp == 4u) {                                                                           \
            level = (uint8_t)(level_byte >> 4);                                                    \
            level_byte = (uint8_t)(level_byte << 4);                                               \
        } else if (bpp == 2u) {                                                                    \
            level = (uint8_t)(level_byte >> 6);                                                    \
            level = (uint8_t)((uint8_t)(level << 2) + level);                                      \
            level_byte = (uint8_t)(level_byte << 2);                                               \
        } else {                                                                                   \
            level = (uint8_t)((level_byte & 0x80u) ? 15u : 0u);                                    \
            level_byte = (uint8_t)(level_byte << 1);                                               \
        }                                                                                          \
        level_left = (uint8_t)(level_left - bpp);                                                  \
    } while (0)

/* The kinds a token of a compressed glyph may take after each kind (ravik_lcd.h). */
static const uint8_t TABLE next_tokens[] = {RAVIK_LCD_NEXT_TOKENS};

/* The odds of a 0 bit in each context of a compressed 1-bit glyph, and the odds and level orders
 * of a 2-bit one (ravik_lcd.h). */
static const uint8_t TABLE bit_odds[] = {RAVIK_LCD_BIT_ODDS};
static const uint8_t TABLE level_odds[] = {RAVIK_LCD_LEVEL_ODDS};

/* Blends `count` 4-bit coverages from `levels` (in RAM) over the frame pixels from the one
 * starting in byte p (in its low nibble when odd). Two clear pixels move three frame bytes on,
 * whichever half they start on. A function of its own, with few variables, so that the pixel loop
 * keeps them in registers. */
RAVIK_NOINLINE static void blend_levels(uint8_t* to, uint8_t to_odd, const uint8_t ROW_RAM* from,
                                        uint8_t pixels, uint16_t rgb) {
    uint8_t* NEAR p = to;
    const uint8_t ROW_RAM* NEAR levels = from;
    uint8_t NEAR odd = to_odd, count = pixels, level, r, g, b;
    while (count != 0) {
        level = *levels++;
        if (level == 0u) {
            if (count >= 2u && *levels == 0u) {
                ++levels;
                p += 3;
                count = (uint8_t)(count - 2u);
                continue;
            }
        } else {
            PUT_PIXEL(p, odd, level);
        }
        p += 1u + odd;
        odd ^= 1u;
        --count;
    }
}

/* Draws the visible part (rows first_row to end_row - 1, columns first_column to end_column - 1)
 * of a coverage glyph of `bpp` bits (1, 2 or 4) whose bytes run from `bits` to `end`: levels
 * packed (compressed = 0), or the compressed rows ravik_lcd.h describes. Each row is decoded as
 * 4-bit coverages (a compressed one over the row above) into `row_coverage`, the caller's
 * RAVIK_LCD_GLYPH_ROW bytes and the only buffer (a packed row wider than that a piece at a time),
 * then blend_levels draws its visible part. The frame row of its first visible row starts at
 * `line`; its first visible column lies at frame x `x0`. Rows above the first visible one are
 * decoded, not drawn. */
RAVIK_NOINLINE static void draw_coded_glyph(uint8_t* line, uint8_t x0, const uint8_t* bits,
                                            const uint8_t* end, uint8_t width, uint8_t first_column,
                                            uint8_t end_column, uint8_t first_row, uint8_t end_row,
                                            uint8_t bpp, uint8_t compressed, uint16_t rgb,
                                            uint8_t ROW_RAM* row_coverage) {
    const uint8_t* at = end;
    const uint8_t* level_at = bits;
    /* Not NEAR: with the 1-bit decoder's state there, an 8051's directly addressed RAM is full. */
    uint8_t byte = 1u, level_byte = 0, level_left = 0, column, bit, n;
    uint8_t row, k, level, kind, from, to, x;
    for (column = 0; column < width && column < RAVIK_LCD_GLYPH_ROW; ++column) {
        row_coverage[column] = 0;
    }
    for (row = 0; row < end_row; ++row) {
        const uint8_t visible = (uint8_t)(row >= first_row);
        if (!compressed) {
            /* The row's levels a buffer at a time, each piece's visible part drawn. */
            for (column = 0; column < width; column = (uint8_t)(column + n)) {
                n = (uint8_t)(width - column);
                if (n > RAVIK_LCD_GLYPH_ROW) {
                    n = RAVIK_LCD_GLYPH_ROW;
                }
                for (k = 0; k < n; ++k) {
                    READ_COVERAGE(row_coverage[k]);
                }
                from = column > first_column ? column : first_column;
                to = (uint8_t)(column + n) < end_column ? (uint8_t)(column + n) : end_column;
                if (visible && from < to) {
                    /* Frame x of the piece's first visible pixel. */
                    x = (uint8_t)(x0 + (uint8_t)(from - first_column));
                    blend_levels(line + ((uint16_t)((uint16_t)((uint16_t)x << 1) + x) >> 1),
                                 (uint8_t)(x & 1u), row_coverage + (uint8_t)(from - column),
                                 (uint8_t)(to - from), rgb);
                }
            }
        } else {
            /* 1: as the row above; 01: the levels as they are, one run of literals; 00: tokens. */
            READ_BIT(bit);
            if (!bit) {
                READ_BIT(bit);
                /* Literals the row's width, or tokens from the row's start (kind 4). */
                kind = bit ? 3u : 4u;
                n = bit ? width : 0u;
                for (column = 0; column < width;) {
                    if (n == 0) {
                        READ_BIT(bit);
                        if (kind == 4u) {
                            /* 0: as above; 10: literals; 110: none; 111: full coverage. */
                            kind = 0;
                            if (bit) {
                                READ_BIT(bit);
                                kind = 3;
                                if (bit) {
                                    READ_BIT(bit);
                                    kind = (uint8_t)(1u + bit);
                                }
                            }
                        } else {
                            /* 1, 01, 00: the first, second, third kind after this one. */
                            k = 0;
                            if (!bit) {
                                READ_BIT(bit);
                                k = (uint8_t)(2u - bit);
                            }
                            kind = TABLE_BYTE(next_tokens + (uint8_t)((uint8_t)(kind << 1) + kind) +
                                              k);
                        }
                        /* The count plus one, m: k 0 bits, then m's k + 2 bits, its leading 1
                         * first; for the short counts the bits after the 1 taken at once. At most
                         * 7 zeros, so m (wrapping in a byte on corrupt data) fits one. */
                        for (k = 0; k < 7u; ++k) {
                            READ_BIT(bit);
                            if (bit) {
                                break;
                            }
                        }
                        if (k == 0u && byte > 1u) {
                            n = (uint8_t)((byte & 1u) + 1u);
                            byte = (uint8_t)(byte >> 1);
                        } else if (k == 1u && byte > 3u) {
                            /* The first bit read is the higher. */
                            n = (uint8_t)((uint8_t)((byte & 1u) << 1) + 3u);
                            n = (uint8_t)(n + (byte >> 1 & 1u));
                            byte = (uint8_t)(byte >> 2);
                        } else {
                            n = 1;
                            for (++k; k != 0; --k) {
                                READ_BIT(bit);
                                n = (uint8_t)(n << 1 | bit);
                            }
                            n = (uint8_t)(n - 1u);
                        }
                        /* Seven 0 bits or a count past 255 (corrupt data) wrap in the byte: the
                         * row's rest when 0 or too long, so that every token moves on. */
                        if (n == 0u || n > (uint8_t)(width - column)) {
                            n = (uint8_t)(width - column);
                        }
                    }
                    if (kind == 0u) {
                        column = (uint8_t)(column + n);
                        n = 0;
                    } else if (kind == 3u) {
                        if (bpp == 4u) {
                            /* Nibbles straight from the byte, as most literals are. */
                            for (; n != 0; --n, ++column) {
                                if (level_left == 0) {
                                    NEXT_LEVEL_BYTE();
                                }
                                row_coverage[column] = (uint8_t)(level_byte >> 4);
                                level_byte = (uint8_t)(level_byte << 4);
                                level_left = (uint8_t)(level_left - 4u);
                            }
                        } else {
                            for (; n != 0; --n, ++column) {
                                READ_COVERAGE(row_coverage[column]);
                            }
                        }
                    } else {
                        level = kind == 2u ? 15u : 0u;
                        for (; n != 0; --n, ++column) {
                            row_coverage[column] = level;
                        }
                    }
                }
            }
            if (visible) {
                blend_levels(line + ((uint16_t)((uint16_t)((uint16_t)x0 << 1) + x0) >> 1),
                             (uint8_t)(x0 & 1u), row_coverage + first_column,
                             (uint8_t)(end_column - first_column), rgb);
            }
        }
        if (visible) {
            line += RAVIK_LCD_ROW_SIZE;
        }
    }
}

/* The next bit of a compressed 1-bit glyph's stream into `b`, 0 past its bytes. `byte` keeps the
 * bits not yet read at its top and a 1 after them (0x80: none left). */
#define NEXT_CODED_BIT(b)                                                                          \
    do {                                                                                           \
        if (byte == 0x80u) {                                                                       \
            byte = 0;                                                                              \
            if (at < end) {                                                                        \
                byte = DATA_BYTE(at);                                                              \
                ++at;                                                                              \
            }                                                                                      \
            b = (uint8_t)(byte >> 7);                                                              \
            byte = (uint8_t)(byte << 1 | 1u);                                                      \
        } else {                                                                                   \
            b = (uint8_t)(byte >> 7);                                                              \
            byte = (uint8_t)(byte << 1);                                                           \
        }                                                                                          \
    } while (0)

/* split = the top byte of range times the odds (8 x 8 bits). avr-gcc, seeing that byte come from
 * a 16-bit value, multiplies 16 by 8 bits (two multiplies and their sum) unless an empty asm
 * hides where it came from. */
#if defined(__GNUC__) && defined(__AVR__)
#define TAKE_SPLIT(odds)                                                                           \
    do {                                                                                           \
        uint8_t top = (uint8_t)(range >> 8);                                                       \
        __asm__("" : "+r"(top));                                                                   \
        split = (uint16_t)((uint16_t)top * (uint8_t)(odds));                                       \
    } while (0)
#else
#define TAKE_SPLIT(odds) split = (uint_fast16_t)((uint8_t)(range >> 8) * (uint8_t)(odds))
#endif

/* While the interval is below half its full width, doubles it, taking the stream's next bit. */
#define RENORMALISE()                                                                              \
    do {                                                                                           \
        while (range < 0x8000u) {                                                                  \
            range = range << 1 | 1u;                                                               \
            NEXT_CODED_BIT(next);                                                                  \
            code = code << 1 | next;                                                               \
        }                                                                                          \
    } while (0)

/* One arithmetic-coded bit into `bit`, 0 with the odds / 256 (ravik_lcd.h): `code` is the stream's
 * bits read so far less the interval's bottom, `range` its width less one. Whatever the bits,
 * code stays within 0 to range and range within 127 to 65535, so nothing overflows 16 bits. */
#define DECODE_BIT(bit, odds)                                                                      \
    do {                                                                                           \
        TAKE_SPLIT(odds);                                                                          \
        if (code >= split) {                                                                       \
            code -= split;                                                                         \
            range -= split;                                                                        \
            bit = 1;                                                                               \
        } else {                                                                                   \
            range = split - 1u;                                                                    \
            bit = 0;                                                                               \
        }                                                                                          \
        RENORMALISE();                                                                             \
    } while (0)

/* draw_coded_glyph for a compressed 1- or 2-bit glyph (`bpp`), whose bytes run from `bits` to
 * `end`: each row decoded over the one above into `row_coverage` (a 4-bit coverage a pixel),
 * then its visible part blended. The row buffer still holds the row above from the pixel being
 * decoded on. At 1 bit a pixel's context is above + 2 left + 4 above-left + 8 above-right + 16
 * two-left; at 2 bits, as an offset into level_odds, 4 above + 16 left + 64 above-left (a
 * coverage c is the level c / 5, and c & 12 is 4 times it). One function for both, so that they
 * share the coder's state (in an 8051's directly addressed RAM) and its code. */
RAVIK_NOINLINE static void draw_bit_glyph(uint8_t* line, uint8_t x0, const uint8_t* bits,
                                          const uint8_t* end, uint8_t width, uint8_t first_column,
                                          uint8_t end_column, uint8_t first_row, uint8_t end_row,
                                          uint8_t bpp, uint16_t rgb,
                                          uint8_t ROW_RAM* row_coverage) {
    /* The coder's state in an 8051's direct RAM; the rest in external RAM costs less there. */
    uint_fast16_t NEAR range = 0xFFFFu, code = 0, split;
    uint_fast8_t NEAR byte = 0x80u;
    const uint8_t* at = bits;
    uint_fast8_t bit, next, column, up, up_left, up_right, left, context, order;
    uint8_t row;
    uint8_t ROW_RAM* pixel;
    uint8_t ROW_RAM* const row_end = row_coverage + width;
    for (column = 0; column < width; ++column) {
        row_coverage[column] = 0;
    }
    /* Past the row, a blank pixel: above-right of the last one. */
    row_coverage[width] = 0;
    for (column = 0; column < 16u; ++column) {
        NEXT_CODED_BIT(next);
        code = code << 1 | next;
    }
    for (row = 0; row < end_row; ++row) {
        if (bpp == 2u) {
            DECODE_BIT(bit, TABLE_BYTE(level_odds + 256));
            if (!bit) {
                /* 16 the level to the left + 64 the level above-left, then the context. The
                 * glyph is at least a pixel wide. */
                context = 0;
                pixel = row_coverage;
                do {
                    context = (uint8_t)(context | (uint8_t)(*pixel & 12u));
                    /* The context's order: its first level, else the next, and so on. The first
                     * step spelt out, without a bit to test after it. */
                    order = TABLE_BYTE(level_odds + 3 + context);
                    TAKE_SPLIT(TABLE_BYTE(level_odds + context));
                    if (code < split) {
                        range = split - 1u;
                        RENORMALISE();
                    } else {
                        code -= split;
                        range -= split;
                        RENORMALISE();
                        order = (uint8_t)(order << 2);
                        DECODE_BIT(bit, TABLE_BYTE(level_odds + 1 + context));
                        if (bit) {
                            order = (uint8_t)(order << 2);
                            DECODE_BIT(bit, TABLE_BYTE(level_odds + 2 + context));
                            if (bit) {
                                order = (uint8_t)(order << 2);
                            }
                        }
                    }
                    /* The level, the order's top two bits: 16 times it, as a coverage (5 times
                     * it), and the next pixel's context so far (this one's above is its
                     * above-left). */
                    order = (uint8_t)((order >> 2) & 0x30u);
                    *pixel = (uint8_t)((uint8_t)(order >> 2) + (uint8_t)(order >> 4));
                    context = (uint8_t)((uint8_t)((context & 12u) << 4) | order);
                } while (++pixel != row_end);
            }
        } else {
            DECODE_BIT(bit, TABLE_BYTE(bit_odds + 32));
            if (!bit) {
                up = (uint8_t)(row_coverage[0] != 0u);
                up_left = 0;
                left = 0;
                pixel = row_coverage;
                for (column = width; column != 0; --column, ++pixel) {
                    up_right = 0;
                    if (pixel[1] != 0u) {
                        up_right = 8u;
                    }
                    DECODE_BIT(bit,
                               TABLE_BYTE(bit_odds + (uint8_t)(up | left | up_left | up_right)));
                    *pixel = (uint8_t)((0u - bit) & 15u);
                    /* This pixel's above is the next one's above-left; its left, two-left. */
                    up_left = (uint8_t)(up << 2);
                    up = (uint8_t)(up_right >> 3);
                    left = (uint8_t)((uint8_t)((left & 2u) << 3) | (uint8_t)(bit << 1));
                }
            }
        }
        if (row >= first_row) {
            blend_levels(line + ((uint16_t)((uint16_t)((uint16_t)x0 << 1) + x0) >> 1),
                         (uint8_t)(x0 & 1u), row_coverage + first_column,
                         (uint8_t)(end_column - first_column), rgb);
            line += RAVIK_LCD_ROW_SIZE;
        }
    }
}

/* draw_coded_glyph with its row buffer, which lies here rather than in the drawer so that the
 * drawer's own variables sit near its frame pointer (an AVR reaches 63 bytes from it in one
 * instruction), and only glyphs that need it take its stack. One byte more than the widest row, so
 * that the arithmetic decoder reads a blank pixel above-right of a row's last. */
RAVIK_NOINLINE static void draw_levels_glyph(uint8_t* line, uint8_t x0, const uint8_t* bits,
                                             const uint8_t* end, uint8_t width,
                                             uint8_t first_column, uint8_t end_column,
                                             uint8_t first_row, uint8_t end_row, uint8_t bpp,
                                             uint8_t compressed, uint16_t rgb) {
    uint8_t ROW_RAM row_coverage[RAVIK_LCD_GLYPH_ROW + 1];
    if (compressed && bpp != 4u) {
        draw_bit_glyph(line, x0, bits, end, width, first_column, end_column, first_row, end_row,
                       bpp, rgb, row_coverage);
    } else {
        draw_coded_glyph(line, x0, bits, end, width, first_column, end_column, first_row, end_row,
                         bpp, compressed, rgb, row_coverage);
    }
}

/* The part [*first, *end) of a glyph's `length` pixels from `start` that lies within 0 to
 * size - 1; 0 when none does. */
static uint8_t clip_glyph_side(int32_t start, uint8_t length, uint8_t size, uint8_t* first,
                               uint8_t* end) {
    if (length == 0 || start >= (int32_t)size || start + length <= 0) {
        return 0;
    }
    *first = (uint8_t)(start < 0 ? -start : 0);
    *end = start + length > (int32_t)size ? (uint8_t)(size - start) : length;
    return 1;
}

/* Whether the font's record layout is within its ranges, so that no field reaches past its record
 * and no shift past its type; a font that isn't has no glyph. A record starts with its code point
 * (2 bytes) or, in a grouped font, its step (1 byte); a field of 1 to 4 bytes follows. */
static uint8_t records_valid(const ravik_lcd_font* font) {
    const uint8_t head = font->groups != NULL ? 1u : 2u;
    return (uint8_t)(font->glyphs != NULL && font->metrics != NULL && font->record_size > head &&
                     font->record_size <= head + 4u &&
                     font->offset_bits <= (font->groups != NULL ? 16u : 24u) &&
                     font->offset_bits <= (uint8_t)((font->record_size - head) * 8u));
}

/* The field of the record at `at`: its bytes from `from` to record_size - 1, least significant
 * first. */
static uint32_t field_of(const ravik_lcd_font* font, const uint8_t* at, uint8_t from) {
    uint8_t n = font->record_size;
    uint32_t field = 0;
    for (at += n, n = (uint8_t)(n - from); n != 0u; --n) {
        field = field << 8 | DATA_BYTE(--at);
    }
    return field;
}

/* The field of the record at `at` split: its low offset_bits bits, returned, and the bits above
 * them, the metrics index, in *above. Split a byte at a time first: an 8-bit chip shifts a 32-bit
 * value a bit at a time. */
static uint32_t read_field(const ravik_lcd_font* font, const uint8_t* at, uint8_t from,
                           uint32_t* above) {
    const uint32_t field = field_of(font, at, from);
    uint32_t high = field;
    uint8_t n;
    for (n = font->offset_bits; n >= 8u; n = (uint8_t)(n - 8u)) {
        high >>= 8;
    }
    high >>= n;
    *above = high;
    for (n = font->offset_bits; n >= 8u; n = (uint8_t)(n - 8u)) {
        high <<= 8;
    }
    return field - (high << n);
}

/* Three bytes at `at`, least significant first. */
static uint32_t read_u24(const uint8_t* at) {
    return (uint32_t)(DATA_BYTE(at) | (uint16_t)DATA_BYTE(at + 1) << 8) |
           (uint32_t)DATA_BYTE(at + 2) << 16;
}

/* Two bytes at `at`, least significant first. */
static uint16_t read_u16(const uint8_t* at) {
    return (uint16_t)(DATA_BYTE(at) | (uint16_t)DATA_BYTE(at + 1) << 8);
}

/* Bytes of a group's entry: its first code point (3), its first glyph's index (2), where its
 * bitmaps start (3). */
#define GROUP_SIZE 8u

/* The font's glyph for `code` among its first `count` records: 1 with where its bitmap starts in
 * the bitmaps (*offset), the bytes up to the next glyph's bitmap (*length; for the last glyph,
 * whatever lies past it, and 0 when the next starts before it) and its metrics index (*metrics);
 * 0 when the font has none. A grouped font halves its groups for the last one starting at or
 * below `code`, then steps through that group's records, summing their lengths; any other halves
 * its records within the code point's plane. Corrupt tables find nothing or a wrong glyph (its
 * offset, a sum that wraps, is checked by the caller), and nothing is read past the records that
 * count says, the groups or the planes. */
LOOKUP_NOINLINE static uint8_t find_glyph(const ravik_lcd_font* font, uint16_t count, uint32_t code,
                                          uint32_t* offset, uint32_t* length, uint32_t* metrics) {
    const uint8_t* record;
    const uint8_t* low_byte;
    uint32_t next, start;
    uint16_t mask, skipped;
    uint16_t low = 0, high = count, middle = 0;
    uint8_t bytes, n;
    if (count == 0) {
        return 0;
    }
    if (font->groups != NULL) {
        high = font->group_count;
        while (low < high) {
            middle = (uint16_t)(low + ((uint16_t)(high - low) >> 1));
            if (read_u24(font->groups + (size_t)middle * GROUP_SIZE) <= code) {
                low = (uint16_t)(middle + 1u);
            } else {
                high = middle;
            }
        }
        if (low == 0) {
            return 0;
        }
        /* The group's records run from its first to the next group's first, within count. */
        record = font->groups + (size_t)(low - 1u) * GROUP_SIZE;
        high = count;
        if (low < font->group_count) {
            middle = read_u16(record + GROUP_SIZE + 3);
            if (middle < high) {
                high = middle;
            }
        }
        next = read_u24(record);
        start = read_u24(record + 5);
        middle = read_u16(record + 3);
        record = font->glyphs + (size_t)middle * font->record_size;
        /* The lengths of the glyphs before it taken from their low bytes alone, only the glyph's
         * own field split. */
        mask = (uint16_t)(((uint32_t)1 << font->offset_bits) - 1u);
        bytes = (uint8_t)((uint8_t)(font->offset_bits + 7u) >> 3);
        for (; middle < high; ++middle, record += font->record_size) {
            next += DATA_BYTE(record);
            if (next >= code) {
                *offset = start;
                *length = read_field(font, record, 1u, metrics);
                return (uint8_t)(next == code);
            }
            skipped = 0;
            for (n = bytes, low_byte = record + bytes; n != 0u; --n, --low_byte) {
                skipped = (uint16_t)(skipped << 8 | DATA_BYTE(low_byte));
            }
            start += (uint16_t)(skipped & mask);
        }
        return 0;
    }
    {
        const uint8_t plane = (uint8_t)(code >> 16);
        const uint16_t key = (uint16_t)code;
        uint16_t first, found_code;
        uint32_t above;
        uint8_t i, has_plane = (uint8_t)(plane == 0), entry_plane;
        if (font->planes != NULL) {
            for (i = 0; i < font->plane_count; ++i) {
                record = font->planes + (uint16_t)((uint16_t)i * 3u);
                entry_plane = DATA_BYTE(record);
                first = read_u16(record + 1);
                if (first > high) {
                    first = high;
                }
                if (entry_plane == plane) {
                    low = first;
                    has_plane = 1;
                } else if (entry_plane > plane) {
                    high = first;
                    break;
                }
            }
        }
        if (!has_plane) {
            return 0;
        }
        for (;;) {
            if (low >= high) {
                return 0;
            }
            middle = (uint16_t)(low + ((uint16_t)(high - low) >> 1));
            record = font->glyphs + (size_t)middle * font->record_size;
            found_code = read_u16(record);
            if (found_code == key) {
                break;
            }
            if (found_code < key) {
                low = (uint16_t)(middle + 1u);
            } else {
                high = middle;
            }
        }
        /* The whole offset; the next record's, or the bitmaps' end, ends the bitmap. */
        start = read_field(font, record, 2u, metrics);
        next = font->bitmaps_size;
        if ((uint16_t)(middle + 1u) < count) {
            next = read_field(font, record + font->record_size, 2u, &above);
        }
        *offset = start;
        *length = next >= start ? next - start : 0u;
        return 1;
    }
}

int ravik_lcd_text(uint8_t* frame, int x, int y, const char* utf8, const ravik_lcd_font* font,
                   uint16_t rgb) {
    const uint8_t* text = (const uint8_t*)utf8;
    const uint8_t* box;
    const uint8_t* bits;
    const uint8_t* glyph_end;
    int32_t pen = clamp_position(x), line_y = clamp_position(y), left, top;
    uint32_t metrics, offset = 0, length = 0, stored;
    uint16_t count;
    uint8_t width, height, compressed, bpp, first_column, end_column, first_row, end_row;
    if (utf8 == NULL || font == NULL) {
        return x;
    }
    bpp = font->bpp;
    /* A font whose records are out of range finds no glyph. */
    count = records_valid(font) ? font->count : 0u;
    while (*text != 0) {
        box = NULL;
        if (find_glyph(font, count, next_code_point(&text), &offset, &length, &metrics) &&
            metrics < font->metrics_count) {
            box = font->metrics + (size_t)metrics * RAVIK_LCD_METRICS_SIZE;
        }
        if (box == NULL) {
            pen += font->line_height >> 1;
        } else {
            /* The box: width, height, left, top, advance, form. */
            width = DATA_BYTE(box);
            height = DATA_BYTE(box + 1);
            compressed = (uint8_t)(DATA_BYTE(box + 5) & 1u);
            /* The bitmap's top-left. */
            left = pen + (int8_t)DATA_BYTE(box + 2);
            top = line_y + font->ascent - (int8_t)DATA_BYTE(box + 3);
            /* The bytes a packed bitmap takes; a compressed one is only read within the font. */
            stored = bpp == 0u ? RAVIK_LCD_PACKED_SIZE(width, height)
                               : ((uint32_t)width * height * bpp + 7u) >> 3;
            if (frame != NULL && font->bitmaps != NULL && offset <= font->bitmaps_size &&
                (bpp == 0u || bpp == 1u || bpp == 2u || bpp == 4u) &&
                (compressed ? bpp != 0u && width <= RAVIK_LCD_GLYPH_ROW
                            : stored <= font->bitmaps_size - offset) &&
                clip_glyph_side(left, width, RAVIK_LCD_WIDTH, &first_column, &end_column) &&
                clip_glyph_side(top, height, RAVIK_LCD_HEIGHT, &first_row, &end_row)) {
                /* Both sides overlap the frame, so the top-left fits an int. */
                bits = font->bitmaps + offset;
                /* A compressed glyph ends where the next one starts, within the bitmaps. */
                glyph_end = font->bitmaps + font->bitmaps_size;
                if (compressed && length < font->bitmaps_size - offset) {
                    glyph_end = bits + length;
                }
                if (bpp == 0u) {
                    ravik_lcd_draw(frame, (int)left, (int)top, bits, width, height, NULL);
                } else if (bpp == 4u && !compressed) {
                    blend_glyph(frame + PIXEL_OFFSET(0, top + first_row),
                                (uint8_t)(left + first_column), bits, width, first_column,
                                end_column, first_row, end_row, rgb);
                } else {
                    draw_levels_glyph(frame + PIXEL_OFFSET(0, top + first_row),
                                      (uint8_t)(left + first_column), bits, glyph_end, width,
                                      first_column, end_column, first_row, end_row, bpp, compressed,
                                      rgb);
                }
            }
            pen += DATA_BYTE(box + 4);
        }
        if (pen > PEN_LIMIT) {
            pen = PEN_LIMIT;
        }
    }
    return (int)pen;
}

#endif /* RAVIK_LCD_HAS_TEXT */

#if RAVIK_LCD_HAS_ASSETS

/* ---- Assets ------------------------------------------------------------------------------- */

/* Where GCC's attributes are known: the copying form's decoder and the ring kept out of the
 * functions every stream and unpack goes through, so that these reserve no stack for them. */
#if defined(__GNUC__)
#define OUT_OF_LINE __attribute__((noinline))
#define IN_LINE __attribute__((always_inline)) inline
#else
#define OUT_OF_LINE
#define IN_LINE
#endif

/* The piece's room is counted in a byte, and 255 stands for an unpacked picture's. */
#if RAVIK_LCD_STREAM_PIECE < 1 || RAVIK_LCD_STREAM_PIECE > 254
#error "RAVIK_LCD_STREAM_PIECE must be 1 to 254"
#endif

/* The state of one emit: the data read, the nibble waiting for its byte, the pattern. */
typedef struct {
    const uint8_t* data;
    uint8_t carry;
    uint8_t pattern[3];
} emit_t;

/* Where runs, literals and raw bytes go: straight into the picture (unpack), or into a piece
 * handed to write() when full (stream). Bytes are written through `out`; `odd` says that *out
 * already holds its high nibble and the next nibble is its low one; `room` is the whole bytes the
 * piece still takes (255 when unpacking: the picture's room is counted in pixels). `over` says
 * that the picture is a delta frame, drawn over the one before, `form` how it is stored.
 * `pixels` is what the picture still has room for, so no nibble lands outside its bytes. `piece`
 * is the piece's start. The token writers work on whole bytes wherever they can, at most 255 at a
 * time, so that their loops count in a byte. On an 8051 these helpers keep their variables at
 * fixed places (external RAM with --model-large), not on its small stack. (The copying form has a
 * decoder of its own, copying_picture.) */
typedef struct {
    uint8_t* out;
    uint8_t odd;
    uint8_t room;
    uint8_t over;
    uint8_t form;
    uint32_t pixels;
    uint8_t* piece;
    void (*write)(const uint8_t* bytes, uint16_t n, void* ctx) RAVIK_LCD_REENTRANT;
    void* ctx;
    emit_t e;
} sink_t;

/* Which sink the helpers work on. On an 8051 there is one, at a fixed place that the code reaches
 * directly rather than through a 3-byte pointer, each access of which calls a routine; the
 * routines are not reentrant there anyway (sdcc keeps their variables at fixed places). */
#if defined(__SDCC_mcs51)
static sink_t the_sink;
#define sink (&the_sink)
#define SINK_PARAM
#define SINK_ARG
#define SINK_PARAM_ONLY void
#define SINK_ARG_ONLY
#define SINK_HERE
#else
#define SINK_PARAM sink_t *sink,
#define SINK_ARG sink,
#define SINK_PARAM_ONLY sink_t* sink
#define SINK_ARG_ONLY sink
#define SINK_HERE                                                                                  \
    sink_t sink_here;                                                                              \
    sink_t* const sink = &sink_here;
#endif

/* How a run of whole bytes is made: copied from the data, each the low nibble of one data byte
 * and the high nibble of the next (a literal on the other half), or a colour's three bytes over
 * and over (a run). */
#define EMIT_COPY 0
#define EMIT_SHIFT 1
#define EMIT_FILL 2

/* The ways to make `n` (at least 1) bytes at `o`. They call nothing, so that an 8051 compiler
 * can lay their variables over others'. */
static void copy_chunk(uint8_t* o, emit_t* e, uint8_t n) {
    uint8_t* NEAR to = o;
    const uint8_t* NEAR data = e->data;
    uint8_t NEAR left = n;
    do {
        *to++ = DATA_BYTE(data);
        ++data;
    } while (--left != 0);
    e->data = data;
}

IN_LINE static void shift_chunk(uint8_t* o, emit_t* e, uint8_t n) {
    uint8_t* NEAR to = o;
    const uint8_t* NEAR data = e->data;
    uint8_t NEAR carry = e->carry, next, left = n;
    do {
        next = DATA_BYTE(data);
        ++data;
        *to++ = (uint8_t)(carry | (next >> 4));
        carry = (uint8_t)(next << 4);
    } while (--left != 0);
    e->data = data;
    e->carry = carry;
}

IN_LINE static void fill_chunk(uint8_t* o, emit_t* e, uint8_t n) {
    uint8_t* NEAR to = o;
    uint8_t NEAR first = e->pattern[0], second = e->pattern[1], third = e->pattern[2], t, left = n;
    /* Whole patterns, then what is left, the pattern turned on by each byte written. */
    for (; left >= 3u; left = (uint8_t)(left - 3u)) {
        to[0] = first;
        to[1] = second;
        to[2] = third;
        to += 3;
    }
    for (; left != 0; --left) {
        *to++ = first;
        t = first;
        first = second;
        second = third;
        third = t;
    }
    e->pattern[0] = first;
    e->pattern[1] = second;
    e->pattern[2] = third;
}

/* Hands the full piece to write() and starts the next in the same place. */
IN_LINE static void hand_out(SINK_PARAM_ONLY) {
    sink->write(sink->piece, RAVIK_LCD_STREAM_PIECE, sink->ctx);
    sink->out = sink->piece;
    sink->room = RAVIK_LCD_STREAM_PIECE;
}

/* Writes `bytes` whole bytes from a byte's start, made as `how` says, as much at a time as the
 * piece (or, unpacking, a byte's count) takes; a full piece is handed to write(). */
static void emit(SINK_PARAM uint16_t bytes, uint8_t how) {
    while (bytes != 0) {
        const uint8_t chunk = bytes < sink->room ? (uint8_t)bytes : sink->room;
        bytes = (uint16_t)(bytes - chunk);
        if (how == EMIT_COPY) {
            copy_chunk(sink->out, &sink->e, chunk);
        } else if (how == EMIT_SHIFT) {
            shift_chunk(sink->out, &sink->e, chunk);
        } else {
            fill_chunk(sink->out, &sink->e, chunk);
        }
        sink->out += chunk;
        if (sink->write != NULL) {
            sink->room = (uint8_t)(sink->room - chunk);
            if (sink->room == 0) {
                hand_out(SINK_ARG_ONLY);
            }
        }
    }
}

/* emit with a literal's bytes that leave room in the piece (or, when unpacking, fewer than 255)
 * made in place: literals are most of a picture's tokens, and this saves them a call. */
#define EMIT_LITERAL(bytes, how, chunk)                                                            \
    do {                                                                                           \
        const uint16_t n_ = (bytes);                                                               \
        if (n_ < (sink)->room) {                                                                   \
            chunk((sink)->out, &(sink)->e, (uint8_t)n_);                                           \
            (sink)->out += n_;                                                                     \
            if ((sink)->write != NULL) {                                                           \
                (sink)->room = (uint8_t)((sink)->room - n_);                                       \
            }                                                                                      \
        } else {                                                                                   \
            emit(SINK_ARG n_, (how));                                                              \
        }                                                                                          \
    } while (0)

/* Puts `high` into the high nibble of the byte at the sink, keeping its low one: the stream is
 * now at that byte's low nibble. */
IN_LINE static void put_high(SINK_PARAM uint8_t high) {
    *sink->out = (uint8_t)((*sink->out & 0x0Fu) | (high & 0xF0u));
    sink->odd = 1;
}

/* `count` pixels, cut to the picture's room; returns the nibbles they take. */
IN_LINE static uint16_t take_pixels(SINK_PARAM uint16_t count) {
    if (count > sink->pixels) {
        count = (uint16_t)sink->pixels;
    }
    sink->pixels -= count;
    return (uint16_t)(((uint16_t)count << 1) + count);
}

/* `count` (1 to 128) pixels packed from the high nibble of `data`, cut to the picture. */
IN_LINE static void put_literal(SINK_PARAM const uint8_t* data, uint8_t count) {
    uint16_t nibbles = take_pixels(SINK_ARG count);
    sink->e.data = data;
    if (nibbles == 0) {
        return;
    }
    if (!sink->odd) {
        /* Both on a byte's high nibble: whole bytes are copied. */
        EMIT_LITERAL((uint16_t)(nibbles >> 1), EMIT_COPY, copy_chunk);
        if (nibbles & 1u) {
            put_high(SINK_ARG DATA_BYTE(sink->e.data));
        }
    } else {
        /* Each byte is the nibble waiting and the next data byte's high nibble: the first the
         * high nibble already there. An even count leaves the last low nibble waiting. */
        sink->e.carry = (uint8_t)(*sink->out & 0xF0u);
        EMIT_LITERAL((uint16_t)((nibbles + 1u) >> 1), EMIT_SHIFT, shift_chunk);
        if (!(nibbles & 1u)) {
            put_high(SINK_ARG sink->e.carry);
        } else {
            sink->odd = 0;
        }
    }
}

/* `count` pixels of colour 0xRGB, cut to the picture: from a byte's start, two pixels are the
 * three bytes RG BR GB; from a low nibble, R completes that byte and GB RG BR follow. */
static void put_run(SINK_PARAM uint16_t count, uint16_t rgb) {
    const uint8_t r = (uint8_t)(rgb >> 8 & 0x0Fu), g = (uint8_t)(rgb >> 4 & 0x0Fu),
                  b = (uint8_t)(rgb & 0x0Fu);
    uint16_t nibbles = take_pixels(SINK_ARG count);
    if (nibbles == 0) {
        return;
    }
    if (!sink->odd) {
        sink->e.pattern[0] = (uint8_t)(r << 4 | g);
        sink->e.pattern[1] = (uint8_t)(b << 4 | r);
        sink->e.pattern[2] = (uint8_t)(g << 4 | b);
    } else {
        sink->e.pattern[0] = (uint8_t)((*sink->out & 0xF0u) | r);
        sink->e.pattern[1] = (uint8_t)(g << 4 | b);
        sink->e.pattern[2] = (uint8_t)(r << 4 | g);
        emit(SINK_ARG 1u, EMIT_FILL);
        sink->e.pattern[2] = (uint8_t)(b << 4 | r);
        --nibbles;
        sink->odd = 0;
    }
    emit(SINK_ARG(uint16_t)(nibbles >> 1), EMIT_FILL);
    if (nibbles & 1u) {
        put_high(SINK_ARG sink->e.pattern[0]);
    }
}

/* Passes over `count` pixels of a delta frame, leaving them as they are (unpack only). */
static void put_skip(SINK_PARAM uint16_t count) {
    uint16_t nibbles = (uint16_t)(take_pixels(SINK_ARG count) + sink->odd);
    sink->out += nibbles >> 1;
    sink->odd = (uint8_t)(nibbles & 1u);
}

/* Ends a picture's tokens: unless it is drawn over the one before, the pixels they left are
 * black. An odd count of nibbles leaves the last byte's low nibble, which is 0. A delta frame's
 * tokens may end anywhere before it: the nibbles from there on are the previous frame's. Called
 * after the tokens, beside them rather than under them. */
static void finish(SINK_PARAM_ONLY) {
    if (!sink->over) {
        while (sink->pixels != 0) {
            put_run(SINK_ARG sink->pixels > 0x4000u ? (uint16_t)0x4000u : (uint16_t)sink->pixels,
                    0);
        }
    }
    if (sink->pixels == 0 && sink->odd) {
        *sink->out = (uint8_t)(*sink->out & 0xF0u);
        ++sink->out;
        --sink->room;
        sink->odd = 0;
    }
}

/* An asset's array entry, read a byte at a time wherever the build keeps its data. */
IN_LINE static uint32_t data_u32(const uint32_t* p) {
    union {
        uint32_t value;
        uint8_t bytes[4];
    } u;
    uint8_t i;
    for (i = 0; i < 4u; ++i) {
        u.bytes[i] = DATA_BYTE((const uint8_t*)p + i);
    }
    return u.value;
}

/* How a picture is stored: its packed bytes as they are, runs and literals, or copying tokens. */
#define FORM_RAW 0
#define FORM_RUNS 1
#define FORM_COPYING 2

/* Finds picture `index`'s stored bytes: points *data at them, sets *form to theirs and returns how
 * many there are (0 when the offsets are corrupt). Every read stays inside the picture's stored
 * bytes, which must lie inside `stored`. In line, so that a stream finds them with no frame of
 * this function's under its ring. */
IN_LINE static uint32_t find_picture(const ravik_lcd_asset* asset, uint16_t index,
                                     const uint8_t** data, uint8_t* form) {
    uint32_t left = 0;
    const uint8_t* at = asset->data;
    *form = FORM_RUNS;
    if (at != NULL && asset->offsets != NULL) {
        const uint32_t begin = data_u32(asset->offsets + index),
                       end = data_u32(asset->offsets + index + 1);
        if (begin <= end && end <= asset->stored) {
            left = end - begin;
            at += begin;
        }
    }
    if (left == asset->size) {
        *form = FORM_RAW;
    } else if (asset->compression == RAVIK_LCD_LZ) {
        *form = FORM_COPYING;
        if (left != 0) {
            const uint8_t first = DATA_BYTE(at);
            if (first == RAVIK_LCD_RUNS_MARK) {
                /* An "above" before any pixel: this picture is runs and literals. */
                ++at;
                --left;
                *form = FORM_RUNS;
            }
        }
    }
    *data = at;
    return left;
}

/* The whole pixels of a picture that fit its `size` bytes, at most width x height. */
IN_LINE static uint32_t picture_pixels(const ravik_lcd_asset* asset) {
    const uint32_t size = asset->size, pixels = (uint32_t)asset->width * asset->height;
    const uint32_t room = size > 0x7FFFFFFFUL ? 0xFFFFFFFFUL / 3u : (size << 1) / 3u;
    return pixels < room ? pixels : room;
}

/* Finds picture `index`'s stored bytes and readies the sink for its pixels: points the emit
 * state at the bytes, sets the sink's `form` to theirs and returns how many there are. */
static uint32_t open_picture(SINK_PARAM const ravik_lcd_asset* asset, uint16_t index) {
    uint32_t left = find_picture(asset, index, &sink->e.data, &sink->form);
    sink->odd = 0;
    sink->pixels = picture_pixels(asset);
    return left;
}

/* ---- The copying form (RAVIK_LCD_LZ) ---- */

#ifndef RAVIK_LCD_NO_LZ

#if !defined(__SDCC_mcs51)
/* A piece at a time, through a piece on the stack (below). */
OUT_OF_LINE static void stream_pieces(const ravik_lcd_asset* asset, uint16_t index,
                                      void (*write)(const uint8_t* bytes, uint16_t n, void* ctx),
                                      void* ctx);
#endif

/* Where a token's nibbles come from: the data (a literal), the picture or the ring (a copy; only
 * the ring goes on at its start after its end), none (black), the near pixels' codes, or nowhere
 * (a skip in a delta frame, which leaves the nibbles as they are). */
#define FROM_DATA 0
#define FROM_PICTURE 1
#define FROM_RING 2
#define FROM_BLACK 3
#define FROM_NEAR 4
#define FROM_NOWHERE 5

/* The ring's end, and the bytes of its last piece: pieces start at the ring's start, a piece
 * apart, and the last is what is left before its end. */
#define RING_END (base + RAVIK_LCD_HISTORY_SIZE)
#define RING_LAST ((RAVIK_LCD_HISTORY_SIZE - 1) % RAVIK_LCD_STREAM_PIECE + 1)
/* A byte read where the token's nibbles come from. */
#define FROM_BYTE(p) (how == FROM_DATA ? DATA_BYTE(p) : *(p))

/* Whether the decoder streams; on an 8051 asked of a byte rather than of a 3-byte pointer. */
#if defined(__SDCC_mcs51)
#define STREAMING streaming
#else
#define STREAMING (write != NULL)
#endif

/* The byte at `out` is decoded: on to the next; streaming, a full piece is handed to write(). */
#define NEXT_OUT()                                                                                 \
    do {                                                                                           \
        ++out;                                                                                     \
        if (STREAMING && --room == 0) {                                                            \
            HAND_OUT();                                                                            \
        }                                                                                          \
    } while (0)
#define HAND_OUT()                                                                                 \
    do {                                                                                           \
        if (out == RING_END) {                                                                     \
            write(out - RING_LAST, RING_LAST, ctx);                                                \
            out = base;                                                                            \
        } else {                                                                                   \
            write(out - RAVIK_LCD_STREAM_PIECE, RAVIK_LCD_STREAM_PIECE, ctx);                      \
        }                                                                                          \
        room = out == RING_END - RING_LAST ? (uint8_t)RING_LAST : (uint8_t)RAVIK_LCD_STREAM_PIECE; \
    } while (0)

/* Decodes picture `index` of an asset in the copying form (see ravik_lcd.h) into `base`: the
 * picture itself (unpacking, write NULL), or a ring of the last RAVIK_LCD_HISTORY_SIZE bytes
 * decoded, handed to write() a piece at a time as it fills (streaming). Returns 0, having written
 * nothing, when the picture is stored in another form.
 * One function whose only call is write(): the stream's stack is the ring, the frame of the
 * function that keeps it, this one's and write()'s. Decoded nibbles go to `out` (into its low half
 * when `odd`), `room` bytes before the piece is full; `known` counts the pixels decoded, up to
 * RAVIK_LCD_HISTORY_PIXELS, so that a copy reaches no further back than that. A token cut short
 * by the data's end, or a copy from further back, ends the tokens; the pixels after them are black,
 * or in a delta frame the previous frame's, as a skip's are. Whole bytes are made as many at a
 * time as the piece and the ring's end allow, in loops that count in a byte. */
OUT_OF_LINE static uint8_t
copying_picture(const ravik_lcd_asset* asset, uint16_t index, uint8_t* base,
                void (*write)(const uint8_t* bytes, uint16_t n, void* ctx) RAVIK_LCD_REENTRANT,
                void* ctx) {
    uint8_t* out = base;
    const uint8_t *data, *end;
    uint32_t pixels;
    uint8_t form;
    uint_fast8_t room = write != NULL ? (uint8_t)RAVIK_LCD_STREAM_PIECE : 255u, odd = 0, known = 0,
                 over;
#if defined(__SDCC_mcs51)
    uint8_t streaming;
#endif
    pixels = find_picture(asset, index, &data, &form); /* for a moment, the stored bytes */
    end = data;
    if (pixels != 0) {
        /* (Not even 0 is added to a NULL pointer: an asset may have no data.) */
        end += pixels;
    }
    if (form != FORM_COPYING) {
#if !defined(__SDCC_mcs51)
        if (write != NULL) {
            /* From here, so that the ring's frame keeps nothing for it. */
            stream_pieces(asset, index, write, ctx);
            return 1;
        }
#endif
        return 0;
    }
    over = (uint8_t)(write == NULL && asset->delta && index != 0);
#if defined(__SDCC_mcs51)
    streaming = write != NULL;
#endif
    pixels = picture_pixels(asset);
    while (pixels != 0) {
        const uint8_t *from, *codes;
        uint_fast16_t count, distance = 0, bytes;
        uint_fast8_t how = FROM_BLACK, from_odd = 0, carry = 0;
        if (data == end) {
            /* After the tokens. */
            if (over) {
                break;
            }
            from = codes = data;
            count = pixels > 0x1000u ? (uint16_t)0x1000u : (uint16_t)pixels;
        } else {
            const uint8_t control = DATA_BYTE(data);
            uint8_t used = 2;
            from = data + 1;
            codes = from;
            if (control < 0x80u) {
                /* A literal's 3n nibbles take (3n + 1) / 2 bytes, a near token's n pixels n;
                 * near pixels start from the one before, if there is one. */
                const uint8_t n = (uint8_t)((control & 0x3Fu) + 1u);
                used = (uint8_t)(control < 0x40u ? (uint8_t)((uint16_t)(3u * n + 1u) >> 1) : n);
                if ((size_t)(end - data) <= used) {
                    end = data;
                    continue;
                }
                ++used;
                count = n;
                how = FROM_DATA;
                if (control >= 0x40u) {
                    how = FROM_NEAR;
                    distance = known != 0;
                }
            } else if (control < 0xC0u) {
                count = (uint16_t)((control & 0x3Fu) + 1u);
                distance = asset->width;
                used = 1;
            } else if (end - data < 2) {
                end = data;
                continue;
            } else if (control < 0xE0u) {
                count = (uint16_t)((control & 0x1Fu) + 2u);
                distance = (uint16_t)(DATA_BYTE(data + 1) + 1u);
            } else {
                count = (uint16_t)(((uint16_t)(control & 0x0Fu) << 8 | DATA_BYTE(data + 1)) + 1u);
                if (control < 0xF0u) {
                    if (end - data < 3) {
                        end = data;
                        continue;
                    }
                    distance = (uint16_t)(DATA_BYTE(data + 2) + 1u);
                    used = 3;
                } else if (over) {
                    how = FROM_NOWHERE;
                }
            }
            if (distance != 0) {
                /* From `distance` pixels back: 3 distance - odd nibbles before out's high one,
                 * in the byte (that + 1) / 2 before out, its low nibble when that is odd; in
                 * the ring, that many bytes back from its end when fewer lie before out. */
                const uint16_t back = (uint16_t)(3u * distance - odd);
                const uint16_t behind = (uint16_t)((back + 1u) >> 1);
                if (distance > known) {
                    end = data;
                    continue;
                }
                from = out - behind;
                if (STREAMING && (uint16_t)(out - base) < behind) {
                    from += RAVIK_LCD_HISTORY_SIZE;
                }
                from_odd = (uint8_t)(back & 1u);
                if (how != FROM_NEAR) {
                    how = STREAMING ? FROM_RING : FROM_PICTURE;
                }
            }
            data += used;
        }
        if (count > pixels) {
            count = (uint16_t)pixels;
        }
        pixels -= count;
        if (how < FROM_NEAR) {
            uint16_t nibbles = (uint16_t)(3u * count);
            if (how != FROM_BLACK && (odd | from_odd)) {
                /* The source's next byte; from a low nibble, that nibble waits in `carry`. */
                carry = FROM_BYTE(from);
                if (from_odd) {
                    carry = (uint8_t)(carry << 4);
                    ++from;
                }
            }
            if (odd) {
                /* The source's first nibble completes the byte at out. */
                *out = (uint8_t)((*out & 0xF0u) | carry >> 4);
                odd = 0;
                --nibbles;
                NEXT_OUT();
                if (how != FROM_BLACK) {
                    if (from_odd) {
                        from_odd = 0;
                    } else {
                        carry = (uint8_t)(carry << 4);
                        ++from;
                        from_odd = 1;
                    }
                }
            }
            /* Whole bytes: copied when the source lies on a byte's start, else each the nibble
             * waiting and the next byte's high one. A source in the ring goes on at its start
             * after its end, checked where its next byte is read: here and for the last nibble. */
            for (bytes = (uint16_t)(nibbles >> 1); bytes != 0;) {
                uint8_t chunk = bytes < room ? (uint8_t)bytes : room, n;
                uint8_t* to = out;
                if (how == FROM_RING) {
                    if (from == RING_END) {
                        from = base;
                    }
                    if ((uint16_t)(RING_END - from) < chunk) {
                        chunk = (uint8_t)(RING_END - from);
                    }
                }
                n = chunk;
                if (how == FROM_BLACK) {
                    do {
                        *to++ = 0;
                    } while (--n != 0);
#if defined(__SDCC_mcs51)
                } else {
                    /* On an 8051 the chunk writers, whose few variables lie in directly
                     * addressed RAM: data and RAM are read alike there. */
                    emit_t e;
                    e.data = from;
                    e.carry = carry;
                    if (!from_odd) {
                        copy_chunk(to, &e, n);
                    } else {
                        shift_chunk(to, &e, n);
                    }
                    from = e.data;
                    carry = e.carry;
                    to += n;
                }
#else
                } else if (!from_odd) {
                    const uint8_t* in = from;
                    if (how == FROM_DATA) {
                        do {
                            *to++ = DATA_BYTE(in);
                            ++in;
                        } while (--n != 0);
                    } else {
                        do {
                            *to++ = *in++;
                        } while (--n != 0);
                    }
                    from = in;
                } else {
                    const uint8_t* in = from;
                    uint8_t c = carry, next;
                    if (how == FROM_DATA) {
                        do {
                            next = DATA_BYTE(in);
                            ++in;
                            *to++ = (uint8_t)(c | next >> 4);
                            c = (uint8_t)(next << 4);
                        } while (--n != 0);
                    } else {
                        do {
                            next = *in++;
                            *to++ = (uint8_t)(c | next >> 4);
                            c = (uint8_t)(next << 4);
                        } while (--n != 0);
                    }
                    from = in;
                    carry = c;
                }
#endif
                out = to;
                bytes = (uint16_t)(bytes - chunk);
                if (STREAMING) {
                    room = (uint8_t)(room - chunk);
                    if (room == 0) {
                        HAND_OUT();
                    }
                }
            }
            if (nibbles & 1u) {
                /* The last nibble: the one waiting, or the high one of the source's next byte. */
                if (how != FROM_BLACK && !from_odd) {
                    if (how == FROM_RING && from == RING_END) {
                        from = base;
                    }
                    carry = FROM_BYTE(from);
                }
                *out = (uint8_t)((*out & 0x0Fu) | (carry & 0xF0u));
                odd = 1;
            }
        } else if (how == FROM_NEAR) {
            /* Each pixel the one before (black before pixel 0) moved by its byte GGGRRRBB: green
             * by GGG - 4, red by that and RRR - 4, blue by that and BB - 2, modulo 16 (-4 is +12,
             * -2 is +14). */
            uint16_t colour = 0;
            uint8_t r, g, b, k;
            if (distance != 0) {
                /* The ring holds whole pixels, so the one before never straddles its end. */
                for (k = 0; k < 3u; ++k) {
                    colour = (uint16_t)(colour << 4 | (from_odd ? *from & 0x0Fu : *from >> 4));
                    if (from_odd) {
                        ++from;
                    }
                    from_odd = (uint8_t)!from_odd;
                }
            }
            r = (uint8_t)(colour >> 8);
            g = (uint8_t)(colour >> 4 & 0x0Fu);
            b = (uint8_t)(colour & 0x0Fu);
            for (bytes = count; bytes != 0; --bytes) {
                const uint8_t code = DATA_BYTE(codes), green = (uint8_t)(code >> 5);
                ++codes;
                g = (uint8_t)((g + green + 12u) & 0x0Fu);
                r = (uint8_t)((r + green + (code >> 2 & 7u) + 8u) & 0x0Fu);
                b = (uint8_t)((b + green + (code & 3u) + 10u) & 0x0Fu);
                if (!odd) {
                    *out = (uint8_t)(r << 4 | g);
                    NEXT_OUT();
                    *out = (uint8_t)((*out & 0x0Fu) | b << 4);
                    odd = 1;
                } else {
                    *out = (uint8_t)((*out & 0xF0u) | r);
                    NEXT_OUT();
                    *out = (uint8_t)(g << 4 | b);
                    NEXT_OUT();
                    odd = 0;
                }
            }
        } else {
            /* A skip: the frame's nibbles as they are. */
            const uint16_t nibbles = (uint16_t)(3u * count + odd);
            out += nibbles >> 1;
            odd = (uint8_t)(nibbles & 1u);
        }
        if (known < RAVIK_LCD_HISTORY_PIXELS) {
            known = count >= (uint16_t)(RAVIK_LCD_HISTORY_PIXELS - known)
                        ? (uint8_t)RAVIK_LCD_HISTORY_PIXELS
                        : (uint8_t)(known + count);
        }
    }
    if (pixels == 0 && odd) {
        /* An odd count of nibbles leaves the last byte's low nibble, which is 0. */
        *out = (uint8_t)(*out & 0xF0u);
        NEXT_OUT();
    }
    if (write != NULL) {
        /* What is left of the last piece. */
        room = (uint8_t)((out + room == RING_END ? RING_LAST : RAVIK_LCD_STREAM_PIECE) - room);
        if (room != 0) {
            write(out - room, room, ctx);
        }
    }
    return 1;
}

#endif /* RAVIK_LCD_NO_LZ */

/* A picture stored as it is packed, `left` bytes: the bytes as they are. */
OUT_OF_LINE static void copy_raw(SINK_PARAM uint32_t left) {
    while (left != 0) {
        const uint16_t bytes = left > 0xFFFFu ? (uint16_t)0xFFFFu : (uint16_t)left;
        emit(SINK_ARG bytes, EMIT_COPY);
        left -= bytes;
    }
}

/* Runs and literals (see ravik_lcd.h), `left` bytes from the sink's emit state's `data`;
 * skips are black unless the sink is `over`. A token cut short by the data's end ends the tokens.
 */
OUT_OF_LINE static void run_tokens(SINK_PARAM uint32_t left) {
    const uint8_t* data = sink->e.data;
    const uint8_t over = sink->over;
    while (left != 0 && sink->pixels != 0) {
        const uint8_t control = DATA_BYTE(data);
        if (control < 0x80u) {
            /* The literal's 3 (control + 1) nibbles take (3 control + 4) / 2 bytes. */
            const uint16_t bytes =
                (uint16_t)((uint16_t)(((uint16_t)control << 1) + control + 4u) >> 1);
            if (left <= bytes) {
                break;
            }
            put_literal(SINK_ARG data + 1, (uint8_t)(control + 1u));
            data += bytes + 1u;
            left -= bytes + 1u;
        } else if (control < 0xC0u) {
            uint8_t second, third;
            if (left < 3u) {
                break;
            }
            second = DATA_BYTE(data + 1);
            third = DATA_BYTE(data + 2);
            put_run(SINK_ARG(uint16_t)(((uint16_t)(control & 0x3Fu) << 4 | second >> 4) + 1u),
                    (uint16_t)((uint16_t)(second & 0x0Fu) << 8 | third));
            data += 3;
            left -= 3u;
        } else {
            uint16_t count;
            if (left < 2u) {
                break;
            }
            count = (uint16_t)(((uint16_t)(control & 0x3Fu) << 8 | DATA_BYTE(data + 1)) + 1u);
            if (over) {
                put_skip(SINK_ARG count);
            } else {
                put_run(SINK_ARG count, 0);
            }
            data += 2;
            left -= 2u;
        }
    }
}

/* Decodes picture `index` into the sink; in a delta frame (the sink `over` the one before) skipped
 * pixels and those after the data are left alone, elsewhere they are black. In line in each
 * caller, so that the tokens' frames lie right under the caller's, with no frame of decode's own
 * between them. */
IN_LINE static void decode(SINK_PARAM const ravik_lcd_asset* asset, uint16_t index) {
    const uint32_t left = open_picture(SINK_ARG asset, index);
    if (sink->form == FORM_RAW) {
        copy_raw(SINK_ARG left);
        return;
    }
    if (sink->form == FORM_RUNS) {
        run_tokens(SINK_ARG left);
    }
    /* The copying form, when its decoder is left out: black, or the previous frame. */
    finish(SINK_ARG_ONLY);
}

/* Streams picture `index` (not in the copying form) through `piece`, RAVIK_LCD_STREAM_PIECE
 * bytes of RAM, in which the pieces handed to write() lie. */
IN_LINE static void stream_through(const ravik_lcd_asset* asset, uint16_t index,
                                   void (*write)(const uint8_t* bytes, uint16_t n, void* ctx)
                                       RAVIK_LCD_REENTRANT,
                                   void* ctx, uint8_t* piece) {
    SINK_HERE
    sink->out = piece;
    sink->piece = piece;
    sink->room = RAVIK_LCD_STREAM_PIECE;
    sink->write = write;
    sink->ctx = ctx;
    sink->over = 0;
    decode(SINK_ARG asset, index);
    if (sink->out != sink->piece) {
        sink->write(sink->piece, (uint16_t)(sink->out - sink->piece), sink->ctx);
    }
}

#if !defined(__SDCC_mcs51)
/* The streams with their buffers on the stack while they stream, each out of line so that
 * ravik_lcd_stream reserves neither's room. */
OUT_OF_LINE static void stream_pieces(const ravik_lcd_asset* asset, uint16_t index,
                                      void (*write)(const uint8_t* bytes, uint16_t n, void* ctx),
                                      void* ctx) {
    uint8_t piece[RAVIK_LCD_STREAM_PIECE];
    stream_through(asset, index, write, ctx, piece);
}
#ifndef RAVIK_LCD_NO_LZ
/* The copying form's ring (a picture of such an asset stored in another form streams through a
 * piece instead). */
OUT_OF_LINE static void stream_copying(const ravik_lcd_asset* asset, uint16_t index,
                                       void (*write)(const uint8_t* bytes, uint16_t n, void* ctx),
                                       void* ctx) {
    uint8_t ring[RAVIK_LCD_HISTORY_SIZE];
    copying_picture(asset, index, ring, write, ctx);
}
#endif
#endif

/* Unpacks a picture in another form than the copying one, through the sink, out of line so
 * that a picture in the copying form is decoded with no sink reserved. */
OUT_OF_LINE static void unpack_pieces(const ravik_lcd_asset* asset, uint16_t index, uint8_t* out) {
    SINK_HERE
    sink->out = out;
    sink->room = 255u;
    sink->write = NULL;
    sink->over = (uint8_t)(asset->delta && index != 0);
    decode(SINK_ARG asset, index);
}

void ravik_lcd_unpack(const ravik_lcd_asset* asset, uint16_t index, uint8_t* out) {
    if (asset == NULL || out == NULL || index >= asset->count) {
        return;
    }
#ifndef RAVIK_LCD_NO_LZ
    if (asset->compression == RAVIK_LCD_LZ && copying_picture(asset, index, out, NULL, NULL)) {
        return;
    }
#endif
    unpack_pieces(asset, index, out);
}

void ravik_lcd_stream(const ravik_lcd_asset* asset, uint16_t index,
                      void (*write)(const uint8_t* bytes, uint16_t n, void* ctx)
                          RAVIK_LCD_REENTRANT,
                      void* ctx) {
    if (asset == NULL || write == NULL || index >= asset->count || (asset->delta && index != 0)) {
        return;
    }
#if defined(__SDCC_mcs51)
    {
        /* One buffer at a fixed place, in external RAM: an 8051's stack has no room for it. It
         * holds the copying form's ring, or a piece. */
#ifndef RAVIK_LCD_NO_LZ
        static uint8_t history[RAVIK_LCD_HISTORY_SIZE];
        if (asset->compression == RAVIK_LCD_LZ &&
            copying_picture(asset, index, history, write, ctx)) {
            return;
        }
        stream_through(asset, index, write, ctx, history);
#else
        static uint8_t piece[RAVIK_LCD_STREAM_PIECE];
        stream_through(asset, index, write, ctx, piece);
#endif
    }
#else
#ifndef RAVIK_LCD_NO_LZ
    if (asset->compression == RAVIK_LCD_LZ) {
        stream_copying(asset, index, write, ctx);
        return;
    }
#endif
    stream_pieces(asset, index, write, ctx);
#endif
}

uint16_t ravik_lcd_delay_ms(const ravik_lcd_asset* asset, uint16_t index) {
    union {
        uint16_t value;
        uint8_t bytes[2];
    } u;
    if (asset == NULL || asset->delays_ms == NULL || index >= asset->count) {
        return 0;
    }
    u.bytes[0] = DATA_BYTE((const uint8_t*)(asset->delays_ms + index));
    u.bytes[1] = DATA_BYTE((const uint8_t*)(asset->delays_ms + index) + 1);
    return u.value;
}

#endif /* RAVIK_LCD_HAS_ASSETS */
