/* One program for the host and three emulated chips (tests/mcu_test.sh): it draws with every
 * routine of the runtime, from assets `ravik-lcd build` made with attribute = "PROGMEM", and
 * prints what it drew as hexadecimal lines, each call's cycles and each call's stack peak:
 *   B name offset hex   bytes drawn, to compare with the host's
 *   C name count        cycles (AVR: timer 1 at clk/1; 8052: timer 0, machine cycles; Cortex-M0:
 *                       instructions, from the nRF51's timer under qemu -icount); copy-* are the
 *                       floors, a plain loop copying the same stored bytes out of flash
 *   S name bytes        stack the call used (the 8052's with its interrupt's frame added)
 *   E                   the end
 * On the host C and S lines are not printed; B lines alone are compared. */
#include "mcu_assets.h"

#include <stdint.h>
#include <string.h>

/* ---- The chip: character output, a cycle clock, the stack's bounds ----------------------------
 */

#if defined(__AVR__)
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>
#define DATA_BYTE(p) pgm_read_byte(p)
#define XDATA
#define REENTRANT
static volatile uint16_t overflows;
ISR(TIMER1_OVF_vect) {
    ++overflows;
}
static void put_char(char c) {
    while (!(UCSR0A & (1 << UDRE0))) {
    }
    UDR0 = (uint8_t)c;
}
static void start_chip(void) {
    UCSR0B = 1 << TXEN0;
    TCCR1A = 0;
    TCCR1B = 1 << CS10; /* clk/1 */
    TIMSK1 = 1 << TOIE1;
    sei();
}
static uint32_t clock_now(void) {
    uint16_t low, high;
    uint8_t flags = SREG;
    cli();
    low = TCNT1;
    high = overflows;
    if ((TIFR1 & (1 << TOV1)) && low < 0x8000u) {
        ++high;
    }
    SREG = flags;
    return (uint32_t)high << 16 | low;
}
extern uint8_t __heap_start;
static uint8_t* stack_floor(void) {
    return &__heap_start;
}
static uintptr_t stack_pointer(void) {
    return SP;
}
static void stop_chip(void) {
    cli();
    sleep_cpu();
}
#define HAS_CLOCK 1

#elif defined(__arm__)
#define DATA_BYTE(p) (*(p))
#define XDATA
#define REENTRANT
/* Semihosting: SYS_WRITE0 prints a NUL-ended text, SYS_EXIT ends qemu. */
static void semihost(int op, const void* argument) {
    register int r0 __asm__("r0") = op;
    register const void* r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
}
static char line_buffer[80];
static uint8_t line_fill;
static void put_char(char c) {
    line_buffer[line_fill++] = c;
    if (c == '\n' || line_fill == sizeof line_buffer - 1) {
        line_buffer[line_fill] = 0;
        semihost(0x04, line_buffer);
        line_fill = 0;
    }
}
/* The nRF51's TIMER0 at 16 MHz, 32 bits wide; CAPTURE[0] copies the count into CC[0]. */
#define TIMER0(offset) (*(volatile uint32_t*)(0x40008000u + (offset)))
static void start_chip(void) {
    TIMER0(0x504) = 0; /* MODE: timer */
    TIMER0(0x508) = 3; /* BITMODE: 32 */
    TIMER0(0x510) = 0; /* PRESCALER: 16 MHz */
    TIMER0(0x000) = 1; /* START */
}
static uint32_t clock_now(void) {
    TIMER0(0x040) = 1;
    return TIMER0(0x540);
}
extern uint8_t __bss_end;
static uint8_t* stack_floor(void) {
    return &__bss_end;
}
static uintptr_t stack_pointer(void) {
    uintptr_t sp;
    __asm__ volatile("mov %0, sp" : "=r"(sp));
    return sp;
}
static void stop_chip(void) {
    static const uint32_t exit_block[2] = {0x20026, 0}; /* ADP_Stopped_ApplicationExit */
    semihost(0x18, exit_block);
    for (;;) {
    }
}
#define HAS_CLOCK 1
/* Start-up: data copied from flash, bss cleared, then main; the vector table's first two words. */
extern uint8_t __data_start, __data_end, __data_load, __bss_start, __stack_top;
int main(void);
void reset(void) {
    uint8_t* to = &__data_start;
    const uint8_t* from = &__data_load;
    while (to < &__data_end) {
        *to++ = *from++;
    }
    for (to = &__bss_start; to < &__bss_end; ++to) {
        *to = 0;
    }
    main();
}
__attribute__((section(".vectors"), used)) static const struct {
    void* stack;
    void (*reset)(void);
} vectors = {&__stack_top, reset};

