/* A firmware-like program: the start-up screen with an icon on it, then the spinner, played the
 * way a device with a frame buffer does, each frame handed to a stand-in for the display, which
 * counts the bytes and sums them up.
 *
 * Given a folder, it first checks every asset against the raw files `ravik-lcd convert` wrote
 * there for the manifest's options (NAME.bin, NAME.mask): each picture unpacked, and streamed
 * where it can be, must be those bytes. Exit 1 on any difference. A chip has no files: on an AVR
 * (where the assets may lie in flash, built with attribute = "PROGMEM" and -DRAVIK_LCD_PROGMEM)
 * it only plays. */
#include "firmware_assets.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint8_t frame[RAVIK_LCD_FRAME_SIZE];
/* One unpacked sprite or animation frame: the largest is the spinner's 24 x 24. */
static uint8_t picture[RAVIK_LCD_PACKED_SIZE(24, 24)];

/* What reached the display stand-in: how many bytes, their sum (each step times 31), and the
 * milliseconds the animation waited. */
struct display {
    unsigned long bytes, waited_ms;
    uint32_t sum;
};

static void send_to_display(const uint8_t* bytes, uint16_t n, void* context) {
    struct display* display = (struct display*)context;
    display->bytes += n;
    while (n-- != 0) {
        display->sum = display->sum * 31u + *bytes++;
    }
}

static void play(void) {
    struct display display = {0, 0, 0};
    uint16_t i;
    ravik_lcd_stream(&splash, 0, send_to_display, &display);
    ravik_lcd_unpack(&splash, 0, frame);
    /* The icon is unpacked to RAM, its mask stays where the assets are. */
    ravik_lcd_unpack(&icons, 1, picture);
    ravik_lcd_draw_from(frame, 4, 4, picture, icons.width, icons.height,
                        icons.mask + RAVIK_LCD_MASK_SIZE(icons.width, icons.height),
                        RAVIK_LCD_PIXELS_IN_RAM);
    for (i = 0; i < spinner.count; ++i) {
        /* A delta animation unpacks each frame over the one before. */
        ravik_lcd_unpack(&spinner, i, picture);
        ravik_lcd_draw_from(frame, 70, 40, picture, spinner.width, spinner.height, NULL,
                            RAVIK_LCD_PIXELS_IN_RAM);
        send_to_display(frame, sizeof frame, &display);
        display.waited_ms += ravik_lcd_delay_ms(&spinner, i);
    }
    printf("%lu bytes sent to the display (sum %08lx), %lu ms waited\n", display.bytes,
           (unsigned long)display.sum, display.waited_ms);
}

#ifndef __AVR__
static int failures = 0;

static unsigned char* read_file(const char* folder, const char* name, long* size) {
    char path[1024];
    FILE* file;
    unsigned char* bytes;
    snprintf(path, sizeof path, "%s/%s", folder, name);
    file = fopen(path, "rb");
    if (!file)
        return NULL;
    fseek(file, 0, SEEK_END);
    *size = ftell(file);
    fseek(file, 0, SEEK_SET);
    bytes = (unsigned char*)malloc((size_t)*size + 1);
    if (bytes && fread(bytes, 1, (size_t)*size, file) != (size_t)*size)
        *size = -1;
    fclose(file);
    return bytes;
}

static void fail(const char* name, const char* what, unsigned index) {
    printf("%s: %s (picture %u)\n", name, what, index);
    ++failures;
}

struct expected_stream {
    const uint8_t* bytes;
    unsigned long at, size;
    int bad;
};

static void compare_piece(const uint8_t* bytes, uint16_t n, void* context) {
    struct expected_stream* expected = (struct expected_stream*)context;
    if (n == 0 || n > RAVIK_LCD_STREAM_PIECE || expected->at + n > expected->size ||
        memcmp(expected->bytes + expected->at, bytes, n) != 0)
        expected->bad = 1;
    expected->at += n;
}

static void check(const ravik_lcd_asset* asset, const char* name, const char* folder) {
    char file_name[64];
    long size = 0;
    unsigned char* expected;
    uint16_t i;
    snprintf(file_name, sizeof file_name, "%s.bin", name);
    expected = read_file(folder, file_name, &size);
    if (!expected || size != (long)(asset->size * asset->count)) {
        fail(name, "not the size of convert's .bin", 0);
        free(expected);
        return;
    }
    /* The frame buffer holds any of the pictures. */
    memset(frame, 0xA5, sizeof frame);
    for (i = 0; i < asset->count; ++i) {
        const unsigned char* bytes = expected + (unsigned long)i * asset->size;
        ravik_lcd_unpack(asset, i, frame);
        if (memcmp(frame, bytes, asset->size) != 0)
            fail(name, "unpacked bytes differ", i);
        if (!asset->delta || i == 0) {
            struct expected_stream stream;
            stream.bytes = bytes;
            stream.at = 0;
            stream.size = asset->size;
            stream.bad = 0;
            ravik_lcd_stream(asset, i, compare_piece, &stream);
            if (stream.bad || stream.at != asset->size)
                fail(name, "streamed bytes differ", i);
        }
    }
    free(expected);

    snprintf(file_name, sizeof file_name, "%s.mask", name);
    expected = read_file(folder, file_name, &size);
    if (expected) {
        if (!asset->mask ||
            size != (long)(RAVIK_LCD_MASK_SIZE(asset->width, asset->height) * asset->count) ||
            memcmp(expected, asset->mask, (size_t)size) != 0)
            fail(name, "mask differs from convert's", 0);
        free(expected);
    } else if (asset->mask) {
        fail(name, "a mask convert did not write", 0);
    }
}

#endif

int main(int argc, char** argv) {
#ifdef __AVR__
    (void)argc;
    (void)argv;
    play();
    return 0;
#else
    uint16_t i;
    if (argc < 2) {
        play();
        return 0;
    }
    check(&splash, "splash", argv[1]);
    check(&icons, "icons", argv[1]);
    check(&spinner, "spinner", argv[1]);
    /* What the pictures are: one frame, two tiles, three frames of 100 ms each. */
    if (splash.count != 1 || icons.count != 2 || spinner.count != 3)
        fail("assets", "counts", 0);
    if (splash.compression != RAVIK_LCD_RLE || !spinner.delta)
        fail("assets", "storage", 0);
    for (i = 0; i < spinner.count; ++i) {
        if (ravik_lcd_delay_ms(&spinner, i) != 100)
            fail("spinner", "delay", i);
    }
    play();
    if (failures == 0)
        printf("every asset matches convert's bytes\n");
    return failures == 0 ? 0 : 1;
#endif
}
