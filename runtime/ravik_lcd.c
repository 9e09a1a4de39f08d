/* Ravik LCD firmware runtime: see ravik_lcd.h for the packing and what each function does. */
#include "ravik_lcd.h"

#include <string.h> /* NULL, size_t */

/* Sizes for an 8-bit processor: positions in a frame row fit 16 bits, and every product of a
 * picture's sides is taken in 32, so nothing overflows a 16-bit int. A picture may hold up to 2^32
 * nibbles. The function that copies calls no other (not even memcpy, for runs of at most 147
 * bytes), so that an 8051 compiler can lay its variables over others' in its small RAM. */

/* ---- Data that may lie in flash -------------------------------------------------------------- */

/* Every byte of a picture, mask, glyph table or glyph bitmap is read through DATA_BYTE, so that on
 * AVR such data can stay in flash (PROGMEM) when the runtime is built with RAVIK_LCD_PROGMEM. */
#if defined(RAVIK_LCD_PROGMEM) && defined(__AVR__)
#include <avr/pgmspace.h>
#define DATA_BYTE(p) ((uint8_t)pgm_read_byte(p))
#else
#define DATA_BYTE(p) (*(const uint8_t*)(p))
#endif
/* An asset's picture offsets, read whole (they are data like the rest). */
#if defined(RAVIK_LCD_PROGMEM) && defined(__AVR__)
#define DATA_U32(p) ((uint32_t)pgm_read_dword(p))
#else
#define DATA_U32(p) (*(const uint32_t*)(p))
#endif

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
            nibble = (uint8_t)(DATA_BYTE(source) & 0x0Fu);
            ++source;
        } else {
            nibble = (uint8_t)(DATA_BYTE(source) >> 4);
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
            *target++ = DATA_BYTE(source);
            ++source;
            --bytes;
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (DATA_BYTE(source) & 0xF0u));
        }
    } else {
        while (bytes != 0) {
            *target++ = (uint8_t)((uint8_t)(DATA_BYTE(source) << 4) | (DATA_BYTE(source + 1) >> 4));
            ++source;
            --bytes;
        }
        if (count & 1u) {
            *target = (uint8_t)((*target & 0x0Fu) | (uint8_t)(DATA_BYTE(source) << 4));
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
                while (at < columns && !(DATA_BYTE(bits) & bit)) {
                    if (bit == 0x80u && DATA_BYTE(bits) == 0) {
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
                while (at < columns && (DATA_BYTE(bits) & bit)) {
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

#if RAVIK_LCD_HAS_TEXT

/* ---- Text ----------------------------------------------------------------------------------- */

/* Where the pen stops, so that the x it returns fits a 16-bit int. */
#define PEN_LIMIT 32767L

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
 * The sum is at most 15 * 15 + 7, so the whole stays in a byte (an 8051 divides bytes itself). */
#define BLEND(c, o, a)                                                                             \
    ((uint8_t)((uint8_t)((uint8_t)((c) * (a)) + (uint8_t)((o) * (uint8_t)(15u - (a))) + 7u) /      \
               (uint8_t)15u))

/* Draws the visible part of a coverage glyph: rows first_row to end_row - 1 and columns
 * first_column to end_column - 1 of its bitmap `bits`, `width` pixels a row. The frame row of
 * its first visible row starts at `line`, its column 0 lies at frame x `left`. Calls nothing
 * (not even a routine to multiply), so that an 8051 compiler can lay its variables over others'. */
static void blend_glyph(uint8_t* line, int left, const uint8_t* bits, uint8_t width,
                        uint8_t first_column, uint8_t end_column, uint8_t first_row,
                        uint8_t end_row, uint16_t rgb) {
    uint8_t red = (uint8_t)(rgb >> 8 & 0x0Fu), green = (uint8_t)(rgb >> 4 & 0x0Fu),
            blue = (uint8_t)(rgb & 0x0Fu);
    uint8_t row, column, byte, a, x, r, g, b;
    uint8_t* p;
    /* Nibble of the glyph's first visible pixel in the row, and of the pixel; at most 255 * 255. */
    uint16_t row_nibble = first_column, nibble;
    for (row = 0; row < first_row; ++row) {
        row_nibble = (uint16_t)(row_nibble + width);
    }
    for (; row < end_row; ++row, line += RAVIK_LCD_ROW_SIZE, row_nibble += width) {
        nibble = row_nibble;
        for (column = first_column; column < end_column; ++column, ++nibble) {
            byte = DATA_BYTE(bits + (nibble >> 1));
            a = (uint8_t)(nibble & 1u ? byte & 0x0Fu : byte >> 4);
            if (a == 0u) {
                continue;
            }
            x = (uint8_t)(left + column);
            /* Pixel x starts in byte 3 * x / 2 of its row. */
            p = line + ((uint16_t)((uint16_t)((uint16_t)x << 1) + x) >> 1);
            if (x & 1u) {
                /* ... R | G B */
                r = (uint8_t)(p[0] & 0x0Fu);
                g = (uint8_t)(p[1] >> 4);
                b = (uint8_t)(p[1] & 0x0Fu);
            } else {
                /* R G | B ... */
                r = (uint8_t)(p[0] >> 4);
                g = (uint8_t)(p[0] & 0x0Fu);
                b = (uint8_t)(p[1] >> 4);
            }
            r = BLEND(red, r, a);
            g = BLEND(green, g, a);
            b = BLEND(blue, b, a);
            if (x & 1u) {
                p[0] = (uint8_t)((p[0] & 0xF0u) | r);
                p[1] = (uint8_t)(g << 4 | b);
            } else {
                p[0] = (uint8_t)(r << 4 | g);
                p[1] = (uint8_t)((p[1] & 0x0Fu) | (uint8_t)(b << 4));
            }
        }
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

int ravik_lcd_text(uint8_t* frame, int x, int y, const char* utf8, const ravik_lcd_font* font,
                   uint16_t rgb) {
    ravik_lcd_font shape;
    ravik_lcd_glyph glyph;
    const uint8_t* text = (const uint8_t*)utf8;
    int32_t pen = x, left, top;
    uint32_t code;
    uint16_t low, high, middle;
    uint8_t first_column, end_column, first_row, end_row, i;
    if (utf8 == NULL || font == NULL) {
        return x;
    }
    shape = *font;
    if (shape.glyphs == NULL) {
        shape.count = 0;
    }
    while (*text != 0) {
        code = next_code_point(&text);
        /* The glyph, found by halving the table and copied into RAM a byte at a time, since
         * the table may lie in flash. */
        low = 0;
        high = shape.count;
        while (low < high) {
            middle = (uint16_t)(low + ((uint16_t)(high - low) >> 1));
            for (i = 0; i < (uint8_t)sizeof glyph; ++i) {
                ((uint8_t*)&glyph)[i] = DATA_BYTE((const uint8_t*)(shape.glyphs + middle) + i);
            }
            if (glyph.codepoint == code) {
                break;
            }
            if (glyph.codepoint < code) {
                low = (uint16_t)(middle + 1u);
            } else {
                high = middle;
            }
        }
        if (low == high) {
            pen += shape.line_height >> 1;
        } else {
            /* The bitmap's top-left. */
            left = pen + glyph.left;
            top = (int32_t)y + shape.ascent - glyph.top;
            if (frame != NULL && shape.bitmaps != NULL &&
                clip_glyph_side(left, glyph.width, RAVIK_LCD_WIDTH, &first_column, &end_column) &&
                clip_glyph_side(top, glyph.height, RAVIK_LCD_HEIGHT, &first_row, &end_row)) {
                /* Both sides overlap the frame, so the top-left fits an int. */
                if (shape.alpha) {
                    blend_glyph(frame + PIXEL_OFFSET(0, top + first_row), (int)left,
                                shape.bitmaps + glyph.offset, glyph.width, first_column, end_column,
                                first_row, end_row, rgb);
                } else {
                    ravik_lcd_draw(frame, (int)left, (int)top, shape.bitmaps + glyph.offset,
                                   glyph.width, glyph.height, NULL);
                }
            }
            pen += glyph.advance;
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

/* The helpers below are reentrant on an 8051 (RAVIK_LCD_REENTRANT): sdcc then keeps their
 * variables on the stack rather than at fixed places in the internal RAM the drawing routines fill.
 *
 * Where decoded nibbles go: straight into the picture (unpack), or into a small piece handed to
 * write() whenever it fills (stream). `at` counts nibbles from the picture's start; `end` is where
 * its pixels end, never past 2 * size, so no nibble lands outside the picture's bytes. */
typedef struct {
    uint8_t* out;
    void (*write)(const uint8_t* bytes, uint16_t n, void* ctx) RAVIK_LCD_REENTRANT;
    void* ctx;
    uint32_t at, end;
    uint8_t fill;
    uint8_t piece[RAVIK_LCD_STREAM_PIECE];
} sink_t;

static void put_nibble(sink_t* sink, uint8_t nibble) RAVIK_LCD_REENTRANT {
    if (sink->out != NULL) {
        uint8_t* byte = sink->out + (sink->at >> 1);
        *byte = (sink->at & 1u) ? (uint8_t)((*byte & 0xF0u) | nibble)
                                : (uint8_t)((*byte & 0x0Fu) | (uint8_t)(nibble << 4));
    } else if (sink->at & 1u) {
        sink->piece[sink->fill] |= nibble;
        if (++sink->fill == RAVIK_LCD_STREAM_PIECE) {
            sink->write(sink->piece, sink->fill, sink->ctx);
            sink->fill = 0;
        }
    } else {
        sink->piece[sink->fill] = (uint8_t)(nibble << 4);
    }
    ++sink->at;
}

/* Pixels the picture still has room for after the sink's position. */
static uint32_t pixels_left(const sink_t* sink) RAVIK_LCD_REENTRANT {
    return (sink->end - sink->at) / 3u;
}

/* `count` pixels of colour 0xRGB, cut to the picture. Into a picture at a byte's start, two
 * pixels are three whole bytes. */
static void put_run(sink_t* sink, uint32_t count, uint16_t rgb) RAVIK_LCD_REENTRANT {
    uint8_t r = (uint8_t)(rgb >> 8 & 0x0Fu), g = (uint8_t)(rgb >> 4 & 0x0Fu),
            b = (uint8_t)(rgb & 0x0Fu);
    if (count > pixels_left(sink)) {
        count = pixels_left(sink);
    }
    if (sink->out != NULL && !(sink->at & 1u)) {
        uint8_t* byte = sink->out + (sink->at >> 1);
        uint8_t rg = (uint8_t)(r << 4 | g), br = (uint8_t)(b << 4 | r), gb = (uint8_t)(g << 4 | b);
        sink->at += (count >> 1) * 6u;
        for (; count >= 2; count -= 2) {
            *byte++ = rg;
            *byte++ = br;
            *byte++ = gb;
        }
    }
    for (; count != 0; --count) {
        put_nibble(sink, r);
        put_nibble(sink, g);
        put_nibble(sink, b);
    }
}

/* `count` pixels packed from the high nibble of `source`, cut to the picture. */
static void put_literal(sink_t* sink, const uint8_t* source, uint32_t count) RAVIK_LCD_REENTRANT {
    uint32_t nibbles, k;
    if (count > pixels_left(sink)) {
        count = pixels_left(sink);
    }
    nibbles = count * 3u;
    if (sink->out != NULL && !(sink->at & 1u)) {
        /* Both streams on a byte's high nibble: whole bytes are copied. */
        uint8_t* byte = sink->out + (sink->at >> 1);
        for (k = nibbles >> 1; k != 0; --k) {
            *byte++ = DATA_BYTE(source);
            ++source;
        }
        sink->at += nibbles & ~(uint32_t)1u;
        if (nibbles & 1u) {
            put_nibble(sink, (uint8_t)(DATA_BYTE(source) >> 4));
        }
        return;
    }
    for (k = 0; k < nibbles; ++k) {
        uint8_t byte = DATA_BYTE(source + (k >> 1));
        put_nibble(sink, (k & 1u) ? (uint8_t)(byte & 0x0Fu) : (uint8_t)(byte >> 4));
    }
}

/* Decodes picture `index` into the sink; in a delta frame (`over`) skipped pixels and those after
 * the data are left alone, elsewhere they are black. Every read stays inside the picture's stored
 * bytes, which must lie inside `stored`. */
static void decode(const ravik_lcd_asset* asset, uint16_t index, sink_t* sink,
                   uint8_t over) RAVIK_LCD_REENTRANT {
    uint32_t size = asset->size, pixels = (uint32_t)asset->width * asset->height;
    uint32_t limit = size > 0x7FFFFFFFUL ? 0xFFFFFFFFUL : size << 1;
    uint32_t begin = 0, left = 0;
    const uint8_t* data = asset->data;
    sink->at = 0;
    sink->end = pixels > limit / 3u ? limit : pixels * 3u;
    if (data != NULL && asset->offsets != NULL) {
        uint32_t end = DATA_U32(asset->offsets + index + 1);
        begin = DATA_U32(asset->offsets + index);
        if (begin <= end && end <= asset->stored) {
            left = end - begin;
            data += begin;
        }
    }
    if (left == size) {
        /* Stored as it is packed. */
        for (; left != 0; --left) {
            uint8_t byte = DATA_BYTE(data);
            ++data;
            if (sink->out != NULL) {
                *sink->out++ = byte;
            } else {
                put_nibble(sink, (uint8_t)(byte >> 4));
                put_nibble(sink, (uint8_t)(byte & 0x0Fu));
            }
        }
        return;
    }
    while (left != 0 && sink->at < sink->end) {
        uint8_t control = DATA_BYTE(data);
        if (control < 0x80u) {
            uint32_t count = (uint32_t)control + 1u, bytes = (count * 3u + 1u) >> 1;
            if (left <= bytes) {
                break;
            }
            put_literal(sink, data + 1, count);
            data += bytes + 1u;
            left -= bytes + 1u;
        } else if (control < 0xC0u) {
            uint8_t second, third;
            if (left < 3u) {
                break;
            }
            second = DATA_BYTE(data + 1);
            third = DATA_BYTE(data + 2);
            put_run(sink, ((uint32_t)(control & 0x3Fu) << 4 | second >> 4) + 1u,
                    (uint16_t)((uint16_t)(second & 0x0Fu) << 8 | third));
            data += 3;
            left -= 3u;
        } else {
            uint32_t count;
            if (left < 2u) {
                break;
            }
            count = ((uint32_t)(control & 0x3Fu) << 8 | DATA_BYTE(data + 1)) + 1u;
            if (over) {
                if (count > pixels_left(sink)) {
                    count = pixels_left(sink);
                }
                sink->at += count * 3u;
            } else {
                put_run(sink, count, 0);
            }
            data += 2;
            left -= 2u;
        }
    }
    if (!over) {
        put_run(sink, pixels_left(sink), 0);
    }
    /* An odd count of nibbles leaves the last byte's low nibble, which is 0. A delta frame's
     * tokens may end anywhere before it: the nibbles from there on are the previous frame's. */
    if (pixels_left(sink) == 0 && (sink->at & 1u) && (sink->at >> 1) < size) {
        put_nibble(sink, 0);
    }
}

void ravik_lcd_unpack(const ravik_lcd_asset* asset, uint16_t index, uint8_t* out) {
    sink_t sink;
    if (asset == NULL || out == NULL || index >= asset->count) {
        return;
    }
    sink.out = out;
    decode(asset, index, &sink, (uint8_t)(asset->delta && index != 0));
}

void ravik_lcd_stream(const ravik_lcd_asset* asset, uint16_t index,
                      void (*write)(const uint8_t* bytes, uint16_t n, void* ctx)
                          RAVIK_LCD_REENTRANT,
                      void* ctx) {
    sink_t sink;
    if (asset == NULL || write == NULL || index >= asset->count || (asset->delta && index != 0)) {
        return;
    }
    sink.out = NULL;
    sink.write = write;
    sink.ctx = ctx;
    sink.fill = 0;
    decode(asset, index, &sink, 0);
    if (sink.fill != 0) {
        write(sink.piece, sink.fill, ctx);
    }
}

#endif /* RAVIK_LCD_HAS_ASSETS */