#elif defined(__SDCC_mcs51)
#include <8052.h>
#define DATA_BYTE(p) (*(p))
#define XDATA __xdata
#define REENTRANT __reentrant
/* ucsim's simulator interface: 'p' then a character prints it, 's' stops the simulation. */
__xdata __at(0xFFFF) volatile uint8_t simulator;
static volatile uint16_t overflows;
static volatile uint8_t interrupt_sp;
void timer0_interrupt(void) __interrupt(1) {
    ++overflows;
    if (SP > interrupt_sp) {
        interrupt_sp = SP;
    }
}
static void put_char(char c) {
    simulator = 'p';
    simulator = (uint8_t)c;
}
static void start_chip(void) {
    TMOD = 0x01; /* timer 0: 16 bits, machine cycles */
    ET0 = 1;
    EA = 1;
    TR0 = 1;
}
static uint32_t clock_now(void) {
    uint8_t high, low;
    uint16_t count;
    do {
        high = TH0;
        low = TL0;
        count = overflows;
    } while (high != TH0 || (high == 0xFF && low > 0xF0));
    return (uint32_t)count << 16 | (uint16_t)high << 8 | low;
}
static void stop_chip(void) {
    EA = 0;
    simulator = 's';
    for (;;) {
    }
}
#define HAS_CLOCK 1

#else
#include <stdio.h>
#define DATA_BYTE(p) (*(p))
#define XDATA
#define REENTRANT
static void put_char(char c) {
    putchar(c);
}
static void start_chip(void) {}
static uint32_t clock_now(void) {
    return 0;
}
static void stop_chip(void) {}
#define HAS_CLOCK 0
#endif

/* ---- Output ---------------------------------------------------------------------------------- */

static void put_text(const char* text) {
    while (*text != 0) {
        put_char(*text++);
    }
}

static void put_hex(uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    put_char(digits[byte >> 4]);
    put_char(digits[byte & 15u]);
}

static void put_number(uint32_t value) {
    char text[11];
    uint8_t n = 0;
    do {
        text[n++] = (char)('0' + (uint8_t)(value % 10u));
        value /= 10u;
    } while (value != 0);
    while (n != 0) {
        put_char(text[--n]);
    }
}

/* B lines: 32 bytes a line. */
static void put_bytes(const char* name, const uint8_t XDATA* bytes, uint16_t n) {
    uint16_t at;
    for (at = 0; at < n; ++at) {
        if ((at & 31u) == 0) {
            if (at != 0) {
                put_char('\n');
            }
            put_text("B ");
            put_text(name);
            put_char(' ');
            put_number(at);
            put_char(' ');
        }
        put_hex(bytes[at]);
    }
    put_char('\n');
}

static void put_measure(char kind, const char* name, uint32_t value) {
    if (!HAS_CLOCK) {
        return;
    }
    put_char(kind);
    put_char(' ');
    put_text(name);
    put_char(' ');
    put_number(value);
    put_char('\n');
}

/* ---- Measuring a call ------------------------------------------------------------------------ */

/* The clock's own cost, taken once: what two reads in a row count. */
static uint32_t clock_cost;
static uint32_t started;

#define STACK_MARK 0xA5u

/* Marking and reading the stack are macros, so that the stack pointer they take is the caller's. */
#if defined(__SDCC_mcs51)
/* The 8052's stack grows upwards through the 256 bytes of internal RAM from SP; its deepest byte,
 * with the interrupt's frame added (the interrupt may come at the deepest point), is kept. */
static uint8_t stack_at_start, deepest, interrupt_frame;
#define MARK_STACK()                                                                               \
    do {                                                                                           \
        __idata uint8_t* p_ = (__idata uint8_t*)(SP + 1u);                                         \
        stack_at_start = SP;                                                                       \
        while (p_ != 0) {                                                                          \
            *p_++ = STACK_MARK;                                                                    \
        }                                                                                          \
    } while (0)
