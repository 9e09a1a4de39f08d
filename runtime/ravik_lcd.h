/* Ravik LCD firmware runtime: drawing into the frame of a 98 x 67 colour LCD with 12-bit colour.
 *
 * Packing. A width x height picture is a continuous stream of 4-bit nibbles: the pixels row after
 * row, each row left to right, each pixel three nibbles R, G, B (the high four bits of its 8-bit
 * channels), high nibble first in each byte. Rows are not padded: in a picture of odd width a row
 * ends in the middle of a byte and the next row carries on in its low nibble. Two neighbouring
 * pixels of the stream share three bytes: R0 G0, B0 R1, G1 B1. A picture takes
 * ceil(width * height * 3 / 2) bytes; when width * height is odd the last byte's low nibble is 0.
 * This is the stream the controller takes after a width x height window is set.
 *
 * The frame is such a picture, 98 x 67: 147 bytes a row, 9849 bytes in all; pixel (x, y) starts
 * in byte 147 * y + x * 3 / 2, in its high nibble when x is even, in its low nibble when x is odd.
 *
 * Masks. One bit a pixel, each row padded to whole bytes ((width + 7) / 8 bytes a row), the
 * leftmost pixel in the top bit of a byte; 1 = drawn, 0 = left as it is.
 *
 * Fonts. A font is a table of glyph records, ascending by code point, a table of metrics, and
 * one array of bitmaps. Every table is read a byte at a time, so nothing needs alignment and a
 * record takes the same bytes on every chip, its code point included. The tool groups the records
 * and sizes them for each font, and ravik_lcd_font says how:
 *   groups       group_count entries of 8 bytes, ascending, each least significant byte first:
 *                the group's code point (3 bytes), the index of its first glyph (2), where its
 *                bitmaps start in the bitmaps (3). A group's glyphs run to the next group's first
 *                (the last group's to count).
 *   record       record_size (2 to 5) bytes: the step from the code point before, the group's for
 *                its first glyph (1 byte: glyph code points in a group are its code point plus the
 *                steps so far), then a field of record_size - 1 bytes, least significant byte
 *                first. The field's low offset_bits bits (0 to 16) are the bitmap's length in
 *                bytes, the bits above them the index of the glyph's metrics. A glyph's bitmap
 *                starts where its group's do, plus the lengths of the group's glyphs before it.
 *   metrics      metrics_count entries of RAVIK_LCD_METRICS_SIZE (6) bytes: width and height of
 *                the bitmap, the glyph's ink box (0 x 0 for a glyph without ink); left and top,
 *                signed: the bitmap's top-left = (pen x + left, baseline - top); advance: the pen
 *                x moves by this; its form: 1 when the bitmap is compressed, else 0. Glyphs of one
 *                box and form share an entry (a set of hanzi has one to two hundred in all).
 * The runtime halves the groups, then steps through one group's records (the tool puts up to 32
 * glyphs in a group, and starts a new one where a step would pass 255). ASCII and GB2312 level 1
 * (3,850 glyphs) take 3.4 to 3.5 bytes a glyph so, tables included, at 12 to 24 pixels.
 * A font written by hand may leave out the groups (groups NULL): each record then holds its code
 * point's low 16 bits (its plane: see planes) and the field, record_size 3 to 6, whose low
 * offset_bits bits are the bitmap's whole offset; a compressed bitmap then runs to the next
 * record's offset (no bytes if that lies before it). RAVIK_LCD_GLYPH and RAVIK_LCD_METRICS write
 * such a record and an entry. Code points past U+FFFF in such a font: the plane table lists, for
 * each plane from 1 to 16 that has glyphs, three bytes: the plane, then the index of its first
 * glyph (16 bits, least significant byte first); glyphs before the first entry's index are of
 * plane 0. A grouped font has no plane table: its groups' code points hold the planes.
 * A record whose metrics index is past the table counts as a glyph the font lacks, as do all of a
 * font whose record_size or offset_bits is out of its range; nothing is read outside the tables
 * that count, record_size, group_count and plane_count size. (Sets made before the grouped records
 * must be made again.)
 *
 * A glyph's bitmap starts at a whole byte of the bitmaps. In an RGB444 font (bpp = 0) it is a
 * width x height picture packed as above. In a coverage font each pixel is a level of bpp (1, 2 or
 * 4) bits, 0 = none; the runtime scales it to a 4-bit coverage a (1 bit: 0 or 15; 2 bits: 0, 5,
 * 10, 15; 4 bits: as it is) and blends with it as ravik_lcd_text says. Stored as it is, the
 * levels follow each other row after row, the first pixel in the top bits of the first byte, rows
 * not padded (at 4 bits: two pixels a byte, high nibble first). A compressed bitmap runs from
 * its start to the next glyph's (its length; never past bitmaps_size); reading on past its bytes
 * gives 0 bits. At 4 bits it holds two bit streams: from its first byte on, levels of 4
 * bits packed as above, most significant bit first (the rows kept as they are and the literals,
 * in the order they are met); and from its last byte back, the control bits, each byte's least
 * significant bit first (the glyph's last byte holds the first eight, the very first in its bit
 * 0). The two share the byte where they meet, the levels in its top bits, the control bits in
 * its bottom ones, so a glyph leaves at most 7 bits unused, between them.
 * The control bits make each row, above the first lying a blank row, one of:
 *   1            the same levels as the row above
 *   01           the row's levels as they are, taken from the levels
 *   00 tokens    tokens until the row's width is covered, each a kind and a count N:
 *                  above     N pixels of the row above's levels
 *                  literals  N pixels whose levels are the next N levels
 *                  none      N pixels of none
 *                  full      N pixels of full coverage (level 15)
 *                the row's first token's kind as 0 above, 10 literals, 110 none, 111 full; each
 *                later token's as one of the three kinds other than the one before it: 1 the
 *                first, 01 the second, 00 the third that RAVIK_LCD_NEXT_TOKENS lists after it
 *                (after above: literals, none, full; after none: literals, above, full; after
 *                full: literals, above, none; after literals: above, none, full)
 * where N (1 to 255) is written as M = N + 1 in its L bits, its leading 1 first, after L - 2 0
 * bits (1 = "10", 2 = "11", 3 = "0100", 6 = "0111", 7 = "001000").
 *
 * At 1 and 2 bits a compressed bitmap is one arithmetic-coded bit stream, most significant bit
 * first: the interval [low, high] starts as [0, 65535] and `value` as the stream's first 16 bits. A
 * bit whose odds of being 0 are o / 256 (o from RAVIK_LCD_BIT_ODDS at 1 bit, RAVIK_LCD_LEVEL_ODDS
 * at 2, by context) is 1 when value >= split = low + ((high - low) >> 8) * o, and then low = split,
 * else high = split - 1. Then, while the interval lies in one half or in the middle half, it is
 * doubled: by 0 while high < 32768, after taking 32768 from low, high and value while low >= 32768,
 * after taking 16384 from them while low >= 16384 and high < 49152; each doubling makes low = 2
 * low, high = 2 high + 1 and value = 2 value + the stream's next bit. At 1 bit each row, above the
 * first lying a blank row, starts with a bit in context 32: 1 when it is the row above, else its
 * pixels follow, left to right, each in the context above + 2 left + 4 above-left + 8 above-right +
 * 16 two-left (each 1 when that pixel is 1; 0 outside the glyph).
 * At 2 bits the row's bit (1: the row above) takes its odds from RAVIK_LCD_LEVEL_ODDS[256], and
 * each pixel of a new row has the context c = 4 above + 16 left + 64 above-left (their levels, 0
 * outside the glyph), an offset into RAVIK_LCD_LEVEL_ODDS: its byte c + 3 orders the four levels
 * from the likeliest, two bits each, the first in the top bits. The pixel is a 0 bit with odds [c]
 * when it is the first level of that order, else a 1 bit, then 0 with odds [c + 1] when it is the
 * second, else 1, then 0 with odds [c + 2] for the third, 1 for the fourth. The decoder needs only
 * the row buffer and a byte of context, and most pixels take one step.
 * The coder ends its stream with the bits that pick a point of its last interval, and 0 bytes at
 * its end are left out. (Compressed glyphs made before these forms, their token codes and counts,
 * the kinds coded after the one before and the two streams' shared byte, must be made again; so
 * must 2-bit compressed glyphs made before they were arithmetic-coded, which were tokens as at 4
 * bits.)
 *
 * The runtime decodes each row over the one above in a buffer of RAVIK_LCD_GLYPH_ROW bytes (and
 * a blank one after them), its only one, and reads nothing outside the glyph's bytes: corrupt data
 * draws wrong pixels inside the glyph's box, never outside it or the frame. Levels never straddle a
 * byte, so reading one is a shift, as in a packed bitmap. A compressed glyph wider than
 * RAVIK_LCD_GLYPH_ROW is not drawn (the tool compresses glyphs up to 64 pixels wide and keeps wider
 * ones packed; a header that needs more says so with #error).
 *
 * Flash on AVR. There a plain pointer reads RAM, so data kept in flash with PROGMEM can't be read
 * through one. Compile ravik_lcd.c with -DRAVIK_LCD_PROGMEM and the runtime reads pictures,
 * masks, fonts' records, metrics, groups, planes and bitmaps, and assets' arrays with
 * pgm_read_byte (from <avr/pgmspace.h>); all of them must then be PROGMEM data, except a picture or
 * mask that ravik_lcd_draw_from is told lies in RAM. The frame, the text, and the ravik_lcd_font
 * and ravik_lcd_asset structures themselves stay in RAM. Other processors read flash through plain
 * pointers and need nothing of this.
 *
 * Switches, each set (-D) when compiling ravik_lcd.c, the same for every file that includes this:
 *   RAVIK_LCD_PROGMEM     AVR: data in flash, as above (lpm takes a cycle more than a RAM read).
 *   RAVIK_LCD_READ_BYTE(p) the byte at p, for data kept where the build keeps it (every picture,
 *                         mask, glyph and asset byte the runtime reads goes through it). Defaults
 *                         to pgm_read_byte(p) under RAVIK_LCD_PROGMEM on AVR, else *p. A chip
 *                         whose flash takes only aligned 32-bit reads (an ESP8266's, for data
 *                         marked ICACHE_RODATA_ATTR) gives its own, e.g. on a little-endian chip:
 *                           -D'RAVIK_LCD_READ_BYTE(p)=((uint8_t)(*(const uint32_t*)((uintptr_t)(p)
 *                             & ~(uintptr_t)3) >> (((uintptr_t)(p) & 3u) * 8u)))'
 *   RAVIK_LCD_GLYPH_ROW   bytes of the one buffer ravik_lcd_text keeps on the stack for a
 *                         compressed glyph's row (default 64, and one kept blank): the widest
 *                         compressed glyph it draws. Smaller saves stack where glyphs are narrow.
 *   RAVIK_LCD_NO_TEXT     leaves out ravik_lcd_text and the font types' use (saves its code,
 *                         about a third of the runtime on AVR and Cortex-M0).
 *   RAVIK_LCD_NO_ASSETS   leaves out ravik_lcd_unpack, ravik_lcd_stream and ravik_lcd_delay_ms
 *                         (saves their code, about two fifths of the runtime).
 *   RAVIK_LCD_NO_LZ       leaves out the decoder of the copying form (RAVIK_LCD_LZ; saves about
 *                         2.6 KB of code on AVR, 2 KB on Cortex-M0, 5.8 KB and 358 bytes of
 *                         external RAM, the ring's 294 among them, on an 8051); such pictures
 *                         then come out black (a delta frame unchanged).
 *
 * Plain C99 for any processor: no allocation, no floating point, no recursion, and nothing but
 * <stdint.h> and <string.h>. Index arithmetic holds with a 16-bit int; a picture may be up to
 * 2^32 nibbles long. The functions read and write only the bytes named here, so a frame buffer of
 * exactly RAVIK_LCD_FRAME_SIZE bytes is enough; the picture and mask must not overlap the frame.
 */
