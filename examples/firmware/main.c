/* A firmware-like program: the start-up screen with an icon on it, then the spinner, played the
 * way a device with a frame buffer does, each frame handed to a stand-in for the display.
 *
 * Given a folder, it instead checks every asset against the raw files `ravik-lcd convert` wrote
 * there for the manifest's options (NAME.bin, NAME.mask): each picture unpacked, and streamed
 * where it can be, must be those bytes. Exit 1 on any difference. */
#include "firmware_assets.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint8_t frame[RAVIK_LCD_FRAME_SIZE];
static uint8_t picture[RAVIK_LCD_FRAME_SIZE];
static int failures = 0;

/* The display stand-in: counts what reaches it. */
static void send_to_display(const uint8_t* bytes, uint16_t n, void* context) {
    (void)bytes;
    *(unsigned long*)context += n;
}

static void play(void) {
    unsigned long sent = 0;
    uint16_t i;
    ravik_lcd_stream(&splash, 0, send_to_display, &sent);
    ravik_lcd_unpack(&splash, 0, frame);
    ravik_lcd_unpack(&icons, 1, picture);
    ravik_lcd_draw(frame, 4, 4, picture, icons.width, icons.height,
                   icons.mask + RAVIK_LCD_MASK_SIZE(icons.width, icons.height));
    for (i = 0; i < spinner.count; ++i) {
        /* A delta animation unpacks each frame over the one before. */
        ravik_lcd_unpack(&spinner, i, picture);
        ravik_lcd_draw(frame, 70, 40, picture, spinner.width, spinner.height, NULL);
        send_to_display(frame, sizeof frame, &sent);
    }
    printf("%lu bytes sent to the display\n", sent);
}

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
    memset(picture, 0xA5, sizeof picture);
    for (i = 0; i < asset->count; ++i) {
        const unsigned char* bytes = expected + (unsigned long)i * asset->size;
        ravik_lcd_unpack(asset, i, picture);
        if (memcmp(picture, bytes, asset->size) != 0)
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

int main(int argc, char** argv) {
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
        if (!spinner.delays_ms || spinner.delays_ms[i] != 100)
            fail("spinner", "delay", i);
    }
    play();
    if (failures == 0)
        printf("every asset matches convert's bytes\n");
    return failures == 0 ? 0 : 1;
}
