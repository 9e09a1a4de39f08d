/* The example firmware's printf on an AVR in simavr: stdout through USART0, which simavr prints,
 * set up before main. */
#include <avr/io.h>
#include <stdio.h>

static int put(char c, FILE* stream) {
    (void)stream;
    while (!(UCSR0A & (1 << UDRE0))) {
    }
    UDR0 = (uint8_t)c;
    return 0;
}

static FILE uart = FDEV_SETUP_STREAM(put, NULL, _FDEV_SETUP_WRITE);

__attribute__((constructor)) static void use_uart(void) {
    UCSR0B = 1 << TXEN0;
    stdout = &uart;
}

/* After main: simavr ends when the chip sleeps with interrupts off. */
__attribute__((destructor)) static void stop(void) {
    while (!(UCSR0A & (1 << UDRE0))) {
    }
    __asm__ volatile("cli\n\tsleep");
}