#ifndef RAVIK_LCD_H
#define RAVIK_LCD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RAVIK_LCD_WIDTH 98
#define RAVIK_LCD_HEIGHT 67
/* Bytes of one frame row: 98 pixels of three nibbles each. */
#define RAVIK_LCD_ROW_SIZE 147
/* Bytes of the whole frame, the stream the display takes after the full window is set. */
#define RAVIK_LCD_FRAME_SIZE 9849

/* Bytes of a packed width x height picture, as an unsigned long (it can exceed 65535). */
#define RAVIK_LCD_PACKED_SIZE(width, height)                                                       \
    (((unsigned long)(width) * (unsigned long)(height)*3UL + 1UL) / 2UL)
/* Bytes of the mask of a width x height picture: each row padded to whole bytes. */
#define RAVIK_LCD_MASK_SIZE(width, height)                                                         \
    ((((unsigned long)(width) + 7UL) / 8UL) * (unsigned long)(height))

/* Draws a width x height picture, packed as above, with its top-left pixel at (x, y) of the
 * frame. x and y may be negative or odd; whatever falls outside the frame is clipped on every
 * edge. mask may be NULL (every pixel drawn); otherwise a pixel is drawn where its mask bit is 1.
 * Frame pixels not drawn keep their nibbles. Nothing is drawn when width or height is 0 or less
 * or frame or pixels is NULL. */