static uint16_t stack_used(void) {
    uint8_t top = 0xFFu;
    while (top > stack_at_start && *(__idata uint8_t*)top == STACK_MARK) {
        --top;
    }
    if ((uint16_t)top + interrupt_frame > deepest) {
        deepest = (uint8_t)(top + interrupt_frame);
    }
    return (uint16_t)(top - stack_at_start + interrupt_frame);
}
#elif HAS_CLOCK
/* Stacks grow downwards from the top of RAM; below them lies what nothing has used. */
static uintptr_t stack_at_start;
#define MARK_STACK()                                                                               \
    do {                                                                                           \
        uint8_t* p_ = stack_floor();                                                               \
        stack_at_start = stack_pointer();                                                          \
        while ((uintptr_t)p_ < stack_at_start - 8u) {                                              \
            *p_++ = STACK_MARK;                                                                    \
        }                                                                                          \
    } while (0)
static uint16_t stack_used(void) {
    const uint8_t* p = stack_floor();
    while ((uintptr_t)p < stack_at_start - 8u && *p == STACK_MARK) {
        ++p;
    }
    return (uint16_t)(stack_at_start - (uintptr_t)p);
}
#else
#define MARK_STACK()
static uint16_t stack_used(void) {
    return 0;
}
#endif

#define BEGIN()                                                                                    \
    do {                                                                                           \
        MARK_STACK();                                                                              \
        started = clock_now();                                                                     \
    } while (0)

static void end(const char* name) {
    const uint32_t stopped = clock_now();
#if defined(__arm__)
    /* qemu -icount shift=8: an instruction is 256 ns, the timer ticks every 62.5 ns. */
    put_measure('C', name, (uint32_t)(((stopped - started - clock_cost) * 125u + 256u) / 512u));
#else
    put_measure('C', name, stopped - started - clock_cost);
#endif
    put_measure('S', name, stack_used());
}

/* ---- What is drawn --------------------------------------------------------------------------- */

static uint8_t XDATA frame[RAVIK_LCD_FRAME_SIZE];
static uint8_t XDATA picture[RAVIK_LCD_PACKED_SIZE(24, 24)];
static uint8_t XDATA delays[4];
static uint16_t streamed;

/* The floor: the stored bytes copied out of flash by a plain loop. */
static void copy_stored(uint8_t XDATA* out, const uint8_t* data, uint16_t n) {
    while (n != 0) {
        *out++ = DATA_BYTE(data);
        ++data;
        --n;
    }
}

/* The cheapest receiver: counts what it is handed. */
static void count_bytes(const uint8_t* bytes, uint16_t n, void* ctx) REENTRANT {
    (void)bytes;
    (void)ctx;
    streamed += n;
}

/* A receiver as a driver might be: 16 bytes of its own on the stack, copied through, then into
 * the frame at the place the stream has reached. */
static void receive_into_frame(const uint8_t* bytes, uint16_t n, void* ctx) REENTRANT {
    volatile uint8_t local[16];
    uint16_t i;
    (void)ctx;
    for (i = 0; i < n; ++i) {
        local[i & 15u] = bytes[i];
        frame[streamed + i] = local[i & 15u];
    }
    streamed += n;
}

/* Two 8 x 2 tiles in the copying form as compress = "auto" stores them: the first a literal of a
 * row and an "above" of 8, the second, behind the runs mark, two runs of 8. */
static const uint8_t mixed_data[21] PROGMEM = {0x07, 0x80, 0x80, 0x80, 0x88, 0x80, 0x08,
                                               0x80, 0x00, 0x88, 0x88, 0x0F, 0x0F, 0x87,
                                               0x80, 0x80, 0x78, 0x08, 0x80, 0x70, 0x80};
static const uint32_t mixed_offsets[3] PROGMEM = {0, 14, 21};
static const ravik_lcd_asset mixed = {8,    2,    2,          24,           21, 0, RAVIK_LCD_LZ,
                                      NULL, NULL, mixed_data, mixed_offsets};

/* The names a whole frame's calls are measured under: the floor, unpack, stream to a counting
 * receiver, stream to the frame; the bytes unpacked and streamed are printed under the second and
 * third. */
