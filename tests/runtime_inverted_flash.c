/* The runtime with its own flash reader, for runtime_flash_test: every byte read from "flash" is
 * the stored byte inverted. */
#include <stdint.h>

#define RAVIK_LCD_READ_BYTE(p) ((uint8_t) ~*(const uint8_t*)(p))
#include "runtime/ravik_lcd.c"