void ravik_lcd_draw(uint8_t* frame, int x, int y, const uint8_t* pixels, int width, int height,
                    const uint8_t* mask);

/* Where ravik_lcd_draw_from finds the picture and its mask: bits of `from`. Without a bit, that
 * array lies where the build keeps its data (flash under RAVIK_LCD_PROGMEM), as in ravik_lcd_draw;
 * with it, in RAM: a picture ravik_lcd_unpack wrote, drawn with its mask from flash, is
 * RAVIK_LCD_PIXELS_IN_RAM. Without RAVIK_LCD_PROGMEM (or an own RAVIK_LCD_READ_BYTE) both are
 * read alike. */
#define RAVIK_LCD_PIXELS_IN_RAM 1u
#define RAVIK_LCD_MASK_IN_RAM 2u

/* ravik_lcd_draw, reading pixels and mask where `from` says. */
void ravik_lcd_draw_from(uint8_t* frame, int x, int y, const uint8_t* pixels, int width, int height,
                         const uint8_t* mask, uint8_t from);

/* The colour of frame pixel (x, y) as 0x0RGB (red in bits 8-11, green 4-7, blue 0-3); 0 for a
 * pixel outside the frame or a NULL frame. */
uint16_t ravik_lcd_get_pixel(const uint8_t* frame, int x, int y);