typedef struct {
    const char* copy;
    const char* unpack;
    const char* stream;
    const char* receiver;
} frame_names;
static const frame_names rle_frame = {"copy-frame", "unpack-frame", "stream-frame",
                                      "stream-frame-receiver"};
static const frame_names lz_frame = {"copy-frame-lz", "unpack-frame-lz", "stream-frame-lz",
                                     "stream-frame-lz-receiver"};
static const frame_names lz_card = {"copy-card-lz", "unpack-card-lz", "stream-card-lz",
                                    "stream-card-lz-receiver"};

/* A whole 98 x 67 frame of `asset`: the floor, unpack, stream (counted, then into the frame). */
static void whole_frame(const ravik_lcd_asset* asset, const frame_names* names) REENTRANT {
    BEGIN();
    copy_stored(frame, asset->data, (uint16_t)asset->stored);
    end(names->copy);
    BEGIN();
    ravik_lcd_unpack(asset, 0, frame);
    end(names->unpack);
    put_bytes(names->unpack, frame, RAVIK_LCD_FRAME_SIZE);
    streamed = 0;
    BEGIN();
    ravik_lcd_stream(asset, 0, count_bytes, 0);
    end(names->stream);
    memset(frame, 0, sizeof frame);
    streamed = 0;
    BEGIN();
    ravik_lcd_stream(asset, 0, receive_into_frame, 0);
    end(names->receiver);
    put_bytes(names->stream, frame, RAVIK_LCD_FRAME_SIZE);
}

