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

/* The colour of frame pixel (x, y) as 0x0RGB (red in bits 8-11, green 4-7, blue 0-3); 0 for a
 * pixel outside the frame or a NULL frame. */
uint16_t ravik_lcd_get_pixel(const uint8_t* frame, int x, int y);

/* Sets frame pixel (x, y) to the colour 0x0RGB (the top four bits of rgb are ignored), touching
 * only its three nibbles. A pixel outside the frame, or a NULL frame, is left alone. */
void ravik_lcd_set_pixel(uint8_t* frame, int x, int y, uint16_t rgb);

#ifdef __cplusplus
}
#endif

#endif /* RAVIK_LCD_H */