/* Sets frame pixel (x, y) to the colour 0x0RGB (the top four bits of rgb are ignored), touching
 * only its three nibbles. A pixel outside the frame, or a NULL frame, is left alone. */
void ravik_lcd_set_pixel(uint8_t* frame, int x, int y, uint16_t rgb);

/* Whether the text routine is compiled: not with RAVIK_LCD_NO_TEXT, nor in an 8051's small memory
 * model, which keeps every function's variables in its 128 bytes of internal RAM, which the
 * drawing routines fill: build with sdcc --model-large (or --model-medium) to have it. */
#if defined(RAVIK_LCD_NO_TEXT) || (defined(__SDCC_mcs51) && defined(__SDCC_MODEL_SMALL))
#define RAVIK_LCD_HAS_TEXT 0
#else
#define RAVIK_LCD_HAS_TEXT 1
#endif

#ifndef RAVIK_LCD_GLYPH_ROW
#define RAVIK_LCD_GLYPH_ROW 64
#endif

/* The odds of a 0 bit, in 256ths, in each of the 33 contexts of a compressed 1-bit glyph (see
 * Fonts above): contexts 0-31 for a pixel, 32 for "the row is the same as the one above". Counted
 * once over anti-aliased CJK and Latin glyphs at 12, 16 and 24 pixels; the tool codes with them
 * and the runtime decodes with them, so they are part of the stored form. */
#define RAVIK_LCD_BIT_ODDS                                                                         \
    229, 43, 91, 70, 208, 137, 186, 45, 197, 88, 55, 31, 215, 205, 208, 123, 238, 52, 46, 32, 241, \
        177, 166, 107, 219, 113, 42, 25, 234, 231, 191, 66, 222

