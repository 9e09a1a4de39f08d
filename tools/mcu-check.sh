#!/usr/bin/env bash
# Installs the cross compilers and emulators (Debian/Ubuntu) and runs the firmware runtime on an
# emulated ATmega1284 (simavr), Cortex-M0 (qemu, microbit) and 8052 (ucsim): tests/mcu_test.sh,
# the same test CTest runs, which compares every byte each chip draws with the host's.
# Not part of tools/test.sh, which never installs these. Usage: tools/mcu-check.sh [OUT_DIR]
# (OUT_DIR keeps each chip's output, as tools/bench-mcu.sh reads it).
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RAVIK_BUILD_DIR=${RAVIK_BUILD_DIR:-build-mcu}
RAVIK_CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=Release)
source "$RAVIK_ROOT/tools/setup.sh"

ravik_install_missing gcc-avr avr-libc simavr gcc-arm-none-eabi libnewlib-arm-none-eabi \
    qemu-system-arm sdcc sdcc-ucsim
ravik_build ravik-lcd
"$RAVIK_ROOT/tests/mcu_test.sh" "$RAVIK_ROOT" "$RAVIK_ROOT/$RAVIK_BUILD_DIR/ravik-lcd" "$@"
