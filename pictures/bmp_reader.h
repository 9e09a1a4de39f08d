#pragma once

// What the BMP reader offers beyond the common interface.

namespace ravik {

// A bit-field channel of n bits with value v becomes round(v · 255 / (2ⁿ − 1)): the nearest
// 8-bit level, so 0 and the largest value stay black and full, and 8-bit fields are unchanged.
unsigned scaledChannel(unsigned value, int bits);

} // namespace ravik