/* For a compressed 2-bit glyph (see Fonts above): for each of the 64 contexts, at offsets 0, 4, ...
 * 252, the odds of a 0 bit of its first three steps and its order of levels; at 256 the odds of
 * "the row is not the one above". Counted by tools/make-level-odds.py over ASCII + GB2312 level 1
 * of Noto Sans CJK SC, anti-aliased, at 12, 16 and 24 pixels; part of the stored form, as above. */
#define RAVIK_LCD_LEVEL_ODDS                                                                       \
    228, 154, 202, 27, 110, 140, 169, 75, 142, 116, 159, 141, 174, 90, 130, 228, 97, 139, 142, 27, \
        144, 132, 191, 228, 146, 191, 172, 228, 203, 203, 199, 228, 141, 124, 129, 135, 125, 182,  \
        184, 228, 145, 181, 204, 228, 181, 185, 234, 228, 207, 105, 152, 216, 219, 165, 193, 228,  \
        214, 188, 210, 228, 214, 199, 238, 228, 235, 140, 210, 27, 205, 154, 197, 27, 134, 137,    \
        167, 39, 95, 104, 133, 27, 224, 127, 183, 27, 140, 96, 150, 99, 166, 124, 152, 180, 215,   \
        168, 189, 228, 127, 142, 174, 39, 84, 114, 170, 156, 85, 119, 179, 156, 170, 154, 191,     \
        228, 92, 87, 128, 210, 217, 154, 203, 228, 158, 130, 185, 228, 177, 135, 240, 228, 238,    \
        151, 221, 27, 194, 138, 193, 27, 204, 115, 206, 27, 77, 104, 138, 39, 209, 115, 188, 27,   \
        95, 108, 172, 27, 111, 109, 172, 39, 111, 115, 159, 228, 209, 116, 202, 27, 146, 127, 154, \
        75, 135, 116, 164, 135, 188, 107, 169, 216, 90, 100, 144, 225, 101, 108, 138, 216, 214,    \
        101, 157, 216, 141, 201, 214, 228, 243, 163, 194, 27, 228, 146, 198, 27, 203, 122, 202,    \
        39, 196, 97, 150, 27, 229, 117, 185, 27, 163, 104, 155, 54, 137, 104, 143, 39, 107, 116,   \
        162, 78, 205, 111, 191, 27, 135, 135, 152, 30, 109, 119, 138, 54, 141, 101, 142, 177, 178, \
        106, 130, 57, 142, 106, 167, 114, 120, 116, 157, 180, 94, 117, 168, 228, 240

/* The kinds a compressed glyph's token may take after a token of each kind (see Fonts above), the
 * likeliest first: after above, none, full and literals (kinds 0, 1, 2, 3), three kinds each.
 * Counted over anti-aliased CJK and Latin glyphs at 12 and 16 pixels; part of the stored form. */
#define RAVIK_LCD_NEXT_TOKENS 3, 1, 2, 3, 0, 2, 3, 0, 1, 0, 1, 2

/* Bytes of a metrics entry, and an entry's six bytes (see Fonts above): width, height, left, top,
 * advance, 1 when the bitmap is compressed. */
#define RAVIK_LCD_METRICS_SIZE 6u
#define RAVIK_LCD_METRICS(width, height, left, top, advance, compressed)                           \
    (uint8_t)(width), (uint8_t)(height), (uint8_t)(int8_t)(left), (uint8_t)(int8_t)(top),          \
        (uint8_t)(advance), (uint8_t)((compressed) ? 1u : 0u)
/* A record of 6 bytes for a font written by hand: the code point, then the offset in the low 24
 * bits of the field and the metrics index (0 to 255) in its top 8 (record_size 6, offset_bits
 * 24, no groups). Constant expressions, for a static array's initialiser, with a 16-bit int as
 * well. The tool writes each font's records as bytes, sized for it. */
#define RAVIK_LCD_GLYPH(code, offset, metrics)                                                     \
    (uint8_t)((code)&0xFFu), (uint8_t)((code) >> 8 & 0xFFu), (uint8_t)((offset)&0xFFu),            \
        (uint8_t)((offset) >> 8 & 0xFFu), (uint8_t)((unsigned long)(offset) >> 16 & 0xFFu),        \
        (uint8_t)(metrics)