/* Every routine, called from here: a function with locals of its own on the stack. */
static void draw_everything(void) REENTRANT {
    volatile uint8_t locals[8];
    uint8_t i;
    const uint16_t tile = RAVIK_LCD_PACKED_SIZE(16, 16);
    const uint16_t tile_mask = RAVIK_LCD_MASK_SIZE(16, 16);
    for (i = 0; i < sizeof locals; ++i) {
        locals[i] = i;
    }

    /* Whole frames: runs and literals, then the same picture and a test card copying. */
    whole_frame(&splash, &rle_frame);
    whole_frame(&splash_lz, &lz_frame);
    whole_frame(&card_lz, &lz_card);

    /* Both forms in one asset, unpacked and streamed. */
    for (i = 0; i < mixed.count; ++i) {
        ravik_lcd_unpack(&mixed, i, picture);
        put_bytes("mixed", picture, (uint16_t)mixed.size);
        memset(frame, 0, sizeof frame);
        streamed = 0;
        ravik_lcd_stream(&mixed, i, receive_into_frame, 0);
        put_bytes("mixed-stream", frame, (uint16_t)mixed.size);
    }

    /* A raw tile, its floor, and drawing it with its mask from flash at odd places and edges. */
    BEGIN();
    copy_stored(picture, tiles.data + tile, tile);
    end("copy-tile");
    BEGIN();
    ravik_lcd_unpack(&tiles, 1, picture);
    end("unpack-tile");
    put_bytes("unpack-tile", picture, tile);
    BEGIN();
    ravik_lcd_draw(frame, 41, 20, tiles.data + tile, 16, 16, tiles.mask + tile_mask);
    end("draw-tile-masked");
    ravik_lcd_draw(frame, -5, -3, tiles.data, 16, 16, tiles.mask);
    ravik_lcd_draw(frame, 89, 60, tiles.data + tile, 16, 16, NULL);
    put_bytes("draw-tile", frame, RAVIK_LCD_FRAME_SIZE);

    /* A compressed sprite unpacked to RAM and drawn from there with its mask from flash. */
    ravik_lcd_unpack(&packed, 1, picture);
    BEGIN();
    ravik_lcd_draw_from(frame, 10, 11, picture, 16, 16, packed.mask + tile_mask,
                        RAVIK_LCD_PIXELS_IN_RAM);
    end("draw-ram-masked");
    ravik_lcd_draw_from(frame, -7, 55, picture, 16, 16, packed.mask + tile_mask,
                        RAVIK_LCD_PIXELS_IN_RAM);
    ravik_lcd_draw_from(frame, 85, 1, picture, 16, 16, NULL, RAVIK_LCD_PIXELS_IN_RAM);
    put_bytes("draw-ram", frame, RAVIK_LCD_FRAME_SIZE);

    /* The delta animation played over itself, each frame drawn, with its delays. */
    memset(picture, 0x5A, sizeof picture);
    for (i = 0; i < spinner.count; ++i) {
        BEGIN();
        ravik_lcd_unpack(&spinner, i, picture);
        end(i == 0 ? "unpack-delta-first" : "unpack-delta");
        ravik_lcd_draw_from(frame, 37 + i, 21, picture, 24, 24, NULL, RAVIK_LCD_PIXELS_IN_RAM);
    }
    put_bytes("delta", picture, sizeof picture);
    memset(picture, 0x5A, sizeof picture);
    for (i = 0; i < spinner_lz.count; ++i) {
        BEGIN();
        ravik_lcd_unpack(&spinner_lz, i, picture);
        end(i == 0 ? "unpack-delta-lz-first" : "unpack-delta-lz");
        put_bytes("delta-lz", picture, sizeof picture);
    }
    for (i = 0; i < 4; ++i) {
        delays[i] = (uint8_t)ravik_lcd_delay_ms(&spinner, i);
    }
    put_bytes("delays", delays, sizeof delays);

    /* Ten glyphs of a coverage font, blended, and one pixel set and read back. */
    BEGIN();
    ravik_lcd_text(frame, 3, 40, "0123456789", &digits, 0x0F82);
    end("text-10-glyphs");
    ravik_lcd_text(frame, -4, -6, "9876543210", &digits, 0x0FFF);
    ravik_lcd_set_pixel(frame, 97, 66, ravik_lcd_get_pixel(frame, 3, 40) ^ 0x0ABC);
    put_bytes("text", frame, RAVIK_LCD_FRAME_SIZE);

    /* The same hanzi in each stored form, on a cleared frame: the cycles of packed and compressed
     * glyphs side by side; then clipped on every edge, and 2-bit digits. */
    for (i = 0; i < 6; ++i) {
        static const ravik_lcd_font* const forms[6] = {&hanzi4,  &hanzi4z, &hanzi2,
                                                       &hanzi2z, &hanzi1,  &hanzi1z};
        static const char* const names[6] = {"text-hanzi-4bit", "text-hanzi-4bit-rle",
                                             "text-hanzi-2bit", "text-hanzi-2bit-rle",
                                             "text-hanzi-1bit", "text-hanzi-1bit-rle"};
        memset(frame, 0x31, RAVIK_LCD_FRAME_SIZE);
        BEGIN();
        ravik_lcd_text(frame, 1, 2,
                       "\xE6\xB0\xB8\xE5\x92\x8C\xE4\xB9\x9D\xE5\xB9\xB4\xE5"
                       "\xB2\x81\xE5\x9C\xA8",
                       forms[i], 0x0F82);
        end(names[i]);
        ravik_lcd_text(frame, -7, 50,
                       "\xE7\x99\xB8\xE4\xB8\x91\xE6\x9A\xAE Ag \xE6\x98\xA5"
                       "\xE4\xB9\x8B\xE5\x88\x9D",
                       forms[i], 0x0FFF);
        ravik_lcd_text(frame, 80, -9, "Ag\xE6\xB0\xB8", forms[i], 0x000F);
        ravik_lcd_text(frame, 3, 25, "0123456789", &digits2, 0x0F0F);
        put_bytes(names[i], frame, RAVIK_LCD_FRAME_SIZE);
    }
}

int main(void) {
    start_chip();
#if defined(__SDCC_mcs51)
    {
        /* The interrupt's frame: how far above a known SP it reaches, waited for here. */
        const uint16_t now = overflows;
        const uint8_t sp = SP;
        while (overflows == now) {
        }
        interrupt_frame = (uint8_t)(interrupt_sp - sp);
    }
#endif
    started = clock_now();
    clock_cost = clock_now() - started;
    draw_everything();
#if defined(__SDCC_mcs51)
    put_measure('S', "interrupt-frame", interrupt_frame);
    put_measure('S', "spare", (uint8_t)(0xFFu - deepest));
#endif
    put_text("E\n");
    stop_chip();
    return 0;
}