/* A font: its glyph records, their metrics and bitmaps and the line's measures, as the tool writes
 * them into a header. Its fields changed when the records were grouped (offsets and group_bits
 * gave way to groups and group_count; before that records were sized for each font, and were 10
 * and 16 bytes); headers made before must be made again. The structure takes 26 bytes of RAM on
 * an AVR. */
typedef struct {
    const uint8_t* glyphs;  /* count records of record_size bytes, by code point */
    const uint8_t* metrics; /* metrics_count entries of RAVIK_LCD_METRICS_SIZE bytes */
    const uint8_t* groups;  /* group_count entries of 8 bytes; NULL: records hold code points */
    const uint8_t* planes;  /* NULL when grouped or every code point is below U+10000 */
    const uint8_t* bitmaps; /* every glyph's bitmap */
    uint32_t bitmaps_size;  /* bytes of bitmaps: nothing past them is read */
    uint16_t count;         /* glyph records */
    uint16_t metrics_count; /* metrics entries */
    uint16_t group_count;   /* entries of groups */
    uint8_t record_size;    /* bytes of a record: 2 to 5 grouped, else 3 to 6 */
    uint8_t offset_bits;    /* bits of a record's length (grouped, 0 to 16) or offset (0 to 24) */
    uint8_t plane_count;    /* entries of planes */
    uint8_t line_height;    /* pixels from one line's top to the next */
    uint8_t ascent;         /* baseline = line top + ascent */
    uint8_t bpp;            /* 1, 2 or 4: coverage levels of that many bits; 0: RGB444 */
} ravik_lcd_font;

/* Draws UTF-8 text with the line's top-left at (x, y), clipped to the frame. A compressed glyph,
 * and a 1- or 2-bit one, is drawn a row at a time as it is decoded, through its one row buffer
 * (RAVIK_LCD_GLYPH_ROW bytes of stack; a wider packed row a buffer at a time). Coverage fonts blend
 * rgb (0x0RGB) over the frame's pixel: (c * a + old * (15 - a) + 7) / 15 per nibble, c the nibble
 * of rgb, a the coverage, old the frame's nibble; RGB444 fonts copy their pixels (rgb unused). A
 * code point the font lacks advances by line_height / 2; an invalid UTF-8 sequence (cut short,
 * overlong, a surrogate, past U+10FFFF) counts as U+FFFD. The text ends at
 * its NUL, which must lie in RAM. A glyph whose packed bitmap would end past bitmaps_size is not
 * drawn (it still advances). The pen x and the line's y are kept within -32768 to 32767
 * (whatever int is), so no position overflows. Returns the pen x after the last glyph (it stops at
 * 32767, so it fits a 16-bit int); x itself when utf8 or font is NULL. With a NULL frame nothing is
 * drawn and the pen x still returned: the width of a text, to centre or right-align it. */
#if RAVIK_LCD_HAS_TEXT
int ravik_lcd_text(uint8_t* frame, int x, int y, const char* utf8, const ravik_lcd_font* font,
                   uint16_t rgb);
#endif

/* ---- Assets: pictures, sprites and animations kept in flash, compressed or not ----------------
 */

/* An asset's pictures all have one size and are stored one after the other: picture i is the
 * bytes data[offsets[i]] up to data[offsets[i + 1]]. A picture whose stored length is exactly
 * `size` is its packed bytes as they are; any other length is a token stream over its pixels, each
 * token starting with a control byte (n = the pixels it covers):
 *   0LLLLLLL                     literal: n = L + 1 (1-128) pixels follow packed as above, from a
 *                                byte's high nibble, ceil(3n / 2) bytes (an odd n leaves the last
 *                                byte's low nibble 0)
 *   10LLLLLL LLLLRRRR GGGGBBBB   run: n = L + 1 (1-1024) pixels of colour R G B
 *   11LLLLLL LLLLLLLL            skip: n = L + 1 (1-16384) pixels left as they are
 * In a delta asset every picture after the first holds what changed since the one before; its
 * skips and the pixels after its last token keep the previous frame's colour. In any other picture
 * both are black. Corrupt data is cut off where it ends: no token reads past `stored` or writes
 * past `size` bytes.
 *
 * An asset of compression RAVIK_LCD_LZ has tokens of its own instead, which also copy pixels
 * already decoded, d pixels back (d = 1 repeats the pixel before: a run), and store a pixel near
 * the one before it in a byte:
 *   00LLLLLL                     literal: n = L + 1 (1-64) pixels follow packed, ceil(3n / 2) bytes
 *   01LLLLLL, then n bytes       near: n = L + 1 (1-64) pixels, each a byte GGGRRRBB against the
 *                                pixel before it (black before pixel 0): green moves by GGG - 4,
 *                                red by that and RRR - 4, blue by that and BB - 2, modulo 16
 *   10LLLLLL                     above: n = L + 1 (1-64) pixels copied from d = width back
 *   110LLLLL DDDDDDDD            copy: n = L + 2 (2-33) pixels from d = D + 1 back
 *   1110LLLL LLLLLLLL DDDDDDDD   long copy: n = L + 1 (1-4096) pixels from d = D + 1 back
 *   1111LLLL LLLLLLLL            skip: n = L + 1 (1-4096) pixels, as the skip above
 * A copy goes pixel by pixel, so it may overlap what it writes (d < n repeats a pattern). It
 * reaches at most RAVIK_LCD_HISTORY_PIXELS back, two rows of the display, what ravik_lcd_stream
 * keeps: a picture or sprite wider than that has no "above" (the tool then copies from nearer
 * pixels only). A copy from further back, or from before pixel 0, is corrupt and ends the tokens
 * there (the rest is black, or the previous frame's). In a delta frame copies and near pixels read
 * the frame being made, whose earlier pixels are final: written, or skipped and so the previous
 * frame's. A picture whose first byte is RAVIK_LCD_RUNS_MARK (an "above" before any pixel, which
 * the copying tokens never start with) holds the runs and literals above after it instead: an
 * asset made with compress = "auto" stores each picture in whichever form is smaller.
 *
 * With RAVIK_LCD_PROGMEM on AVR the arrays (data, offsets, mask, delays_ms) are read from flash;
 * the ravik_lcd_asset itself stays in RAM, as a font does. */
/* Whether the asset routines are compiled: not with RAVIK_LCD_NO_ASSETS; nor, like the text
 * routine, in an 8051's small memory model; build with sdcc --model-large to have them. */
#if defined(RAVIK_LCD_NO_ASSETS) || (defined(__SDCC_mcs51) && defined(__SDCC_MODEL_SMALL))
#define RAVIK_LCD_HAS_ASSETS 0
#else
#define RAVIK_LCD_HAS_ASSETS 1
#endif

#define RAVIK_LCD_RAW 0 /* every picture (or, in a delta asset, frame 0) stored as packed */
#define RAVIK_LCD_RLE 1 /* runs and literals, raw where that is smaller */
#define RAVIK_LCD_LZ 2  /* the copying tokens, raw where that is smaller */
/* The first byte of an RAVIK_LCD_LZ picture that holds runs and literals instead. */
#define RAVIK_LCD_RUNS_MARK 0x80u

/* How far back the copying tokens reach: two rows of the display, in pixels and in bytes. */
#define RAVIK_LCD_HISTORY_PIXELS 196
#define RAVIK_LCD_HISTORY_SIZE 294

typedef struct {
    uint16_t width, height;    /* of each picture */
    uint16_t count;            /* pictures: 1, tiles, frames */
    uint32_t size;             /* bytes of one unpacked picture: RAVIK_LCD_PACKED_SIZE */
    uint32_t stored;           /* bytes of data */
    uint8_t delta;             /* 1: pictures after the first are changes to the one before */
    uint8_t compression;       /* RAVIK_LCD_RAW, RAVIK_LCD_RLE or RAVIK_LCD_LZ */
    const uint8_t* mask;       /* NULL, or count masks of RAVIK_LCD_MASK_SIZE bytes each */
    const uint16_t* delays_ms; /* NULL, or count delays of an animation's frames */
    const uint8_t* data;       /* stored bytes */
    const uint32_t* offsets;   /* count + 1 entries, the last = stored */
} ravik_lcd_asset;

#if RAVIK_LCD_HAS_ASSETS
/* Writes picture `index` of the asset, unpacked, to out (asset->size bytes). For a delta
 * animation, out must hold frame index - 1 (anything for frame 0): the playback loop. An index
 * past the last picture, a NULL asset or NULL out writes nothing. */
void ravik_lcd_unpack(const ravik_lcd_asset* asset, uint16_t index, uint8_t* out);

/* Hands picture `index`'s exact bytes to write() in pieces of at most RAVIK_LCD_STREAM_PIECE
 * bytes, in order, asset->size bytes in all, for controllers written directly, with no frame buffer
 * in RAM. Not for delta frames: frame 0 of a delta animation streams, every later frame (which only
 * makes sense over the frame before it) writes nothing, as does an index past the last picture.
 * The bytes handed over lie in RAM (a buffer of the runtime's) and are valid only during the call.
 * RAM: a RAVIK_LCD_STREAM_PIECE-byte piece on the stack, or, for RAVIK_LCD_LZ, a ring of the last
 * RAVIK_LCD_HISTORY_SIZE bytes decoded (294: two rows of the display), in which the pieces lie,
 * and one decoder function that calls nothing but write(). All the stack an LZ picture's stream
 * takes, the ring, the decoder's state, return addresses and saved registers included (write()'s
 * return address too, its own frame not): 348 bytes on an ATmega1284, two rows and 54 bytes
 * (the ring's frame 6, the decoder's 46, write()'s return 2); 416 on a Cortex-M0, two rows and
 * 122 (ravik_lcd_stream's frame 8, as Thumb code makes no tail calls, the ring's 18, the
 * decoder's 96: five saved registers and 76 bytes of state its eight registers don't hold).
 * Runs and literals: 77 and 184 bytes. tools/bench-mcu.sh measures them on the emulated chips
 * (stack table, rows stream-frame-lz and stream-frame: from the caller's stack pointer to the
 * deepest byte written, the receiver keeping nothing on the stack; 354 on the AVR, whose timer
 * interrupt may add its 7 bytes at the deepest point, 408 on the Cortex-M0, where stack reserved
 * but not written is not seen); docs/runtime-on-chips.md has the figures. On an 8051 the ring
 * and the decoder's variables lie at fixed places in external RAM (370 bytes), and the stack in
 * internal RAM takes 22 to 27 bytes with a timer interrupt's frame, as it falls.
 */
#ifndef RAVIK_LCD_STREAM_PIECE
/* Set it (1 to 254, the same for every file) to trade RAM for calls: the piece lies in RAM while
 * streaming, and each piece costs a call of write() (on an 8051, 32 instead of 12 makes streaming
 * a sixth faster). */
#define RAVIK_LCD_STREAM_PIECE 12
#endif
/* sdcc on an 8051 passes several arguments through a function pointer only to a reentrant
 * function: there write() must be declared with RAVIK_LCD_REENTRANT (__reentrant). The runtime's
 * own routines keep their variables at fixed places there (external RAM with --model-large), so
 * on an 8051 write() must not call ravik_lcd_unpack or ravik_lcd_stream itself; elsewhere it may.
 */
#if defined(__SDCC_mcs51)
#define RAVIK_LCD_REENTRANT __reentrant
#else
#define RAVIK_LCD_REENTRANT
#endif
void ravik_lcd_stream(const ravik_lcd_asset* asset, uint16_t index,
                      void (*write)(const uint8_t* bytes, uint16_t n, void* ctx)
                          RAVIK_LCD_REENTRANT,
                      void* ctx);

/* Frame `index`'s delay in milliseconds, read wherever the build keeps its data; 0 when the asset
 * has no delays, the index is past the last frame or asset is NULL. */
uint16_t ravik_lcd_delay_ms(const ravik_lcd_asset* asset, uint16_t index);
#endif

#ifdef __cplusplus
}
#endif

#endif /* RAVIK_LCD_H */
